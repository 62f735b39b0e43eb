#include "BlockScanners.h"

#if defined(PIXSTREAM_NEON_KERNEL)

// Standard and system headers before the target region, the algorithm's
// templates inside it (TargetRegion.h).
#include "BlockScanState.h"
#include "Kernel.h"
#include "PackTable.h"
#include "ReduceGroups.h"
#include "TargetRegion.h"
#include "ValueMasks.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <arm_neon.h>

// Debian's 32-bit ARM (armhf) baseline has VFP but not NEON, so there NEON
// is switched on for this file's own code only. arm64 always has NEON.
#if defined(__arm__) && !defined(__ARM_NEON)
#define PIXSTREAM_NEON_REGION
PIXSTREAM_TARGET_BEGIN("fpu=neon")
#endif

#include "ShuffleKernel.h"

// Internal linkage: nothing compiled for this instruction set is shared.
namespace neon {
namespace {

// Bit j of an 8-bit mask stands for byte j of its 8-byte half.
constexpr std::uint8_t bitWeights[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};

// A window as four 16-byte NEON registers. NEON has no movemask: bytes are
// weighted by their bit and summed pairwise. It multiplies bytes (modulo
// 256, as wanted), so no lookup table gives the tens and hundreds. The few
// operations 32-bit ARM lacks (16-byte table lookups, pairwise adds of
// 16-byte vectors) have an equivalent on 8-byte halves there.
struct Lanes {
    using Chunk = uint8x16_t;
    // A piece of a mask is one instruction (ubfx) from the register.
    static constexpr bool readsMaskBytes = false;
    static constexpr std::size_t width = 16;

    static Chunk loadRaw(const void* p) { return vld1q_u8(static_cast<const std::uint8_t*>(p)); }
    static Chunk lessZero(Chunk c) { return vsubq_u8(c, vdupq_n_u8('0')); }
    // byte - '0' <= 9, unsigned: exactly the ten digits
    static Chunk isDigit(Chunk c) { return vcleq_u8(c, vdupq_n_u8(9)); }
    static Chunk isKept(Chunk c) {
        return vorrq_u8(isDigit(c), vorrq_u8(vceqq_u8(c, vdupq_n_u8(static_cast<std::uint8_t>(',' - '0'))),
                                             vceqq_u8(c, vdupq_n_u8(']' - '0'))));
    }

    // Every byte keeps its own bit, and three rounds of pairwise sums leave
    // each 8-byte half's bits in one byte.
    static std::uint64_t bits(const Chunk (&m)[4]) {
        const uint8x16_t weights = vld1q_u8(bitWeights);
        const uint8x16_t quarters = pairwiseAdd(vandq_u8(m[0], weights), vandq_u8(m[1], weights));
        const uint8x16_t halves = pairwiseAdd(vandq_u8(m[2], weights), vandq_u8(m[3], weights));
        const uint8x16_t all = pairwiseAdd(pairwiseAdd(quarters, halves), vdupq_n_u8(0));
        return vgetq_lane_u64(vreinterpretq_u64_u8(all), 0);
    }

    // Each 8-byte half repeats its mask byte, then tests its own bit.
    static void spread(std::uint64_t mask, Chunk (&out)[4]) {
        const uint8x16_t weights = vld1q_u8(bitWeights);
#if defined(__aarch64__)
        static constexpr std::uint8_t order[4][16] = {{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1},
                                                      {2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3},
                                                      {4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5},
                                                      {6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7}};
        const uint8x16_t bytes = vreinterpretq_u8_u64(vdupq_n_u64(mask));
#pragma GCC unroll 8
        for (unsigned i = 0; i < 4; ++i) {
            out[i] = vtstq_u8(vqtbl1q_u8(bytes, vld1q_u8(order[i])), weights);
        }
#else
        const uint8x8_t bytes = vcreate_u8(mask);
        out[0] = vtstq_u8(vcombine_u8(vdup_lane_u8(bytes, 0), vdup_lane_u8(bytes, 1)), weights);
        out[1] = vtstq_u8(vcombine_u8(vdup_lane_u8(bytes, 2), vdup_lane_u8(bytes, 3)), weights);
        out[2] = vtstq_u8(vcombine_u8(vdup_lane_u8(bytes, 4), vdup_lane_u8(bytes, 5)), weights);
        out[3] = vtstq_u8(vcombine_u8(vdup_lane_u8(bytes, 6), vdup_lane_u8(bytes, 7)), weights);
#endif
    }

    static Chunk both(Chunk a, Chunk b) { return vandq_u8(a, b); }
    static Chunk addTimes10(Chunk r, Chunk d) { return vmlaq_u8(r, d, vdupq_n_u8(10)); }
    static Chunk addTimes100(Chunk r, Chunk d) { return vmlaq_u8(r, d, vdupq_n_u8(100)); }

    template <std::size_t piece> static void store8(std::uint8_t* out, Chunk c, unsigned mask) {
#if defined(__aarch64__)
        vst1_u8(out, vqtbl1_u8(c, vld1_u8(packTable.rows[piece][mask])));
#else
        vst1_u8(out,
                vtbl1_u8(piece == 0 ? vget_low_u8(c) : vget_high_u8(c), vld1_u8(packTable.rows[0][mask])));
#endif
    }

    // Byte j of the product is the count of bytes 0 to j of the mask, all
    // eight at once, so no store waits for a chain of adds.
    template <std::size_t piece> static unsigned countBefore(std::uint64_t mask) {
        const std::uint64_t counts = vget_lane_u64(vreinterpret_u64_u8(vcnt_u8(vcreate_u8(mask))), 0);
        return static_cast<unsigned>((((counts * 0x0101010101010101u) << 8) >> (8 * piece)) & 0xFFu);
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return reduceGroups(values, groups, out);
    }

private:
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
};

} // namespace
} // namespace neon

// flatten: the algorithm (ScanBlocks.h) and the kernel inlined into this
// one function, which alone runs with NEON.
__attribute__((flatten)) std::size_t scanNeon(BlockScanState& carry, const char* in, std::size_t n,
                                              std::uint8_t* out) {
    return blockscan::scanBlocks<blockscan::ShuffleKernel<neon::Lanes>>(carry, in, n, out);
}

#if defined(PIXSTREAM_NEON_REGION)
PIXSTREAM_TARGET_END
#endif

#endif
