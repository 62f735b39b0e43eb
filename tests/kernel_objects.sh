#!/bin/sh
# The kernels' objects keep their instruction sets to themselves: every
# function an object defines that the linker may share with the rest of the
# program (a weak symbol, such as an inline function of a shared header left
# out of line) must use no instruction beyond the baseline, or the copy the
# linker keeps could fault on a CPU without a kernel's instruction set.
# Usage: kernel_objects.sh NM OBJDUMP OBJECT...
set -u
nm=$1
objdump=$2
shift 2
# Instructions past x86-64's baseline (SSE2), and NEON's on 32-bit ARM,
# whose baseline here has VFP alone. (tzcnt is left out: it is how the
# baseline's rep bsf disassembles.)
x86='%[yz]mm|%k[0-7]|^v[a-z]|pshufb|palignr|pmaddubsw|popcnt|lzcnt|andn|bextr|bls(i|r|msk)|bzhi|pdep|pext|rorx|s[ah][lr]x'
neon='[[:space:],{]q[0-9]|[[:space:],{]d(1[6-9]|2[0-9]|3[01])\b|\.[isu](8|16|32|64)\b|vld1|vst1|vtb[lx]'
checked=0
failed=0
for object in "$@"; do
    # Every object's, not only the kernels': so a new kernel is checked with
    # no change here. An arm64 build has NEON in its baseline, and other
    # architectures have no kernel of their own.
    case $("$objdump" -f "$object") in
    *x86-64*) pattern=$x86 ;;
    *aarch64*) continue ;;
    *arm*) pattern=$neon ;;
    *) continue ;;
    esac
    for symbol in $("$nm" --defined-only "$object" | awk '$2 == "W" { print $3 }'); do
        checked=$((checked + 1))
        found=$("$objdump" -d --no-show-raw-insn --disassemble="$symbol" "$object" |
            awk -F'\t' 'NF >= 2 { print $2 }' | grep -E "$pattern" | head -n 3)
        if [ -n "$found" ]; then
            failed=$((failed + 1))
            echo "FAIL: ${object##*/} shares $symbol, compiled for its instruction set:"
            echo "$found" | sed 's/^/    /'
        fi
    done
done
echo "kernel objects: $checked shared functions checked, $failed compiled past the baseline"
[ "$failed" -eq 0 ]
