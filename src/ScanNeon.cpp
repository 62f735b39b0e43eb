#include "ScanKernels.h"

#if defined(PIXSTREAM_NEON_KERNEL)

#include "PackTable.h"
#include "ScanBlocks.h"
#include "ValueMasks.h"

#include <arm_neon.h>

// Debian's 32-bit ARM (armhf) baseline has VFP but not NEON, so there NEON
// is switched on for this file's own code only, after every shared header:
// an inline function of those headers compiled here with NEON could be the
// copy the linker keeps for the other scanners too, and crash a CPU that
// lacks it. arm64 always has NEON.
#if defined(__arm__) && !defined(__ARM_NEON)
#define PIXSTREAM_NEON_PRAGMA
#pragma GCC push_options
#pragma GCC target("fpu=neon")
#endif

namespace {

// Bit j of an 8-bit mask stands for byte j of its 8-byte half.
constexpr std::uint8_t bitWeights[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};

// One 64-byte window as four 16-byte vectors, after the AVX2 kernel. Where
// its digits are adjacent (ValueMasks::inPlace) the window is read where it
// stands; otherwise its digits and terminators are packed first. NEON has no
// byte compress either, so eight bytes at a time are packed with a table
// lookup and stored one after another, and the packed stream is loaded back.
// NEON has no movemask: bytes are weighted by their bit and summed pairwise.
// The few operations 32-bit ARM lacks (16-byte table lookups, pairwise adds
// of 16-byte vectors) have an equivalent on 8-byte halves there.
class NeonWindow {
public:
    explicit NeonWindow(const ScanCarry& carry) : lastTwo(carry.lastTwo), pending(carry.pending) {}

    void save(ScanCarry& carry) const {
        carry.lastTwo = lastTwo;
        carry.pending = static_cast<std::uint8_t>(pending);
    }

    std::size_t scan(const char* window, std::uint8_t* values, std::size_t count) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(window);
        uint8x16x4_t offset = {{vsubq_u8(vld1q_u8(bytes), vdupq_n_u8('0')),
                                vsubq_u8(vld1q_u8(bytes + 16), vdupq_n_u8('0')),
                                vsubq_u8(vld1q_u8(bytes + 32), vdupq_n_u8('0')),
                                vsubq_u8(vld1q_u8(bytes + 48), vdupq_n_u8('0'))}};
        std::uint64_t digits = digitsOf(offset);
        std::uint64_t kept = digits | bits({{isTerminator(offset.val[0]), isTerminator(offset.val[1]),
                                             isTerminator(offset.val[2]), isTerminator(offset.val[3])}});
        if (kept == 0) {
            return count;
        }
        const std::uint16_t before = lastTwo;
        lastTwo = lastTwoKept(window, kept, before);
        if (!ValueMasks::inPlace(digits, kept, pending)) {
            const std::size_t size = pack(offset, kept, packed);
            offset = {
                {vld1q_u8(packed), vld1q_u8(packed + 16), vld1q_u8(packed + 32), vld1q_u8(packed + 48)}};
            digits = digitsOf(offset);
            kept = ~std::uint64_t{0} >> (64 - size);
        }
        const ValueMasks m = ValueMasks::of(digits, kept, pending);
        // The bytes before each byte are shifted in from the vector before
        // it, the last window's last two bytes first (in bytes 14 and 15).
        const uint8x16_t previous = vreinterpretq_u8_u16(vdupq_n_u16(before));
        const uint8x16x4_t tens = bytesOf(m.tens);
        const uint8x16x4_t hundreds = bytesOf(m.hundreds);
        const uint8x16x4_t running = {{
            runningValue(offset.val[0], previous, tens.val[0], hundreds.val[0]),
            runningValue(offset.val[1], offset.val[0], tens.val[1], hundreds.val[1]),
            runningValue(offset.val[2], offset.val[1], tens.val[2], hundreds.val[2]),
            runningValue(offset.val[3], offset.val[2], tens.val[3], hundreds.val[3]),
        }};
        // After the open group's running value, kept at values[count] by the
        // last window, if this window's first byte ends it.
        count += m.closesPending;
        pack(running, m.take, values + count);
        pending = m.pending;
        return count + m.finished();
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return reduceGroups(values, groups, out);
    }

private:
    // byte - '0' <= 9, unsigned: exactly the ten digits
    static uint8x16_t isDigit(uint8x16_t offset) { return vcleq_u8(offset, vdupq_n_u8(9)); }

    // The terminators ',' and ']'.
    static uint8x16_t isTerminator(uint8x16_t offset) {
        return vorrq_u8(vceqq_u8(offset, vdupq_n_u8(static_cast<std::uint8_t>(',' - '0'))),
                        vceqq_u8(offset, vdupq_n_u8(']' - '0')));
    }

    // Bit i set where byte i of the 64 is a digit.
    static std::uint64_t digitsOf(const uint8x16x4_t& offset) {
        return bits({{isDigit(offset.val[0]), isDigit(offset.val[1]), isDigit(offset.val[2]),
                      isDigit(offset.val[3])}});
    }

    // Bytes 0 to 7 of the result are the sums of the byte pairs of a, bytes
    // 8 to 15 those of b.
    static uint8x16_t pairwiseAdd(uint8x16_t a, uint8x16_t b) {
#if defined(__aarch64__)
        return vpaddq_u8(a, b);
#else
        return vcombine_u8(vpadd_u8(vget_low_u8(a), vget_high_u8(a)),
                           vpadd_u8(vget_low_u8(b), vget_high_u8(b)));
#endif
    }

    // Bit i set where byte i of the 64 is 0xFF (each byte 0 or 0xFF): every
    // byte keeps its own bit, and three rounds of pairwise sums leave each
    // 8-byte half's bits in one byte.
    static std::uint64_t bits(uint8x16x4_t mask) {
        const uint8x16_t weights = vld1q_u8(bitWeights);
        const uint8x16_t quarters =
            pairwiseAdd(vandq_u8(mask.val[0], weights), vandq_u8(mask.val[1], weights));
        const uint8x16_t halves = pairwiseAdd(vandq_u8(mask.val[2], weights), vandq_u8(mask.val[3], weights));
        const uint8x16_t all = pairwiseAdd(pairwiseAdd(quarters, halves), vdupq_n_u8(0));
        return vgetq_lane_u64(vreinterpretq_u64_u8(all), 0);
    }

    // The 64 bits of mask as 64 bytes, 0xFF where the bit is set: each
    // 8-byte half repeats its mask byte, then tests its own bit.
    static uint8x16x4_t bytesOf(std::uint64_t mask) {
        const uint8x16_t weights = vld1q_u8(bitWeights);
#if defined(__aarch64__)
        static constexpr std::uint8_t spread[4][16] = {{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1},
                                                       {2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3},
                                                       {4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5},
                                                       {6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7}};
        const uint8x16_t bytes = vreinterpretq_u8_u64(vdupq_n_u64(mask));
        return {{vtstq_u8(vqtbl1q_u8(bytes, vld1q_u8(spread[0])), weights),
                 vtstq_u8(vqtbl1q_u8(bytes, vld1q_u8(spread[1])), weights),
                 vtstq_u8(vqtbl1q_u8(bytes, vld1q_u8(spread[2])), weights),
                 vtstq_u8(vqtbl1q_u8(bytes, vld1q_u8(spread[3])), weights)}};
#else
        const uint8x8_t bytes = vcreate_u8(mask);
        return {{vtstq_u8(vcombine_u8(vdup_lane_u8(bytes, 0), vdup_lane_u8(bytes, 1)), weights),
                 vtstq_u8(vcombine_u8(vdup_lane_u8(bytes, 2), vdup_lane_u8(bytes, 3)), weights),
                 vtstq_u8(vcombine_u8(vdup_lane_u8(bytes, 4), vdup_lane_u8(bytes, 5)), weights),
                 vtstq_u8(vcombine_u8(vdup_lane_u8(bytes, 6), vdup_lane_u8(bytes, 7)), weights)}};
#endif
    }

    // The value of its group so far at each of 16 bytes: the digit, plus ten
    // times the one before and a hundred times the one before that where
    // the masks say those are in its group; earlier holds the 16 bytes
    // before these. NEON multiplies bytes (modulo 256, as wanted), so no
    // lookup table is needed.
    static uint8x16_t runningValue(uint8x16_t digit, uint8x16_t earlier, uint8x16_t tens,
                                   uint8x16_t hundreds) {
        const uint8x16_t back1 = vextq_u8(earlier, digit, 15);
        const uint8x16_t back2 = vextq_u8(earlier, digit, 14);
        const uint8x16_t withTens = vmlaq_u8(digit, vandq_u8(back1, tens), vdupq_n_u8(10));
        return vmlaq_u8(withTens, vandq_u8(back2, hundreds), vdupq_n_u8(100));
    }

    // The bytes of the 8-byte half (0 low, 1 high) of bytes that order picks.
    template <int half> static uint8x8_t pick(uint8x16_t bytes, uint8x8_t order) {
#if defined(__aarch64__)
        return vqtbl1_u8(bytes, half == 0 ? order : vadd_u8(order, vdup_n_u8(8)));
#else
        return vtbl1_u8(half == 0 ? vget_low_u8(bytes) : vget_high_u8(bytes), order);
#endif
    }

    // Packs the bytes of one 16-byte vector that the low 16 bits of mask
    // select; starts holds where the bytes of its two halves go, in its low
    // two bytes.
    static void packQuarter(uint8x16_t bytes, std::uint64_t mask, std::uint64_t starts, std::uint8_t* out) {
        vst1_u8(out + (starts & 0xFFu), pick<0>(bytes, vld1_u8(packTable.rows[mask & 0xFFu])));
        vst1_u8(out + ((starts >> 8) & 0xFFu), pick<1>(bytes, vld1_u8(packTable.rows[(mask >> 8) & 0xFFu])));
    }

    // Stores the bytes of the 64 that mask selects, in order, at out
    // (writing up to 64 bytes there); returns how many. Where each 8-byte
    // half's bytes go is the sum of the counts of the halves before it: a
    // multiply gives all eight sums at once, no chain of adds between stores.
    static std::size_t pack(const uint8x16x4_t& bytes, std::uint64_t mask, std::uint8_t* out) {
        const std::uint64_t counts = vget_lane_u64(vreinterpret_u64_u8(vcnt_u8(vcreate_u8(mask))), 0);
        const std::uint64_t ends = counts * 0x0101010101010101u; // byte j: counts of halves 0 to j
        const std::uint64_t starts = ends << 8;
        packQuarter(bytes.val[0], mask, starts, out);
        packQuarter(bytes.val[1], mask >> 16, starts >> 16, out);
        packQuarter(bytes.val[2], mask >> 32, starts >> 32, out);
        packQuarter(bytes.val[3], mask >> 48, starts >> 48, out);
        return static_cast<std::size_t>(ends >> 56);
    }

    // The last two bytes kept by the windows before, less '0', the later one
    // in the high byte.
    std::uint16_t lastTwo;
    unsigned pending;
    // The packed stream, with room for the last 8-byte store of the packing.
    std::uint8_t packed[64 + 8] = {};
};

} // namespace

// flatten: the frame, the window and the shared helpers inlined into this
// one function, which alone runs with NEON; a helper left out of line keeps
// the baseline options of the header that defines it.
__attribute__((flatten)) std::size_t scanNeon(ScanCarry& carry, const char* in, std::size_t n,
                                              std::uint8_t* out) {
    return scanBlocks<NeonWindow>(carry, in, n, out);
}

#if defined(PIXSTREAM_NEON_PRAGMA)
#pragma GCC pop_options
#endif

#endif
