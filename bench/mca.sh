#!/usr/bin/env bash
# llvm-mca estimates of the arm64 scan paths on two Raspberry Pi cores,
# Cortex-A72 (Pi 4) and Cortex-A53 (Pi 3, Zero 2): instructions and cycles
# per 64 input bytes for the NEON scanner, the portable block scanner and
# the bytewise scanner, each as the program compiles it (release flags,
# -mcpu for the core).
#
# The bytewise and portable loops branch on the data, and llvm-mca only
# takes straight-line code. So each path's instructions are taken as they
# run: pixstream-filter converts a generated input under qemu-user, which
# logs every block of guest code it executes, and the blocks executed in
# the path's own functions, in order, make the listing llvm-mca simulates.
# That is the real mix of paths through the branches, with every branch
# predicted right: optimistic for the bytewise scanner, whose branches
# follow the digits. The calls to memcpy and memmove (once per 4 KiB block
# in the block scanners) are left out; the block scanners' averaging of
# every 24 values is in.
#
# Two cycle counts: llvm-mca's default, where no load waits for an earlier
# store (so the block scanners' reloads of the bytes they have just packed
# cost as if the stores had reached the cache), and one where every load
# waits for all earlier stores. A real core lies in between.
#
#   bench/mca.sh [LAYOUT [SIZE]]   (pixstream-gen layout, default compact 16K)
#
# Needs g++-aarch64-linux-gnu, qemu-user-static and llvm (llvm-mca).
set -eu
cd "$(dirname "$0")/.."

layout=${1:-compact}
size=${2:-16K}
root=/usr/aarch64-linux-gnu
qemu="qemu-aarch64-static -L $root"
# Mangled names of each path's functions, as qemu's log names them.
declare -A functions=(
    [neon]='scanNeon'
    [portable]='scanPortable|PortableWindow'
    [bytes]='Pipeline9scanBytes|Pipeline7convert'
)
paths="neon portable bytes"

# Prints the instructions of the executed blocks in functions matching $1,
# in the order they ran, with PC-relative targets turned into a label
# llvm-mca can assemble.
trace() {
    awk -v wanted="$1" '
        /^IN:/ { block = ""; start = ""; inBlock = 1; next }
        inBlock && /^0x[0-9a-f]+:/ {
            if (start == "") { start = $1; sub(/:$/, "", start); sub(/^0x0*/, "", start) }
            line = $0
            sub(/^0x[0-9a-f]+: +[0-9a-f]+ +/, "", line)
            mnemonic = line; sub(/ .*/, "", mnemonic)
            if (mnemonic ~ /^blr?$/) { next }  # calls out of the path: memcpy, memmove
            if (mnemonic ~ /^(b|bl|b\..+|cbn?z|tbn?z|adrp?)$/ || (mnemonic ~ /^ldr/ && line !~ /\[/)) {
                sub(/#0x[0-9a-f]+$/, ".Ltrace", line)
            }
            block = block line "\n"
            next
        }
        inBlock { if (start != "") code[start] = block; inBlock = 0 }
        /^Trace / && $NF ~ wanted {
            # [flags/pc/...]: the guest address of the block
            pc = $0; sub(/.*\[[0-9a-f]+\//, "", pc); sub(/\/.*/, "", pc); sub(/^0*/, "", pc)
            printf "%s", code[pc]
        }
        END { print ".Ltrace:" }
    '
}

# llvm-mca's total cycles for a listing; $3: whether a load may have to wait
# for every earlier store (false) or for none (true, llvm-mca's default).
cycles() {
    llvm-mca -mtriple=aarch64-linux-gnu -mcpu="$1" -noalias="$3" -iterations=1 -timeline=false \
        -resource-pressure=false -instruction-info=false "$2" | sed -n 's/^Total Cycles: *//p'
}

printf '%-11s %-9s %13s %19s %19s\n' core path instructions cycles "cycles, loads wait"
for cpu in cortex-a72 cortex-a53; do
    build=build/mca-$cpu
    cmake -S . -B "$build" -G Ninja --toolchain "$PWD/cmake/aarch64-linux-gnu.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG -D_FORTIFY_SOURCE=2" \
        -DCMAKE_CXX_FLAGS="-mcpu=$cpu" -DPIXSTREAM_TESTS=OFF -DPIXSTREAM_FUZZ=OFF > /dev/null
    cmake --build "$build" -j2 --target pixstream-filter pixstream-gen > /dev/null
    $qemu "$build/bench/pixstream-gen" "$layout" "$size" > "$build/input"
    bytes=$(wc -c < "$build/input")
    for path in $paths; do
        $qemu -d in_asm,exec,nochain -D "$build/$path.log" "$build/bench/pixstream-filter" "$path" \
            < "$build/input" > /dev/null
        trace "${functions[$path]}" < "$build/$path.log" > "$build/$path.s"
        instructions=$(grep -vc '^\.Ltrace:' "$build/$path.s")
        free=$(cycles "$cpu" "$build/$path.s" true 2> /dev/null)
        waiting=$(cycles "$cpu" "$build/$path.s" false 2> /dev/null)
        awk -v cpu="$cpu" -v path="$path" -v n="$instructions" -v free="$free" -v waiting="$waiting" -v b="$bytes" \
            'BEGIN { printf "%-11s %-9s %13.1f %19.0f %19.0f\n", cpu, path, n * 64 / b, free * 64 / b, waiting * 64 / b }'
    done
done
echo "llvm-mca estimates per 64 input bytes, over $bytes bytes of $layout input (pixstream-gen $layout $size)"
