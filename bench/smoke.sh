#!/bin/sh
# A few seconds of every benchmark tool, of the scripts report.sh runs and
# of chart.sh, so that none of them rots: checks that they run and that what
# they measure is still right (the same bytes for every layout and every way
# the input arrives, output before the pipe closes, constant memory), never
# how fast anything is.
# Usage: smoke.sh BUILD
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
gen=$build/bench/pixstream-gen
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The scan paths this CPU has: pixstream-filter lists them when asked for none.
paths=$("$build/bench/pixstream-filter" 2>&1 | sed -n 's/.*supports://p')
[ -n "$paths" ]

echo "-- layouts, arrival and scan paths give the same bytes (paths:$paths)"
for layout in compact spaced pretty keyed numbered split padded noise decimal long mesh; do
    "$gen" "$layout" 300K > "$tmp/$layout.json"
    "$build/pixstream" 30 < "$tmp/$layout.json" > "$tmp/$layout.out"
    n=$(wc -c < "$tmp/$layout.out")
    [ "$n" -gt 1000 ]
    # The first four carry the same pixels; the longer layouts carry fewer of
    # them in 300K, so compare the common prefix of the outputs.
    case $layout in
    compact | spaced | pretty | keyed) cmp -n "$n" "$tmp/$layout.out" "$tmp/compact.out" ;;
    esac
    # Through a pipe, in reads of whatever the writer happened to write.
    "$gen" "$layout" 300K | "$build/pixstream" 30 | cmp - "$tmp/$layout.out"
    # Every scan path this CPU has, end to end.
    for path in $paths; do
        "$build/bench/pixstream-filter" "$path" < "$tmp/$layout.json" | cmp - "$tmp/$layout.out"
    done
done

echo "-- throughput.sh"
bash "$here/throughput.sh" -b "$build" -s 256K -n 1 -l "compact keyed"
bash "$here/throughput.sh" -b "$build" -s 256K -n 1 -l "compact long" -p -t 1

echo "-- chart.sh"
if command -v gnuplot > /dev/null; then
    bash "$here/throughput.sh" -b "$build" -s 64K -n 1 -l "compact noise" \
        "portable=$build/bench/pixstream-filter portable" "tr=tr -d '[]'" "cat=cat" > "$tmp/table"
    sh "$here/chart.sh" -o "$tmp/chart.svg" "$tmp/table"
    grep -q '<svg' "$tmp/chart.svg"
else
    echo "skipped: no gnuplot"
fi

echo "-- instructions.sh"
if command -v valgrind > /dev/null; then
    sh "$here/instructions.sh" -b "$build" -s 64K -l compact
else
    echo "skipped: no valgrind"
fi

echo "-- pixstream-latency"
"$build/bench/pixstream-latency" -g 20 -i 2 "$build/pixstream" 30
# The probe must notice a pipeline that holds its output back until the end.
if "$build/bench/pixstream-latency" -g 5 -i 2 sh -c "'$build/pixstream' 30 | dd bs=64k iflag=fullblock 2>/dev/null" > "$tmp/held"; then
    echo "pixstream-latency missed output held back until the end" >&2
    exit 1
fi
grep -q ' 0 arrived before' "$tmp/held"

echo "-- memory.sh"
sh "$here/memory.sh" -b "$build" -s 32M -n 1

if [ -x "$build/bench/pixstream-bench" ]; then
    echo "-- pixstream-bench"
    "$build/bench/pixstream-bench" --benchmark_min_time=0.01 --benchmark_filter=compact
fi
echo "bench smoke: ok"
