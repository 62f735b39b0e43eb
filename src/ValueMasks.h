#ifndef PIXSTREAM_VALUEMASKS_H
#define PIXSTREAM_VALUEMASKS_H

#include <cstdint>

// Where the values of one window end, found with 64-bit mask arithmetic.
//
// The block scanners first drop every byte the bytewise scanner ignores, so
// a window packs down to digits and terminators (',' and ']'), bit i of each
// mask standing for packed byte i. On that packed stream the bytewise rules
// become arithmetic on runs of adjacent digits:
//   - a run that starts at a position = k (mod 3) has a value ending at
//     each of its digits at positions = k + 2 (mod 3): its third, sixth, ...
//     digit, since a third digit ends a value at once;
//   - a terminator ends a value when the byte before it is a digit that did
//     not itself end one: "12," and "1234," (the 4), not "123,";
//   - the run still open when the last window ended carries on at position
//     0 as if it had started `pending` places earlier.
// Each value is then the running value of its group of at most three digits:
// the last digit, plus ten times the one before where `tens` says so, plus a
// hundred times the one before that where `hundreds` says so; `take` marks
// the digit whose running value is a finished value (a third digit, or the
// digit before an ending terminator), in input order.
struct ValueMasks {
    std::uint64_t tens;     // the digit before this one is in its group
    std::uint64_t hundreds; // so are the two before
    // Finished values, and last the running value of a group the window
    // leaves unfinished, which the next window's first byte may yet end.
    std::uint64_t take;
    unsigned finished;      // values in take, the unfinished one not counted
    unsigned closesPending; // 1 when packed byte 0 ends the group left open
    unsigned pending;       // digits of the group left open, 0 to 2

    // digits: bit i set where packed byte i is a digit (bits from count up
    // are not looked at); count: packed bytes, 1 to 64; pending: digits of
    // the group the last window left open, 0 to 2.
    static ValueMasks of(std::uint64_t digits, unsigned count, unsigned pending) {
        // Bits 0, 3, 6, ..., 63, and the same shifted up one and two places.
        constexpr std::uint64_t phase0 = 0x9249249249249249u;
        constexpr std::uint64_t phase1 = phase0 << 1;
        constexpr std::uint64_t phase2 = phase0 << 2;
        const std::uint64_t all = ~std::uint64_t{0} >> (64 - count);
        digits &= all;
        const std::uint64_t terminators = all & ~digits;
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
        m.hundreds = digits & (((m.tens & ~thirds) << 1) | two);
        const std::uint64_t ending = terminators & ((open << 1) | carried);
        const unsigned lastBit = count - 1;
        const std::uint64_t unfinished = (open >> lastBit) & 1u;
        m.take = thirds | (ending >> 1) | (unfinished << lastBit);
        m.finished = static_cast<unsigned>(__builtin_popcountll(thirds | (ending >> 1)));
        m.closesPending = static_cast<unsigned>(ending & 1u);
        m.pending = static_cast<unsigned>(unfinished + (unfinished & (m.tens >> lastBit)));
        return m;
    }
};

#endif
