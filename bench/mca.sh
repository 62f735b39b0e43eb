#!/usr/bin/env bash
# llvm-mca estimates of the scan paths on the cores of small boards:
# instructions and cycles per 64 input bytes of each path, as the program
# compiles it for the core (release flags, the core's -mcpu), on a layout
# whose digits are adjacent (compact) and on layouts whose digits are parted
# by ignored bytes (split, long), whose gaps the block scanners must close or
# pack. These are estimates from a model of each core, not timings on the
# boards.
#
#   core        boards                          paths
#   cortex-a72  Raspberry Pi 4                  neon portable bytes
#   cortex-a53  Raspberry Pi 3, Zero 2          neon portable bytes
#   sifive-u74  VisionFive 2 (RISC-V, RV64GC)   portable bytes
#   arm1176     Raspberry Pi 1, Zero            portable bytes
#
# SiFive U74: built with GCC's -mcpu=sifive-u74, which also tunes for it,
# for RV64GC, Debian's riscv64 baseline (the VisionFive 2's JH7110 also has
# Zba and Zbb, which that leaves out); llvm-mca's sifive-u74 is LLVM's
# SiFive 7 model: in order, two instructions a cycle.
#
# ARM1176JZF-S (ARMv6 with VFPv2, no NEON): built for it as Raspberry Pi OS
# is (-mcpu=arm1176jzf-s -mfpu=vfp -marm, ARM code) with Debian's armhf
# cross compiler, and run under qemu on a Cortex-A15 with NEON off, as on a
# core without NEON. LLVM 14 has no model of any ARMv6 core, and llvm-mca
# cannot use the Cortex-A8's (an itinerary only) or find one for A5 and A7.
# Of the in-order ARM models it has, Cortex-M4, M33, M55 and M7 take Thumb
# code only and have three to six stages; Cortex-R52 runs ARM code in
# order through eight stages, as ARM1176 does, so its model stands in here.
# Its cycles err both ways: the R52 starts two instructions a cycle where
# ARM1176 starts one (so it takes at least a cycle per instruction), and
# its model hands an ALU result to the next instruction a cycle later than
# ARM1176 forwards it. The C library functions that the path calls are
# Debian's armhf builds, Thumb-2 for ARMv7, near the ARMv6 code Raspberry Pi
# OS has but not the same.
#
# The bytewise and portable loops branch on the data, and llvm-mca only
# takes straight-line code. So each path's instructions are taken as they
# run: pixstream-filter converts a generated input under qemu-user, which
# logs every block of guest code it executes, and the blocks executed in
# the path's own functions and in what they call, in order, make the
# listing llvm-mca simulates.
# That is the real mix of paths through the branches, with every branch
# predicted right: optimistic for the bytewise scanner, whose branches
# follow the digits. What the path calls is in: memcpy, memmove and memset
# (once per call or per 4 KiB block in the block scanners); no libgcc
# routine, as the portable kernel counts bits itself where the core has no
# instruction for it. The block scanners' averaging of every 24 values is in
# too.
#
# Two cycle counts: llvm-mca's default, where no load waits for an earlier
# store (so the block scanners' reloads of the bytes they have just packed
# cost as if the stores had reached the cache), and one where every load
# waits for all earlier stores. A real core lies in between.
#
#   bench/mca.sh [-s SIZE] [-c "CORES"] [LAYOUT ...]
#   SIZE     input per layout for pixstream-gen (16K)
#   CORES    any of the cores above (all of them)
#   LAYOUT   pixstream-gen layouts (compact split long)
#
# Needs g++-aarch64-linux-gnu, g++-riscv64-linux-gnu, g++-arm-linux-gnueabihf
# (for the cores asked for), qemu-user-static and llvm (llvm-mca).
set -eu
cd "$(dirname "$0")/.."

size=16K
cores="cortex-a72 cortex-a53 sifive-u74 arm1176"
while getopts s:c: opt; do
    case $opt in
    s) size=$OPTARG ;;
    c) cores=$OPTARG ;;
    *) sed -n '2,/^set/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
layouts=${*:-compact split long}

# Mangled names of each path's functions, as qemu's log names them.
declare -A functions=(
    [neon]='scanNeon|4neon12_GLOBAL'
    [portable]='scanPortable|8portable12_GLOBAL'
    [bytes]='Pipeline9scanBytes|Pipeline7convert'
)

# core CORE: how to build, run and model the paths on it.
core() {
    case $1 in
    cortex-a72 | cortex-a53)
        arch=aarch64 triplet=aarch64-linux-gnu flags="-mcpu=$1" cpu='' mtriple=aarch64-linux-gnu mcpu=$1
        paths="neon portable bytes"
        ;;
    sifive-u74)
        arch=riscv64 triplet=riscv64-linux-gnu flags="-mcpu=$1" cpu='' mtriple=riscv64-linux-gnu mcpu=$1
        paths="portable bytes"
        ;;
    arm1176)
        arch=arm triplet=arm-linux-gnueabihf flags="-mcpu=arm1176jzf-s -mfpu=vfp -marm" cpu=cortex-a15,neon=off
        mtriple=armv6-linux-gnueabihf mcpu=cortex-r52
        paths="portable bytes"
        ;;
    *)
        echo "mca.sh: unknown core $1 (cortex-a72 cortex-a53 sifive-u74 arm1176)" >&2
        exit 2
        ;;
    esac
    # Every symbol bound at start-up, so that no call from the path takes
    # the dynamic linker's lazy binding.
    qemu="qemu-$arch-static -L /usr/$triplet -E LD_BIND_NOW=1${cpu:+ -cpu $cpu}"
}

# Prints the instructions of the executed blocks in functions matching $1,
# and of all they call, in the order they ran, for architecture $2, with
# PC-relative targets turned into a label llvm-mca can assemble. Each call
# becomes a plain branch: llvm-mca gives a call a latency of 100 cycles,
# which the return would wait for. On 32-bit ARM the listing switches
# between ARM and Thumb code where the program does (the C library is Thumb
# there).
trace() {
    awk -v wanted="$1" -v arch="$2" '
        function conditions() { return "(eq|ne|cs|hs|cc|lo|mi|pl|vs|vc|hi|ls|ge|lt|gt|le|al)?" }
        /^IN:/ { block = ""; call = ""; start = ""; inBlock = 1; next }
        inBlock && /^0x[0-9a-f]+:/ {
            if (start == "") {
                start = $1; sub(/:$/, "", start); sub(/^0x0*/, "", start)
                # ARM code is 8 hex digits an instruction; Thumb 4, or
                # twice 4 for its 32-bit instructions.
                mode[start] = length($2) == 4 ? "thumb" : "arm"
            }
            line = $0
            sub(/^0x[0-9a-f]+: +[0-9a-f]+ +/, "", line)
            if (arch == "arm" && mode[start] == "thumb") { sub(/^[0-9a-f][0-9a-f][0-9a-f][0-9a-f] +/, "", line) }
            mnemonic = line; sub(/ .*/, "", mnemonic)
            operands = line; sub(/^[^ ]+ */, "", operands)
            isCall = 0
            if (arch == "aarch64") {
                isCall = mnemonic ~ /^blr?$/
                if (mnemonic ~ /^(b|bl|b\..+|cbn?z|tbn?z|adrp?)$/ || (mnemonic ~ /^ldr/ && line !~ /\[/)) {
                    sub(/#0x[0-9a-f]+$/, ".Ltrace", line)
                }
            } else if (arch == "arm") {
                # bl, blx and their conditional forms call; b and bCOND
                # branch (bls is b if lower or same).
                isCall = mnemonic ~ ("^blx?" conditions() "$")
                if (isCall || mnemonic ~ ("^(b" conditions() "|cbn?z)(\\.[nw])?$")) {
                    sub(/#0x[0-9a-f]+$/, ".Ltrace", line)
                }
            } else if (arch == "riscv64") {
                # qemu gives each branch and jump its offset and, after #,
                # its target; lui and auipc their value, 4096 times the
                # 20-bit field that the assembler takes.
                sub(/ *#.*$/, "", line)
                # A rounding mode, which qemu prints before the registers
                # (fcvt.d.lu dyn,fa5,a0), left out: llvm-mca takes it only
                # after them, and it does not change the timing.
                sub(/[ \t]+(rne|rtz|rdn|rup|rmm|dyn),/, " ", line)
                # Jumps that link a register: calls, and the jumps of PLT stubs.
                isCall = mnemonic ~ /^jalr?$/ && operands !~ /^zero,/
                if (mnemonic ~ /^(j|jal|beqz?|bnez?|blt[zu]?|bge[zu]?|bgt[zu]?|ble[zu]?)$/) {
                    sub(/-?[0-9]+$/, ".Ltrace", line)
                } else if (mnemonic ~ /^(lui|auipc)$/ && match(line, /-?[0-9]+$/)) {
                    field = substr(line, RSTART) / 4096
                    line = substr(line, 1, RSTART - 1) (field < 0 ? field + 1048576 : field)
                }
            }
            if (!isCall) {
                block = block line "\n"
            } else if (arch == "arm") {
                call = mnemonic; sub(/^blx?/, "b", call); call = call " .Ltrace\n"
            } else {
                call = (arch == "riscv64" ? "j" : "b") " .Ltrace\n"
            }
            next
        }
        inBlock { if (start != "") { code[start] = block; calls[start] = call } inBlock = 0 }
        /^Trace / {
            # [flags/pc/...]: the guest address of the block
            pc = $0; sub(/.*\[[0-9a-f]+\//, "", pc); sub(/\/.*/, "", pc); sub(/^0*/, "", pc)
            if ($NF ~ wanted) {
                following = 0
            } else if (!following) {
                next
            }
            if (arch == "arm" && mode[pc] != current) { current = mode[pc]; printf ".%s\n", current }
            printf "%s%s", code[pc], calls[pc]
            if (calls[pc] != "") { following = 1 }
        }
        END { print ".Ltrace:" }
    '
}

# llvm-mca's total cycles for a listing; $2: whether a load may have to wait
# for every earlier store (false) or for none (true, llvm-mca's default).
cycles() {
    # llvm-mca reports a line it cannot assemble, then simulates the rest;
    # and a call left in the listing would cost 100 cycles.
    if ! llvm-mca -mtriple="$mtriple" -mcpu="$mcpu" -noalias="$2" -iterations=1 -timeline=false \
        -resource-pressure=false -instruction-info=false "$1" > "$1.mca" 2>&1 ||
        grep -q -e 'error:' -e 'found a call' "$1.mca"; then
        echo "mca.sh: llvm-mca on $1:" >&2
        grep -m3 -A2 -e 'error:' -e 'found a call' "$1.mca" >&2
        exit 1
    fi
    sed -n 's/^Total Cycles: *//p' "$1.mca"
}

printf '%-11s %-8s %-9s %13s %9s %19s\n' core layout path instructions cycles "cycles, loads wait"
for name in $cores; do
    core "$name"
    build=build/mca-$name
    cmake -S . -B "$build" -G Ninja --toolchain "$PWD/cmake/$triplet.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG -D_FORTIFY_SOURCE=2" \
        -DCMAKE_CXX_FLAGS="$flags" \
        -DPIXSTREAM_TESTS=OFF -DPIXSTREAM_FUZZ=OFF > /dev/null
    cmake --build "$build" -j2 --target pixstream-filter pixstream-gen > /dev/null
    for layout in $layouts; do
        $qemu "$build/bench/pixstream-gen" "$layout" "$size" > "$build/$layout.json"
        bytes=$(wc -c < "$build/$layout.json")
        for path in $paths; do
            listing=$build/$layout-$path.s
            $qemu -d in_asm,exec,nochain -D "$build/trace.log" "$build/bench/pixstream-filter" "$path" \
                < "$build/$layout.json" > /dev/null
            trace "${functions[$path]}" "$arch" < "$build/trace.log" > "$listing"
            rm -f "$build/trace.log"
            instructions=$(grep -vc '^\.' "$listing")
            free=$(cycles "$listing" true)
            waiting=$(cycles "$listing" false)
            awk -v core="$name" -v layout="$layout" -v path="$path" -v n="$instructions" -v free="$free" \
                -v waiting="$waiting" -v b="$bytes" 'BEGIN {
                    printf "%-11s %-8s %-9s %13.1f %9.0f %19.0f\n", core, layout, path, n * 64 / b,
                        free * 64 / b, waiting * 64 / b }'
        done
    done
done
echo "llvm-mca (LLVM $(llvm-mca --version | sed -n 's/.*LLVM version \([0-9.]*\).*/\1/p')) estimates per 64 input bytes," \
    "over $size of each layout (pixstream-gen LAYOUT $size), not timings"
case " $cores " in
*" arm1176 "*) echo "arm1176: LLVM's Cortex-R52 model, which starts two instructions a cycle where ARM1176 starts one" ;;
esac
