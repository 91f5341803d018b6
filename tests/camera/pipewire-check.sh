#!/usr/bin/env bash
# Cameras through a real PipeWire daemon: a private session bus, pipewire and wireplumber in a
# private runtime folder, and a virtual camera (GStreamer's test pattern offered as a
# Video/Source node). Everything it starts is stopped by its PID.
#
#   pipewire-check.sh BATCH CAMERA_CHECK
#
# corvalux-batch lists the camera and takes a 320 x 240 frame of its colour bars; an unknown or
# gone camera is an error with nothing written; the webcam window previews and snapshots it, and
# reports its removal mid-preview (camera_check).
set -euo pipefail
batch=$(realpath "$1")
check=$(realpath "$2")

work=$(mktemp -d)
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $log" >&2; tail -20 "$log" >&2; }; done
    exit 1
}

. "$(dirname "$0")/../wait-for.sh"

for tool in dbus-daemon pipewire wireplumber pw-cli gst-launch-1.0; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh installs it)"; exit 77; }
done

# A session of our own: nothing reaches the user's daemon, and the daemon needs no systemd.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
unset PIPEWIRE_REMOTE DISPLAY WAYLAND_DISPLAY
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/bus" 4>"$work/bus.pid"
pids+=("$(cat "$work/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus")
pipewire >"$work/pipewire.log" 2>&1 &
pids+=($!)
wait_for 20 test -S "$XDG_RUNTIME_DIR/pipewire-0" || fail "pipewire did not start"
wireplumber >"$work/wireplumber.log" 2>&1 &
pids+=($!)
wait_for 20 sh -c 'pw-cli ls Client | grep -q WirePlumber' || fail "wireplumber did not start"

name=corvalux-test-camera
description="Corvalux Test Camera"
listed() {
    local cameras
    cameras=$("$batch" --list-cameras) && grep -qxF "$description"$'\t'pipewire <<<"$cameras"
}
! listed || fail "a camera before ours: $("$batch" --list-cameras)"
# The virtual camera: wireplumber links a pipewiresink node only with fixed caps before it.
# pipewiresink loses a buffer to each consumer that leaves, so each check that streams gets a
# camera of its own.
start_camera() {
    gst-launch-1.0 videotestsrc is-live=true ! video/x-raw,format=YUY2,width=320,height=240,framerate=15/1 \
        ! pipewiresink mode=provide \
        "stream-properties=\"props,media.class=Video/Source,node.name=$name,node.description=\\\"$description\\\"\"" \
        >"$work/camera.log" 2>&1 &
    camera=$!
    pids+=($camera)
    wait_for 20 listed || fail "the camera is not listed: $("$batch" --list-cameras)"
}
stop_camera() {
    kill "$camera"
    wait_for 20 unlisted || fail "the stopped camera is still listed"
}
unlisted() { ! listed; }

start_camera
cd "$work"
"$batch" "camera:$name" -o shot.bmp || fail "no picture from camera:$name"
"$check" bars shot.bmp || fail "the picture is not the test pattern"
stop_camera
start_camera
"$batch" --camera-warmup 0 "camera:$description" -o first.bmp || fail "no picture without warm-up"

if "$batch" camera:no-such-camera -o none.bmp 2>"$work/error.txt"; then fail "an unknown camera gave a picture"; fi
grep -q 'no camera named "no-such-camera"' "$work/error.txt" || fail "unclear error: $(cat "$work/error.txt")"
[ ! -e none.bmp ] || fail "an unknown camera wrote a file"

# The window's check stops the camera mid-preview itself.
stop_camera
start_camera
"$check" window "$description" "$work" "$camera" 2>"$work/window.log" || fail "the webcam window check failed"
wait_for 20 unlisted || fail "the stopped camera is still listed"
if "$batch" "camera:$name" -o gone.bmp 2>"$work/error.txt"; then fail "a gone camera gave a picture"; fi
grep -q "no camera" "$work/error.txt" || fail "unclear error: $(cat "$work/error.txt")"
[ ! -e gone.bmp ] || fail "a gone camera wrote a file"
echo "PASS"
