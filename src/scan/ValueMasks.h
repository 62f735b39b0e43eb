#ifndef PIXSTREAM_VALUEMASKS_H
#define PIXSTREAM_VALUEMASKS_H

#include <cassert>
#include <cstdint>

// Internal linkage, so that each source has its own copy, compiled for its
// own instruction set, and no kernel's copy can be the one the linker keeps
// for another (TargetRegion.h).
namespace {

// The bit count the block scanner needs, as the compiler's builtin gives
// it. On most CPUs it is an instruction; a kernel for CPUs where the
// compiler would call its library instead supplies its own (Kernel.h).
struct BuiltinBits {
    static unsigned count(std::uint64_t x) { return static_cast<unsigned>(__builtin_popcountll(x)); }
};

// Where the values of one window of the dense stream end, found with 64-bit
// mask arithmetic.
//
// The block scanner first drops every byte the bytewise scanner ignores, so
// a window of the dense stream holds digits and terminators (',' and ']')
// only, bit i of each mask standing for byte i. On that stream the bytewise
// rules become arithmetic on runs of adjacent digits:
//   - a run that starts at a position = k (mod 3) has a value ending at
//     each of its digits at positions = k + 2 (mod 3): its third, sixth, ...
//     digit, since a third digit ends a value at once;
//   - a run's last digit, unless it ended a value itself, ends one at the
//     terminator after it: "12," and "1234," (the 4), not "123,";
//   - the run still open when the last window ended carries on at position
//     0 as if it had started `pending` places earlier.
// Each value is then the running value of its group of at most three digits:
// the last digit, plus ten times the one before where `tens` says so, plus a
// hundred times the one before that where `hundreds` says so; `take` marks
// the digit whose running value is a finished value, in input order.
//
// Worked through for "12,345,6789,0]" with nothing open before it (bit i
// under byte i, so the masks read left to right with the text; '.' is 0):
//
//   text      1 2 , 3 4 5 , 6 7 8 9 , 0 ]
//   digits    1 1 . 1 1 1 . 1 1 1 1 . 1 .
//   starts    1 . . 1 . . . 1 . . . . 1 .   first digit of each run
//   position  0 1 2 0 1 2 0 1 2 0 1 2 0 1   mod 3: "6789" starts at phase 1
//   thirds    . . . . . 1 . . . 1 . . . .   phase 2 of a phase-0 run, 0 of 1
//   tens      . 1 . . 1 1 . . 1 1 . . . .   the digit before is in the group
//   hundreds  . . . . . 1 . . . 1 . . . .   so are the two before (thirds)
//   take      . 1 . . . 1 . . . 1 1 . 1 .   thirds, and runs' last digits
//
// giving 12, 345 (89 in 8 bits), 678 (166), 9 and 0.
struct ValueMasks {
    // Where the digit before is in the same group, and where the two before
    // are, as far as the digits take marks go: there a group of three ends
    // at its third digit, any other at a run's last digit.
    std::uint64_t tens;
    std::uint64_t hundreds;
    // Finished values, and last the running value of a group the window
    // leaves unfinished, which the next window's first byte may yet end.
    std::uint64_t take;
    unsigned closesPending; // 1 when the first byte kept ends the group left open
    unsigned pending;       // digits of the group left open, 0 to 2

    // digits: where the first `size` bytes of the window (1 to 64) hold a
    // digit, the others terminators; pending: digits of the group the last
    // window left open, 0 to 2.
    static ValueMasks of(std::uint64_t digits, unsigned size, unsigned pending) {
        assert(size >= 1 && size <= 64 && pending <= 2);
        const unsigned last = size - 1;
        // Bits 0, 3, 6, ..., 63, and the same shifted up one and two places.
        constexpr std::uint64_t phase0 = 0x9249249249249249u;
        constexpr std::uint64_t phase1 = phase0 << 1;
        constexpr std::uint64_t phase2 = phase0 << 2;
        digits &= firstBits(size);
        const std::uint64_t starts = digits & ~(digits << 1);
        // The run at position 0 keeps the phase of the group left open: it
        // began `pending` places back, so bit 0 moves from phase 0 to phase
        // 2 or 1. Plain 0 or 1 arithmetic on pending, not branches, which
        // random input defeats.
        const std::uint64_t one = pending & 1u;
        const std::uint64_t two = pending >> 1;
        const std::uint64_t carried = one | two;
        const std::uint64_t starts0 = starts & (phase0 ^ carried);
        const std::uint64_t starts1 = starts & (phase1 | two);
        const std::uint64_t starts2 = starts & (phase2 | one);
        // The add carries through each run from its start and clears it, so
        // the bits it cleared are the runs of that phase.
        const std::uint64_t thirds = (digits & ~(digits + starts0) & phase2) |
                                     (digits & ~(digits + starts1) & phase0) |
                                     (digits & ~(digits + starts2) & phase1);
        const std::uint64_t open = digits & ~thirds; // digits that end no value
        ValueMasks m{};
        m.tens = digits & ((open << 1) | carried);
        m.hundreds = thirds;
        // A run's last digit is followed by a terminator or by the end of
        // what the window holds; only the last byte can be the latter.
        m.take = thirds | (open & ~(digits >> 1));
        const std::uint64_t unfinished = (open >> last) & 1u;
        m.pending = static_cast<unsigned>(unfinished + (unfinished & (m.tens >> last)));
        m.closesPending = static_cast<unsigned>(carried & ~digits & 1u);
        return m;
    }

    // The first n bits (1 to 64): where a window of n bytes has them.
    static std::uint64_t firstBits(unsigned n) {
        assert(n >= 1 && n <= 64);
        return ~std::uint64_t{0} >> (64 - n);
    }
};

} // namespace

#endif
