#!/bin/sh
# Instructions per input byte of every scan path on every layout, counted by
# callgrind (its total Ir for the whole process, divided by the input's
# size), each path run as pixstream-filter PATH, the program's own read loop
# held to it, with tr -d '[]' beside them for reference. A count does not
# move with the load on the machine, as a time does, so a change to a
# scanner shows here in a single run; it says nothing of how many of those
# instructions a core runs at once.
#
# valgrind cannot run AVX-512 code, so that path is left out. Start-up is
# counted too: on an empty input pixstream-filter runs about 130,000
# instructions and tr 310,000, 0.03 and 0.07 a byte of 4 MiB.
#
# Usage: instructions.sh [-b BUILD] [-s SIZE] [-l "LAYOUTS"]
#   BUILD    build directory holding bench/ (build/release)
#   SIZE     input per layout for pixstream-gen (4M)
#   LAYOUTS  pixstream-gen layouts (all that its usage line lists)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
size=4M
layouts=
while getopts b:s:l: opt; do
    case $opt in
    b) build=$(cd "$OPTARG" && pwd) ;;
    s) size=$OPTARG ;;
    l) layouts=$OPTARG ;;
    *) sed -n '2,/^set/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
gen=$build/bench/pixstream-gen
filter=$build/bench/pixstream-filter
command -v valgrind > /dev/null || { echo "instructions.sh: needs valgrind" >&2; exit 1; }
[ -n "$layouts" ] || layouts=$("$gen" 2>&1 | sed -n 's/^usage: pixstream-gen \([a-z|]*\) .*/\1/p' | tr '|' ' ')
paths=
for path in $("$filter" 2>&1 | sed -n 's/.*supports://p'); do
    [ "$path" = avx512 ] || paths="$paths $path"
done
[ -n "$layouts" ] && [ -n "$paths" ]
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# count COMMAND...: callgrind's total instructions for COMMAND with the
# input on standard input; a failing command must not pass for a cheap one.
count() {
    if ! valgrind --tool=callgrind --callgrind-out-file="$tmp/callgrind" --log-file="$tmp/log" "$@" \
        < "$tmp/input" > /dev/null; then
        echo "instructions.sh: $* failed under valgrind on $layout" >&2
        cat "$tmp/log" >&2
        exit 1
    fi
    sed -n 's/^summary: *//p' "$tmp/callgrind"
}

printf '%-10s' layout
for path in $paths tr; do
    printf ' %9s' "$path"
done
echo
for layout in $layouts; do
    "$gen" "$layout" "$size" > "$tmp/input"
    bytes=$(wc -c < "$tmp/input")
    printf '%-10s' "$layout"
    for path in $paths; do
        printf ' %9s' "$(count "$filter" "$path" | awk -v b="$bytes" '{ printf "%.2f", $1 / b }')"
    done
    printf ' %9s\n' "$(count tr -d '[]' | awk -v b="$bytes" '{ printf "%.2f", $1 / b }')"
done
echo "callgrind instructions per input byte, over $size of each layout (pixstream-gen LAYOUT $size)"
echo "avx512 is left out: valgrind cannot run AVX-512 code"
