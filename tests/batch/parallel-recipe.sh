#!/usr/bin/env bash
# The README's GNU parallel recipe, with this machine as its one "remote" (-S :): a broken
# picture fails its own job only, the job log records it, and --resume-failed runs just that
# job again once the picture is mended. Arguments: corvalux-batch, a folder of JPEGs.
set -euo pipefail
batch=$1
pictures=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work  # parallel keeps its state in the home folder
cd "$work"
mkdir photos out
cp "$pictures/testimgint.jpg" "photos/with space.jpg"
cp "$pictures/testimgari.jpg" $'photos/bad\xff.jpg'
cp "$pictures/testorig.jpg" photos/c.jpg
printf '\377\330\377\300 not a JPEG' > photos/broken.jpg

recipe() {
  parallel --will-cite -S : --joblog jobs.log --resume-failed "$batch" {} optimize -o out/{/} ::: photos/*.jpg
}
fail() { echo "$*" >&2; exit 1; }

status=0
recipe 2> errors.txt || status=$?
[ "$status" = 1 ] || fail "parallel should report one failed job, not $status"
grep -qx 'corvalux-batch: photos/broken.jpg: JPEG error #11' errors.txt || fail "no message naming the broken file: $(cat errors.txt)"
[ "$(ls out | wc -l)" = 3 ] || fail "three outputs expected: $(ls out)"
for f in photos/c.jpg "photos/with space.jpg" $'photos/bad\xff.jpg'; do
  "$batch" "$f" optimize -o single.jpg
  cmp -s single.jpg "out/${f#photos/}" || fail "$f differs from its single run"
done

cp photos/c.jpg photos/broken.jpg
recipe || fail "the resumed run should succeed"
[ -f out/broken.jpg ] || fail "the mended picture was not run again"
[ "$(wc -l < jobs.log)" = 6 ] || fail "only the failed job should run again: $(cat jobs.log)"
