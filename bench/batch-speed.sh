#!/usr/bin/env bash
# Many pictures in one run against one at a time: COUNT 12-megapixel JPEGs through
# `optimize sharpness-increase`, each way timed as a whole (wall seconds):
#   one at a time  the single-picture form on each file in turn
#   --jobs N       one many-picture run
#   parallel -j N  GNU parallel running the single-picture form
#   gm mogrify     GraphicsMagick's -normalize and a 3 x 3 -sharpen on the same files, when installed
# The pictures are made by corvalux-batch itself from a test photo, enlarged and given noise
# so that they code like photos, in a temporary folder removed at the end.
# Usage: bench/batch-speed.sh BUILD_DIR [JOBS] [COUNT]   (BUILD_DIR: a Release build)
set -euo pipefail
batch=$(realpath "$1")/corvalux-batch
jobs=${2:-2}
count=${3:-60}
photo=$(realpath "$(dirname "$0")/../tests/data/photos/exif-72dpi-int.jpg")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir in

for i in $(seq -w 1 "$count"); do
  "$batch" --seed "$i" "$photo" resize=4000,3000 noise-add -o "in/photo$i.jpg"
done
echo "$count pictures of 4000 x 3000, $(du -sm in | cut -f1) MB; $jobs jobs"

TIMEFORMAT=%R
timed() {
  local name=$1
  shift
  rm -rf out && mkdir out
  printf '%-16s' "$name"
  { time "$@" >/dev/null; } 2>&1
}
steps=(optimize sharpness-increase)
timed "one at a time" bash -c 'for f in in/*.jpg; do "$0" "$f" "${@}" -o "out/${f#in/}"; done' "$batch" "${steps[@]}"
timed "--jobs $jobs" "$batch" --jobs "$jobs" -d out "${steps[@]}" -- in/*.jpg
if command -v parallel >/dev/null; then
  timed "parallel -j $jobs" parallel --will-cite -j "$jobs" "$batch" {} "${steps[@]}" -o out/{/} ::: in/*.jpg
fi
if command -v gm >/dev/null; then
  timed "gm mogrify" gm mogrify -limit threads "$jobs" -output-directory out -create-directories \
    -normalize -sharpen 1x0.5 -quality 90 in/*.jpg
fi
