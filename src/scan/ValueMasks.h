#ifndef PIXSTREAM_VALUEMASKS_H
#define PIXSTREAM_VALUEMASKS_H

#include <cassert>
#include <cstdint>

// The bit counts the block scanner needs, as the compiler's builtins give
// them. On most CPUs each is an instruction; a kernel for CPUs where the
// compiler would call its library instead supplies its own (StreamScanner.h).
struct BuiltinBits {
    static unsigned count(std::uint64_t x) { return static_cast<unsigned>(__builtin_popcountll(x)); }
    // x is not 0
    static unsigned leadingZeros(std::uint64_t x) { return static_cast<unsigned>(__builtin_clzll(x)); }
};

// Where the values of one window end, found with 64-bit mask arithmetic.
//
// The block scanners drop every byte the bytewise scanner ignores, so a
// window packs down to digits and terminators (',' and ']'), bit i of each
// mask standing for packed byte i. On that packed stream the bytewise rules
// become arithmetic on runs of adjacent digits:
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
//
// The same arithmetic holds on a window left in place, its ignored bytes
// marked by their absence from `kept`, as long as no ignored byte stands
// between a run's last digit and the next digit after it ("1 2,"), and the
// run left open by the last window goes on, if at all, at byte 0: where
// there are no strays. Where a single ignored byte parts a group ("12.5",
// "2 55"), moving the digits after it down one place (gapClosers) makes
// such a window.
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

    // digits: where the window holds a digit; kept: where it holds a digit
    // or a terminator (for a packed stream of n bytes, bits 0 to n - 1), not
    // 0; pending: digits of the group the last window left open, 0 to 2;
    // lastKept: the place of kept's highest bit.
    static ValueMasks of(std::uint64_t digits, std::uint64_t kept, unsigned pending, unsigned lastKept) {
        assert(kept != 0 && pending <= 2 && kept >> lastKept == 1);
        // Bits 0, 3, 6, ..., 63, and the same shifted up one and two places.
        constexpr std::uint64_t phase0 = 0x9249249249249249u;
        constexpr std::uint64_t phase1 = phase0 << 1;
        constexpr std::uint64_t phase2 = phase0 << 2;
        digits &= kept;
        const std::uint64_t starts = digits & ~(digits << 1);
        // The run at position 0 keeps the phase of the group left open:
        // it began `pending` places back, at phase 0, 2 or 1. Plain 0 or 1
        // arithmetic on pending, not branches, which random input defeats.
        const std::uint64_t first = starts & 1u;
        const std::uint64_t later = starts & ~std::uint64_t{1};
        const std::uint64_t one = pending & 1u;
        const std::uint64_t two = pending >> 1;
        const std::uint64_t carried = one | two;
        const std::uint64_t starts0 = (later & phase0) | (first & ~carried);
        const std::uint64_t starts1 = (later & phase1) | (first & two);
        const std::uint64_t starts2 = (later & phase2) | (first & one);
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
        // what the window holds; only the last byte kept can be the latter.
        m.take = thirds | (open & ~(digits >> 1));
        const std::uint64_t unfinished = (open >> lastKept) & 1u;
        m.pending = static_cast<unsigned>(unfinished + (unfinished & (m.tens >> lastKept)));
        m.closesPending = static_cast<unsigned>(carried & ((kept & ~digits & (0 - kept)) != 0 ? 1u : 0u));
        return m;
    }

    // The digits that break reading the window in place: each digit whose
    // byte kept before it is a run's last digit, past ignored bytes ("1 2,"
    // or "12.5"), and, after a group left open, the first byte kept when it
    // is a digit not at byte 0. The carry of the add runs from the byte
    // after each run through the ignored bytes to the first byte kept.
    static std::uint64_t strays(std::uint64_t digits, std::uint64_t kept, unsigned pending) {
        assert(pending <= 2);
        const std::uint64_t runEnds = digits & ~(digits >> 1);
        const std::uint64_t firstKept = kept & (0 - kept);
        return (((runEnds << 1) + ~kept) & kept & digits) |
               (pending != 0 ? firstKept & digits & ~std::uint64_t{1} : 0);
    }

    static bool inPlace(std::uint64_t digits, std::uint64_t kept, unsigned pending) {
        return strays(digits, kept, pending) == 0;
    }

    // The digits that close one-byte gaps within groups by moving down one
    // place, or 0 where that would not make a window that may be read in
    // place. They are the runs that start at a stray right after a single
    // ignored byte (byte 0, after a group left open, counts as one):
    //
    //   text      1 2 . 5 , 2   5 5 ,
    //   movers    . . . 1 . . . 1 1 .
    //   closed    1 2 5 _ , 2 5 5 _ ,   '_' is no longer kept
    //
    // Closing works where every stray is such a run's first digit, and no
    // such run ends right before another one-byte gap, which closing would
    // leave two bytes wide ("1.2.3").
    //
    // Wider gaps are packed. Closing up to three ignored bytes a group, in
    // two steps (odd counts one place down, then counts of 2 and 3 two),
    // reads the mesh's "1.25e-05" in place, but the mask arithmetic it adds
    // to every window with strays, twice in the look-ahead, costs more than
    // packing the windows that need it (AVX2 on Zen 4, while it still asked
    // of every window whether to pack it: mesh 1877 to 1796 MB/s,
    // coordinates 2139 to 2075, random bytes 1803 to 1351).
    static std::uint64_t gapClosers(std::uint64_t digits, std::uint64_t kept, unsigned pending,
                                    std::uint64_t stray) {
        assert(pending <= 2);
        const std::uint64_t afterDigit = (digits << 1) | (pending != 0 ? 1u : 0u);
        const std::uint64_t gaps = ~kept & afterDigit & (digits >> 1);
        const std::uint64_t movers = digits & ~(digits + (gaps << 1));
        const std::uint64_t moverEnds = movers & ~(digits >> 1);
        return stray == gaps << 1 && ((moverEnds << 1) & gaps) == 0 ? movers : 0;
    }

    // A mask of where bytes are once movers have moved down one place.
    static std::uint64_t closed(std::uint64_t mask, std::uint64_t movers) {
        return (mask & ~movers) | (movers >> 1);
    }

    // Where a window packed down to its n kept bytes (1 to 64) keeps them:
    // its first n bits.
    static std::uint64_t firstBits(unsigned n) {
        assert(n >= 1 && n <= 64);
        return ~std::uint64_t{0} >> (64 - n);
    }

    static ValueMasks of(std::uint64_t digits, std::uint64_t kept, unsigned pending) {
        return of(digits, kept, pending, 63u - BuiltinBits::leadingZeros(kept));
    }

    // The finished values in take, of which there are `taken`: all but the
    // running value of a group left open.
    unsigned finished(unsigned taken) const { return taken - (pending != 0 ? 1u : 0u); }
    unsigned finished() const { return finished(BuiltinBits::count(take)); }
};

#endif
