#include "BlockScanners.h"

#if defined(__x86_64__)

// Standard and system headers before the target region, the algorithm's
// templates inside it (TargetRegion.h).
#include "BlockScanState.h"
#include "Kernel.h"
#include "PackTable.h"
#include "TargetRegion.h"
#include "ValueMasks.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <immintrin.h>

PIXSTREAM_TARGET_BEGIN("ssse3,popcnt")

#include "ReduceSse.h"
#include "ShuffleKernel.h"

// Internal linkage: nothing compiled for this instruction set is shared.
namespace ssse3 {
namespace {

// A window as four 16-byte SSE registers, for x86-64 CPUs without AVX2:
// the same shuffles as the AVX2 kernel on half the width.
struct Lanes {
    using Chunk = __m128i;
    static constexpr bool readsMaskBytes = false;
    static constexpr std::size_t width = 16;

    static Chunk loadRaw(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
    static Chunk lessZero(Chunk c) { return _mm_sub_epi8(c, _mm_set1_epi8('0')); }
    // byte - '0' <= 9, unsigned: exactly the ten digits
    static Chunk isDigit(Chunk c) { return _mm_cmpeq_epi8(_mm_min_epu8(c, _mm_set1_epi8(9)), c); }
    static Chunk isKept(Chunk c) {
        return _mm_or_si128(isDigit(c), _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8(',' - '0')),
                                                     _mm_cmpeq_epi8(c, _mm_set1_epi8(']' - '0'))));
    }

    static std::uint64_t bits(const Chunk (&m)[4]) {
        std::uint64_t mask = 0;
#pragma GCC unroll 8
        for (unsigned i = 0; i < 4; ++i) {
            mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(m[i]))} << (16 * i);
        }
        return mask;
    }

    // Each byte repeats the mask byte it stands for, then tests its own bit.
    static void spread(std::uint64_t mask, Chunk (&out)[4]) {
        const __m128i bit = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201u));
        const __m128i order = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1);
#pragma GCC unroll 8
        for (unsigned i = 0; i < 4; ++i) {
            const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>((mask >> (16 * i)) & 0xFFFFu));
            out[i] = _mm_cmpeq_epi8(_mm_and_si128(_mm_shuffle_epi8(bytes, order), bit), bit);
        }
    }

    static Chunk both(Chunk a, Chunk b) { return _mm_and_si128(a, b); }

    // (10 * d) and (100 * d) modulo 256 for the digits d = 0 to 9, looked up.
    static Chunk addTimes10(Chunk r, Chunk d) {
        const __m128i times10 = _mm_setr_epi8(0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0);
        return _mm_add_epi8(r, _mm_shuffle_epi8(times10, d));
    }
    static Chunk addTimes100(Chunk r, Chunk d) {
        const __m128i times100 =
            _mm_setr_epi8(0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0);
        return _mm_add_epi8(r, _mm_shuffle_epi8(times100, d));
    }

    template <std::size_t piece> static void store8(std::uint8_t* out, Chunk c, unsigned mask) {
        const __m128i order = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(packTable.rows[piece][mask]));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(c, order));
    }
    template <std::size_t piece> static unsigned countBefore(std::uint64_t mask) {
        return static_cast<unsigned>(_mm_popcnt_u64(mask & ((std::uint64_t{1} << (8 * piece)) - 1)));
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return reduceSse(values, groups, out);
    }
};

} // namespace
} // namespace ssse3

__attribute__((flatten)) std::size_t scanSsse3(BlockScanState& carry, const char* in, std::size_t n,
                                               std::uint8_t* out) {
    return blockscan::scanBlocks<blockscan::ShuffleKernel<ssse3::Lanes>>(carry, in, n, out);
}

PIXSTREAM_TARGET_END

#endif
