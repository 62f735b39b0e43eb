#!/bin/sh
# A few seconds of every benchmark tool and script, so that none of them rots:
# checks that they run and that what they measure is still right (the same
# bytes for every layout and every way the input arrives, output before the
# pipe closes, constant memory), never how fast anything is.
# Usage: smoke.sh BUILD
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
gen=$build/bench/pixstream-gen
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "-- layouts, arrival and scan paths give the same bytes"
for layout in compact spaced pretty keyed; do
    "$gen" "$layout" 300K > "$tmp/$layout.json"
    "$build/pixstream" 30 < "$tmp/$layout.json" > "$tmp/$layout.out"
    # The same pixels in every layout; the longer layouts carry fewer of them
    # in 300K, so compare the common prefix of the outputs.
    n=$(wc -c < "$tmp/$layout.out")
    [ "$n" -gt 1000 ]
    cmp -n "$n" "$tmp/$layout.out" "$tmp/compact.out"
    # Through a pipe, in reads of whatever the writer happened to write.
    "$gen" "$layout" 300K | "$build/pixstream" 30 | cmp - "$tmp/$layout.out"
    # Every scan path this CPU has, end to end.
    for path in bytes avx2 avx512; do
        if "$build/bench/pixstream-filter" "$path" < /dev/null > /dev/null 2>&1; then
            "$build/bench/pixstream-filter" "$path" < "$tmp/$layout.json" | cmp - "$tmp/$layout.out"
        fi
    done
done

# Layouts the vector scanner declines: every scan path gives the same bytes.
for layout in numbered split padded noise; do
    "$gen" "$layout" 300K > "$tmp/$layout.json"
    "$build/pixstream" 30 < "$tmp/$layout.json" > "$tmp/$layout.out"
    for path in bytes avx2 avx512; do
        if "$build/bench/pixstream-filter" "$path" < /dev/null > /dev/null 2>&1; then
            "$build/bench/pixstream-filter" "$path" < "$tmp/$layout.json" | cmp - "$tmp/$layout.out"
        fi
    done
done

echo "-- throughput.sh"
sh "$here/throughput.sh" -b "$build" -s 256K -n 1 -l "compact keyed"

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
