#!/bin/sh
# The README's chart: input MB/s per layout for every scan path this CPU has,
# beside tr and cat, as an SVG drawn by gnuplot (Debian package gnuplot-nox),
# with the machine named on it. Measures with throughput.sh and keeps its
# table beside the chart, so that the figures can be checked and the chart
# redrawn from them alone.
#
# Usage: chart.sh [-b BUILD] [-s SIZE] [-n ROUNDS] [-o SVG] [TABLE]
#   BUILD   build directory (build/release; build it first with
#           cmake --workflow --preset release)
#   SIZE    input per layout (32M)
#   ROUNDS  timed rounds, the fastest charted (7)
#   SVG     the chart (docs/throughput.svg); the table goes beside it, with
#           the extension .txt
#   TABLE   draw from this saved output of throughput.sh or report.sh
#           instead of measuring (its file tables only; rows pixstream and wc
#           are left out, pixstream being its fastest path again)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
size=32M
rounds=7
svg=$root/docs/throughput.svg
while getopts b:s:n:o: opt; do
    case $opt in
    b) build=$(cd "$OPTARG" && pwd) ;;
    s) size=$OPTARG ;;
    n) rounds=$OPTARG ;;
    o) svg=$OPTARG ;;
    *) sed -n '2,/^set/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
command -v gnuplot > /dev/null || { echo "chart.sh needs gnuplot (Debian package gnuplot-nox)" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if [ $# -ge 1 ]; then
    table=$1
else
    table=${svg%.svg}.txt
    set --
    for path in $("$build/bench/pixstream-filter" 2>&1 | sed -n 's/.*supports://p'); do
        set -- "$@" "$path=$build/bench/pixstream-filter $path"
    done
    bash "$root/bench/throughput.sh" -b "$build" -s "$size" -n "$rounds" \
        -l "compact spaced pretty keyed numbered split padded noise decimal long mesh" \
        "$@" "tr=tr -d '[]'" "cat=cat" > "$tmp/table"
    mv "$tmp/table" "$table"
fi

# One line per layout, one column per program, from the tables of runs with
# standard input from the file.
awk '
    /^machine:/ && machine == "" { sub(/^machine: /, ""); machine = $0 }
    /: program < FILE/ { layout = $1; sub(/:$/, "", layout); layouts[++nl] = layout; next }
    /^$/ { layout = "" }
    layout != "" && $2 ~ /^[0-9.]+$/ && $1 != "pixstream" && $1 != "wc" {
        if (!($1 in seen)) { seen[$1] = 1; programs[++np] = $1 }
        rate[layout, $1] = $2
    }
    END {
        if (nl == 0 || np == 0) exit 1
        print machine > "'"$tmp"'/machine"
        printf "layout"
        for (p = 1; p <= np; p++) printf " %s", programs[p]
        print ""
        for (l = 1; l <= nl; l++) {
            printf "%s", layouts[l]
            for (p = 1; p <= np; p++) printf " %s", ((layouts[l], programs[p]) in rate ? rate[layouts[l], programs[p]] : "?")
            print ""
        }
    }' "$table" > "$tmp/data" || { echo "chart.sh: no file tables in $table" >&2; exit 1; }

columns=$(head -n 1 "$tmp/data" | wc -w)
# The scan paths in colour, the two programs they are held against in grey.
colours=$(head -n 1 "$tmp/data" | tr ' ' '\n' | sed 1d | while read -r program; do
    case $program in
    bytes) echo '#b39ddb' ;; portable) echo '#009e73' ;; ssse3) echo '#56b4e9' ;; avx2) echo '#e69f00' ;;
    avx512) echo '#d55e00' ;; neon) echo '#cc79a7' ;; tr) echo '#555555' ;; cat) echo '#bbbbbb' ;; *) echo '#0072b2' ;;
    esac
done | tr '\n' ' ')
mkdir -p "$(dirname "$svg")"
gnuplot <<EOF
set terminal svg size 1100,460 dynamic font "sans,12" background "white"
set output "$svg"
set title "pixstream: input MB/s with standard input from a file (fastest of the rounds)\n$(cat "$tmp/machine")"
set datafile missing "?"
set style data histograms
set style histogram clustered gap 1
set style fill solid 1.0 noborder
set boxwidth 0.9
set ylabel "MB/s of input"
set yrange [0:*]
set grid ytics
set key top left horizontal
set xtics nomirror
set ytics nomirror
set border 3
colours = "$colours"
plot for [i=2:$columns] "$tmp/data" using i:xtic(1) title columnheader(i) lc rgb word(colours, i - 1)
EOF
echo "chart: $svg (from $table)"
