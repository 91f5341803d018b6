# Shared by scripts/run and scripts/test: make sure the Debian packages the build needs are there.
# Sourced, not run.
CORVALUX_PACKAGES=(
  cmake ninja-build g++ pkg-config libtbb-dev
  qt6-base-dev libgl-dev libjpeg-dev libpng-dev libtiff-dev libexif-dev libheif-dev libwebp-dev libjxl-dev liblcms2-dev libacl1-dev libv4l-dev libsane-dev libsane1 libsane-common
  libpipewire-0.3-dev libswscale-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core poppler-utils desktop-file-utils man-db file parallel
  clang libclang-rt-14-dev
  xvfb openbox xdotool x11-utils imagemagick weston qt6-wayland
  pipewire wireplumber dbus gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base
)

corvalux_missing_packages() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  echo "${missing[@]}"
}

# Installs what is missing when root; otherwise prints the exact command and fails.
corvalux_install_packages() {
  local missing
  missing=$(corvalux_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local cmd="apt-get install -y --no-install-recommends $missing"
  if [ "$(id -u)" -ne 0 ]; then
    echo "These Debian packages are missing: $missing" >&2
    echo "Install them with:" >&2
    echo "  sudo apt-get update && sudo $cmd" >&2
    return 1
  fi
  echo "Installing: $missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && $cmd
}
