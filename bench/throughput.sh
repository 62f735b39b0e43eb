#!/bin/sh
# Whole-process throughput: runs every program on the same generated input,
# side by side, standard input from the file and standard output to /dev/null,
# and prints the median input MB/s of each and its ratio to a reference row.
# Rounds interleave the programs, so load from elsewhere hits them alike.
#
# Usage: throughput.sh [-b BUILD] [-s SIZE] [-n ROUNDS] [-l "LAYOUTS"] [-r REF]
#                      [LABEL=COMMAND ...]
#   BUILD    build directory holding pixstream and bench/ (build/release)
#   SIZE     input size for pixstream-gen, e.g. 64M (64M = 67 MB)
#   ROUNDS   timed runs per program (7); the median is reported
#   LAYOUTS  any of pixstream-gen's: compact spaced pretty keyed (the
#            default), numbered split padded noise (made to be declined by
#            the vector scanner)
#   REF      label the ratios are taken against (tr)
#   rows     default: pixstream (the fastest scan path this CPU has), bytes
#            (the same loop on the bytewise scanner alone, pixstream-filter),
#            tr -d '[]', cat, wc -l; COMMAND is run by sh with the input on
#            standard input
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
size=64M
rounds=7
layouts="compact spaced pretty keyed"
ref=tr
while getopts b:s:n:l:r: opt; do
    case $opt in
    b) build=$(cd "$OPTARG" && pwd) ;;
    s) size=$OPTARG ;;
    n) rounds=$OPTARG ;;
    l) layouts=$OPTARG ;;
    r) ref=$OPTARG ;;
    *) sed -n '2,/^set/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -eq 0 ]; then
    set -- "pixstream=$build/pixstream 30" "bytes=$build/bench/pixstream-filter bytes" \
        "tr=tr -d '[]'" "cat=cat" "wc=wc -l"
fi
gen=$build/bench/pixstream-gen
runstat=$build/bench/pixstream-runstat
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) cores, $(uname -sr)"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $rounds rounds, median"
printf '%-8s %-12s %10s %8s\n' layout program "MB/s" "x $ref"
for layout in $layouts; do
    input=$tmp/$layout.json
    "$gen" "$layout" "$size" > "$input"
    bytes=$(wc -c < "$input")
    round=0
    # Round 0 warms the page cache and is not counted.
    while [ "$round" -le "$rounds" ]; do
        i=0
        for row in "$@"; do
            i=$((i + 1))
            "$runstat" -o "$tmp/times.$i" sh -c "${row#*=}" < "$input" > /dev/null
            if [ "$round" -eq 0 ]; then
                : > "$tmp/times.$i"
            fi
        done
        round=$((round + 1))
    done
    # A failing program must not pass for a fast one.
    i=0
    for row in "$@"; do
        i=$((i + 1))
        if awk '$5 != 0 { bad = 1 } END { exit !bad }' "$tmp/times.$i"; then
            echo "$layout: ${row%%=*} exited with a failure status" >&2
            exit 1
        fi
        sort -n "$tmp/times.$i" | awk -v b="$bytes" '{ t[NR] = $1 } END {
            m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
            printf "%.1f\n", b / m / 1e6 }' > "$tmp/rate.$i"
        [ "${row%%=*}" = "$ref" ] && cp "$tmp/rate.$i" "$tmp/rate.ref"
    done
    i=0
    for row in "$@"; do
        i=$((i + 1))
        rate=$(cat "$tmp/rate.$i")
        ratio=$(if [ -f "$tmp/rate.ref" ]; then awk -v a="$rate" -v b="$(cat "$tmp/rate.ref")" 'BEGIN { printf "%.2f", a / b }'; else echo -; fi)
        printf '%-8s %-12s %10s %8s\n' "$layout" "${row%%=*}" "$rate" "$ratio"
        rm -f "$tmp/times.$i"
    done
    rm -f "$input" "$tmp/rate.ref"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
