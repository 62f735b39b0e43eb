#!/bin/sh
# Peak resident memory of pixstream and of cat, for a 1 MiB input file and for
# a multi-gigabyte input streamed through a pipe. Constant memory means the two
# pixstream figures stay within 64 KiB of each other.
#
# Each figure is the median of several runs of GNU time with a fixed address
# space layout (setarch -R): randomised load addresses change how many pages
# of the shared libraries fault-around maps, which moves peak RSS by about
# 100 KiB from run to run; a fixed layout repeats to the page.
#
# Usage: memory.sh [-b BUILD] [-s SIZE] [-n RUNS]
#   BUILD  build directory holding pixstream and bench/ (build/release)
#   SIZE   size of the long stream for pixstream-gen (2G)
#   RUNS   runs per figure (3)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
size=2G
runs=3
while getopts b:s:n: opt; do
    case $opt in
    b) build=$(cd "$OPTARG" && pwd) ;;
    s) size=$OPTARG ;;
    n) runs=$OPTARG ;;
    *) sed -n '2,/^set/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
gen=$build/bench/pixstream-gen
command -v /usr/bin/time > /dev/null || { echo "memory.sh needs GNU time (Debian package time)" >&2; exit 2; }
# Peak RSS in KiB and exit status, one line a run, appended to FILE.
# A failing run is reported below, from its status.
peak() { file=$1; shift; setarch "$(uname -m)" -R /usr/bin/time -a -o "$file" -f '%M %x' "$@" || :; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$gen" compact 1M > "$tmp/small.json"
# measure LABEL INPUT COMMAND...: median peak RSS in KiB, input from a file
# or, for the long stream, straight from the generator through a pipe.
measure() {
    label=$1
    input=$2
    shift 2
    run=0
    while [ "$run" -lt "$runs" ]; do
        if [ "$input" = stream ]; then
            "$gen" compact "$size" | peak "$tmp/$label" "$@" > /dev/null
        else
            peak "$tmp/$label" "$@" < "$tmp/small.json" > /dev/null
        fi
        run=$((run + 1))
    done
    if awk '$2 != 0 { bad = 1 } END { exit !bad }' "$tmp/$label"; then
        echo "$label: $* failed" >&2
        exit 1
    fi
    cut -d' ' -f1 "$tmp/$label" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

small=$(measure pixstream-small file "$build/pixstream" 30)
big=$(measure pixstream-big stream "$build/pixstream" 30)
catsmall=$(measure cat-small file cat)
catbig=$(measure cat-big stream cat)
printf '%-10s %14s %14s\n' program "1M file KiB" "$size pipe KiB"
printf '%-10s %14s %14s\n' pixstream "$small" "$big"
printf '%-10s %14s %14s\n' cat "$catsmall" "$catbig"
growth=$((big - small))
echo "pixstream growth from 1M to $size: $growth KiB (limit 64); vs cat on $size: $((big - catbig)) KiB"
if [ "$growth" -gt 64 ] || [ "$big" -gt "$catbig" ]; then
    echo "memory: NOT constant or above cat" >&2
    exit 1
fi
