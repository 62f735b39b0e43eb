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

PIXSTREAM_TARGET_BEGIN("avx2,bmi,bmi2,lzcnt,popcnt")

#include "ReduceSse.h"
#include "ShuffleKernel.h"

// Internal linkage: nothing compiled for this instruction set is shared.
namespace avx2 {
namespace {

// A window as two 32-byte AVX2 registers. AVX2 shuffles bytes within each
// 16-byte half of a register only, so each half packs its own 8-byte pieces.
struct Lanes {
    using Chunk = __m256i;
    static constexpr bool readsMaskBytes = true;
    static constexpr std::size_t width = 32;

    static Chunk loadRaw(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
    static Chunk lessZero(Chunk c) { return _mm256_sub_epi8(c, _mm256_set1_epi8('0')); }
    // byte - '0' <= 9, unsigned: exactly the ten digits
    static Chunk isDigit(Chunk c) { return _mm256_cmpeq_epi8(_mm256_min_epu8(c, _mm256_set1_epi8(9)), c); }
    static Chunk isKept(Chunk c) {
        return _mm256_or_si256(isDigit(c),
                               _mm256_or_si256(_mm256_cmpeq_epi8(c, _mm256_set1_epi8(',' - '0')),
                                               _mm256_cmpeq_epi8(c, _mm256_set1_epi8(']' - '0'))));
    }

    static std::uint64_t bits(const Chunk (&m)[2]) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(m[0])) |
               std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(m[1]))} << 32;
    }

    static void spread(std::uint64_t mask, Chunk (&out)[2]) {
        out[0] = bytesOf(static_cast<std::uint32_t>(mask));
        out[1] = bytesOf(static_cast<std::uint32_t>(mask >> 32));
    }

    static Chunk both(Chunk a, Chunk b) { return _mm256_and_si256(a, b); }

    // (10 * d) and (100 * d) modulo 256 for the digits d = 0 to 9, looked up.
    static Chunk addTimes10(Chunk r, Chunk d) {
        const __m256i times10 = _mm256_setr_epi8(0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0, //
                                                 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0);
        return _mm256_add_epi8(r, _mm256_shuffle_epi8(times10, d));
    }
    static Chunk addTimes100(Chunk r, Chunk d) {
        const __m256i times100 =
            _mm256_setr_epi8(0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0, //
                             0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0);
        return _mm256_add_epi8(r, _mm256_shuffle_epi8(times100, d));
    }

    // The order read with the shuffle, 16 bytes of which only the first 8
    // matter, from the row of the half that piece is in.
    template <std::size_t piece> static void store8(std::uint8_t* out, Chunk c, unsigned mask) {
        const __m128i half = piece < 2 ? _mm256_castsi256_si128(c) : _mm256_extracti128_si256(c, 1);
        const __m128i order =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(packTable.rows[piece % 2][mask]));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(half, order));
    }
    template <std::size_t piece> static unsigned countBefore(std::uint64_t mask) {
        return static_cast<unsigned>(_mm_popcnt_u64(_bzhi_u64(mask, 8 * piece)));
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return reduceSse(values, groups, out);
    }

private:
    // The 32 bits of mask as 32 bytes, 0xFF where the bit is set.
    static Chunk bytesOf(std::uint32_t mask) {
        const __m256i repeated =
            _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(mask)),
                                _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, //
                                                 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
        const __m256i bit = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201u));
        return _mm256_cmpeq_epi8(_mm256_and_si256(repeated, bit), bit);
    }
};

} // namespace
} // namespace avx2

__attribute__((flatten)) std::size_t scanAvx2(BlockScanState& carry, const char* in, std::size_t n,
                                              std::uint8_t* out) {
    return blockscan::scanBlocks<blockscan::ShuffleKernel<avx2::Lanes>>(carry, in, n, out);
}

PIXSTREAM_TARGET_END

#endif
