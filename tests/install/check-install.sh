#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail=0
for f in bin/corvalux bin/corvalux-batch lib/corvalux/libcorvalux-twain-sane.so share/applications/corvalux.desktop \
         share/icons/hicolor/scalable/apps/corvalux.svg share/icons/hicolor/48x48/apps/corvalux.png \
         share/man/man1/corvalux-batch.1 ${EXTRA_INSTALLED_FILES:-}; do
  if [ ! -e "$prefix/$f" ]; then echo "missing: $f"; fail=1; fi
done
desktop-file-validate "$prefix/share/applications/corvalux.desktop" || fail=1
grep -q '^Exec=corvalux %f$' "$prefix/share/applications/corvalux.desktop" || { echo "bad Exec line"; fail=1; }
grep -q '^MimeType=image/bmp;image/jpeg;image/png;image/tiff;image/heic;image/heif;image/avif;image/webp;image/jxl;$' "$prefix/share/applications/corvalux.desktop" || { echo "bad MimeType"; fail=1; }
file "$prefix/share/icons/hicolor/48x48/apps/corvalux.png" | grep -q '48 x 48' || { echo "icon is not 48 x 48"; fail=1; }
# The manual page formats without complaint, and the batch tool runs from the prefix.
[ -z "$(man -l "$prefix/share/man/man1/corvalux-batch.1" 2>&1 >/dev/null)" ] || { echo "man page warnings"; fail=1; }
"$prefix/bin/corvalux-batch" --help | grep -q 'usage: corvalux-batch' || { echo "installed corvalux-batch does not run"; fail=1; }
exit $fail
