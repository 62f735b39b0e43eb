#!/bin/sh
# Every figure of the README's Performance section in one run: throughput of
# the program and of each scan path on every layout against tr, cat and wc,
# the same through a pipe against cat | cat, instructions per input byte of
# each scan path and of tr (callgrind, instructions.sh), streaming latency on
# a live pipe, peak memory for a short and a long input, and the in-memory
# conversion speed.
#
# Usage: report.sh [-s SIZE] [-n ROUNDS] [-t TOTAL] [-m STREAM] [BUILD]
#   SIZE    input per layout for throughput.sh (64M; instructions.sh
#           counts 4M)
#   ROUNDS  timed rounds, the fastest reported (7)
#   TOTAL   MB through the pipe per run in the pipe tables (400)
#   STREAM  length of the long input for memory.sh (2G)
#   BUILD   build directory (build/release; build it first with
#           cmake --workflow --preset release)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
size=64M
rounds=7
total=400
stream=2G
while getopts s:n:t:m: opt; do
    case $opt in
    s) size=$OPTARG ;;
    n) rounds=$OPTARG ;;
    t) total=$OPTARG ;;
    m) stream=$OPTARG ;;
    *) sed -n '2,/^set/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=$(cd "${1:-$here/../build/release}" && pwd)
layouts="compact spaced pretty keyed numbered split padded noise decimal long mesh"

# The program's own row, then one row for each scan path this CPU has (as
# pixstream-filter lists them when asked for none), the same read loop held
# to it.
set -- "pixstream=$build/pixstream 30"
for path in $("$build/bench/pixstream-filter" 2>&1 | sed -n 's/.*supports://p'); do
    set -- "$@" "$path=$build/bench/pixstream-filter $path"
done

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) cores, $(uname -sr)"
echo
echo "== throughput from a file (input MB/s, fastest of $rounds rounds; ratio to tr -d '[]')"
bash "$here/throughput.sh" -b "$build" -s "$size" -n "$rounds" -l "$layouts" \
    "$@" "tr=tr -d '[]'" "cat=cat" "wc=wc -l"
echo
echo "== throughput through a pipe (cat FILE... | program against cat FILE... | cat)"
bash "$here/throughput.sh" -b "$build" -s "$size" -n "$rounds" -l "$layouts" -p -t "$total" "$@" "cat=cat"
echo
echo "== instructions per input byte (callgrind; a count, steadier than the clock)"
if command -v valgrind > /dev/null; then
    sh "$here/instructions.sh" -b "$build" -l "$layouts"
else
    echo "skipped: no valgrind"
fi
echo
echo "== streaming latency (one six-pixel group every 20 ms, pipe kept open)"
"$build/bench/pixstream-latency" -g 200 -i 20 "$build/pixstream" 30
echo
echo "== peak memory"
sh "$here/memory.sh" -b "$build" -s "$stream"
if [ -x "$build/bench/pixstream-bench" ]; then
    echo
    echo "== in-memory conversion (Google Benchmark)"
    "$build/bench/pixstream-bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>&1 |
        grep -E 'median|^Run on'
fi
