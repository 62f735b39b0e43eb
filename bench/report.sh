#!/bin/sh
# Every figure of the README's Performance section in one run: throughput of
# the program and of each scan path on eight layouts against tr, cat and wc,
# streaming latency on a live pipe, peak memory for a short and a 2 GiB
# input, and the in-memory conversion speed.
# Usage: report.sh [BUILD]   (build/release; build it first with
#        cmake --workflow --preset release)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/release}" && pwd)

echo "== throughput (input MB/s, median of 7 rounds; ratio to tr -d '[]')"
# The program, then the same read loop on each scan path this CPU has.
set -- "pixstream=$build/pixstream 30"
for path in bytes avx2 avx512; do
    if "$build/bench/pixstream-filter" "$path" < /dev/null > /dev/null 2>&1; then
        set -- "$@" "$path=$build/bench/pixstream-filter $path"
    fi
done
sh "$here/throughput.sh" -b "$build" -n 7 -l "compact spaced pretty keyed numbered split padded noise" \
    "$@" "tr=tr -d '[]'" "cat=cat" "wc=wc -l"
echo
echo "== streaming latency (one six-pixel group every 20 ms, pipe kept open)"
"$build/bench/pixstream-latency" -g 200 -i 20 "$build/pixstream" 30
echo
echo "== peak memory"
sh "$here/memory.sh" -b "$build" -s 2G
if [ -x "$build/bench/pixstream-bench" ]; then
    echo
    echo "== in-memory conversion (Google Benchmark)"
    "$build/bench/pixstream-bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>&1 |
        grep -E 'median|^Run on'
fi
