#!/usr/bin/env bash
# Whole-process throughput: runs every program on the same generated input,
# side by side, standard input from the file and standard output to /dev/null,
# and prints for each layout a table of each program's input MB/s in its
# fastest round and its ratio to a reference row. Rounds interleave the
# programs, so load from elsewhere hits them alike (hyperfine runs all of one
# command's rounds before the next command's, so it cannot). Runs are timed
# with bash's microsecond clock; GNU time's hundredths of a second are too
# coarse for runs of 10 to 50 ms.
#
# With -p each row instead reads a pipe fed by cat FILE FILE ..., enough
# copies of the input for TOTAL MB, so that start-up does not count, against
# the row cat=cat (added when no row has that label): whether the pipe or
# the program sets the pace. "bound" says pipe for a row at 0.90 of the
# reference or more, and filter below.
#
# Usage: throughput.sh [-b BUILD] [-s SIZE] [-n ROUNDS] [-l "LAYOUTS"] [-r REF]
#                      [-p [-t TOTAL]] [LABEL=COMMAND ...]
#   BUILD    build directory holding pixstream and bench/ (build/release)
#   SIZE     input size for pixstream-gen, e.g. 64M (64M = 67 MB)
#   ROUNDS   timed runs per program (7); the fastest is reported
#   LAYOUTS  any of pixstream-gen's: compact spaced pretty keyed (the
#            default), numbered split padded noise (digits in keys, digits
#            parted by a space, runs of four digits, random bytes), decimal
#            long mesh (normalised colours, GeoJSON coordinates and a 3D
#            mesh's float triples, whose digits run across points, signs and
#            exponents)
#   REF      label the ratios are taken against (tr; cat with -p)
#   TOTAL    MB through the pipe per run with -p (400): cat is given
#            TOTAL / SIZE copies of the input, at least one
#   rows     default: pixstream (the fastest scan path this CPU has), bytes
#            (the same loop on the bytewise scanner alone, pixstream-filter),
#            tr -d '[]', cat, wc -l; with -p pixstream, bytes and cat.
#            COMMAND is a shell command (run by bash) with the input on
#            standard input
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
size=64M
rounds=7
layouts="compact spaced pretty keyed"
ref=
pipe=0
total=400
while getopts b:s:n:l:r:pt: opt; do
    case $opt in
    b) build=$(cd "$OPTARG" && pwd) ;;
    s) size=$OPTARG ;;
    n) rounds=$OPTARG ;;
    l) layouts=$OPTARG ;;
    r) ref=$OPTARG ;;
    p) pipe=1 ;;
    t) total=$OPTARG ;;
    *) sed -n '2,/^set/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -eq 0 ] && [ "$pipe" -eq 1 ]; then
    set -- "pixstream=$build/pixstream 30" "bytes=$build/bench/pixstream-filter bytes"
elif [ $# -eq 0 ]; then
    set -- "pixstream=$build/pixstream 30" "bytes=$build/bench/pixstream-filter bytes" \
        "tr=tr -d '[]'" "cat=cat" "wc=wc -l"
fi
if [ "$pipe" -eq 1 ]; then
    hascat=0
    for row in "$@"; do
        [ "${row%%=*}" != cat ] || hascat=1
    done
    [ "$hascat" -eq 1 ] || set -- "$@" "cat=cat"
    ref=${ref:-cat}
fi
ref=${ref:-tr}
gen=$build/bench/pixstream-gen
export LC_ALL=C # a decimal point in $EPOCHREALTIME
set -o pipefail
# run FILE COMMAND: appends "seconds status" for one run of the shell
# command COMMAND, standard input and output as given to run.
run() {
    local start=$EPOCHREALTIME status=0
    eval "$2" || status=$?
    local end=$EPOCHREALTIME
    echo "$start $end $status" | awk '{ printf "%.6f %d\n", $2 - $1, $3 }' >> "$1"
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) cores, $(uname -sr)"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $rounds rounds, fastest"
for layout in $layouts; do
    input=$tmp/$layout.json
    "$gen" "$layout" "$size" > "$input"
    bytes=$(wc -c < "$input")
    feed=
    if [ "$pipe" -eq 1 ]; then
        copies=$(awk -v t="$total" -v b="$bytes" 'BEGIN { c = int(t * 1e6 / b + 0.5); print c < 1 ? 1 : c }')
        feed="cat"
        k=0
        while [ "$k" -lt "$copies" ]; do
            feed="$feed '$input'"
            k=$((k + 1))
        done
        echo
        awk -v l="$layout" -v b="$bytes" -v c="$copies" \
            'BEGIN { printf "%s: cat FILE x %d | program, %.1f MB (file %.1f MB)\n", l, c, b * c / 1e6, b / 1e6 }'
        printf '%-12s %10s %8s %7s\n' program "MB/s" "x $ref" bound
        bytes=$((bytes * copies))
    else
        echo
        awk -v l="$layout" -v b="$bytes" 'BEGIN { printf "%s: program < FILE, %.1f MB\n", l, b / 1e6 }'
        printf '%-12s %10s %8s\n' program "MB/s" "x $ref"
    fi
    round=0
    # Round 0 warms the page cache and is not counted.
    while [ "$round" -le "$rounds" ]; do
        i=0
        for row in "$@"; do
            i=$((i + 1))
            if [ "$pipe" -eq 1 ]; then
                run "$tmp/times.$i" "$feed | ${row#*=}" < /dev/null > /dev/null
            else
                run "$tmp/times.$i" "${row#*=}" < "$input" > /dev/null
            fi
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
        if awk '$2 != 0 { bad = 1 } END { exit !bad }' "$tmp/times.$i"; then
            echo "$layout: ${row%%=*} exited with a failure status" >&2
            exit 1
        fi
        # The fastest round: on a shared machine load only ever slows a
        # round down, so the fastest is the steadiest figure of a program's
        # own speed.
        sort -n "$tmp/times.$i" | awk -v b="$bytes" 'NR == 1 { printf "%.1f\n", b / $1 / 1e6 }' > "$tmp/rate.$i"
        [ "${row%%=*}" = "$ref" ] && cp "$tmp/rate.$i" "$tmp/rate.ref"
    done
    i=0
    for row in "$@"; do
        i=$((i + 1))
        rate=$(cat "$tmp/rate.$i")
        ratio=$(if [ -f "$tmp/rate.ref" ]; then awk -v a="$rate" -v b="$(cat "$tmp/rate.ref")" 'BEGIN { printf "%.2f", a / b }'; else echo -; fi)
        if [ "$pipe" -eq 1 ]; then
            bound=$(awk -v r="$ratio" 'BEGIN { print (r == "-" ? "-" : (r >= 0.9 ? "pipe" : "filter")) }')
            printf '%-12s %10s %8s %7s\n' "${row%%=*}" "$rate" "$ratio" "$bound"
        else
            printf '%-12s %10s %8s\n' "${row%%=*}" "$rate" "$ratio"
        fi
        rm -f "$tmp/times.$i"
    done
    rm -f "$input" "$tmp/rate.ref"
done
echo
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
