#!/bin/sh
# The README's sample: sample/animation.json is what its script writes, and
# docs/animation.png is the picture of it that the README's command draws,
# pixel for pixel (the PNG's compressed bytes may differ with zlib).
# Usage: sample.sh SOURCE_DIR PIXSTREAM PIXSTREAM_SHOW PNG_DUMP
set -u
src=$1
pixstream=$2
show=$3
png_dump=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

sh "$src/sample/make_animation.sh" > "$tmp/animation.json" || fail "make_animation.sh failed"
cmp -s "$tmp/animation.json" "$src/sample/animation.json" ||
    fail "sample/animation.json is not what sample/make_animation.sh writes"
"$pixstream" 30 < "$src/sample/animation.json" | "$show" --leds 60 --scale 4 --png "$tmp/animation.png" ||
    fail "the README's command failed"
"$png_dump" < "$tmp/animation.png" > "$tmp/drawn" || fail "png_dump of the drawn picture failed"
"$png_dump" < "$src/docs/animation.png" > "$tmp/committed" || fail "png_dump of docs/animation.png failed"
[ "$(head -n 1 "$tmp/drawn")" = "240 180 2 8" ] || fail "45 frames of 60 LEDs at scale 4 drew [$(head -n 1 "$tmp/drawn")]"
cmp -s "$tmp/drawn" "$tmp/committed" || fail "docs/animation.png is not the picture the README's command draws"
[ "$failed" -eq 0 ] && echo "sample and its picture agree"
exit "$failed"
