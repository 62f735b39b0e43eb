#include "BlockScanners.h"

#if defined(__x86_64__)

// Every shared header first, compiled for the baseline; the templates of
// the algorithm inside the target region (TargetRegion.h).
#include "BlockScanState.h"
#include "ReduceGroups.h"
#include "TargetRegion.h"
#include "ValueMasks.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <immintrin.h>

PIXSTREAM_TARGET_BEGIN("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,lzcnt,popcnt")

#include "StreamScanner.h"

namespace {

// 0, 1, ..., 63.
constexpr std::uint8_t iota64[64] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31,
                                     32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47,
                                     48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};

// For two output pixels (48 values), the six values of each output channel
// in an 8-byte lane of their own: channels 0, 1, 2 take colours 1, 0, 2.
// The last two bytes of each lane, and the last two lanes, are zeroed.
constexpr std::uint8_t reduceOrder[64] = {1,  5,  9,  13, 17, 21, 0, 0, 0,  4,  8,  12, 16, 20, 0, 0,
                                          2,  6,  10, 14, 18, 22, 0, 0, 25, 29, 33, 37, 41, 45, 0, 0,
                                          24, 28, 32, 36, 40, 44, 0, 0, 26, 30, 34, 38, 42, 46, 0, 0};

// A window in one register. Byte compress packs a window in one
// instruction, cheaper than telling whether it may be read in place, so
// every window is packed; byte permutes shift the packed stream by one and
// two places for the tens and hundreds. (The zero-masked forms of the
// intrinsics spare GCC 12 a false "may be used uninitialized" on undefined
// vectors.)
struct Avx512Kernel {
    using Bytes = __m512i;
    static constexpr bool packsCheaply = true;
    using Bits = BuiltinBits;

    static Bytes load(const char* window) {
        return _mm512_sub_epi8(_mm512_loadu_si512(window), _mm512_set1_epi8('0'));
    }
    // byte - '0' <= 9, unsigned: exactly the ten digits
    static std::uint64_t digits(Bytes b) { return _mm512_cmple_epu8_mask(b, _mm512_set1_epi8(9)); }
    static std::uint64_t terminators(Bytes b) {
        return _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8(',' - '0')) |
               _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8(']' - '0'));
    }

    static Bytes pack(Bytes b, std::uint64_t mask) { return _mm512_maskz_compress_epi8(mask, b); }

    // From the masks, so that their arithmetic need not wait for the
    // compress.
    static std::uint64_t packedDigits(std::uint64_t digits, std::uint64_t kept) {
        return _pext_u64(digits, kept);
    }

    // The last two of the size packed bytes, one permute away; only where
    // there is one does the earlier come from before, so the next window
    // seldom waits for this one.
    static std::uint16_t lastTwo(Bytes b, unsigned size, std::uint16_t before) {
        const __m512i at = _mm512_set1_epi16(static_cast<short>((size - 1) << 8 | ((size - 2) & 63u)));
        const auto two = static_cast<unsigned>(_mm_cvtsi128_si32(_mm512_maskz_extracti32x4_epi32(
            0xF, _mm512_maskz_permutexvar_epi8(~std::uint64_t{0}, at, b), 0)));
        return static_cast<std::uint16_t>(size > 1 ? two : (two & 0xFF00u) | before >> 8);
    }

    static void storeValues(Bytes b, std::uint16_t before, std::uint64_t tens, std::uint64_t hundreds,
                            std::uint64_t take, std::uint8_t* out) {
        // Each byte's predecessors, the two bytes before the window first:
        // the permutes index the 128 bytes of `earlier`, then b.
        const __m512i earlier = _mm512_set1_epi16(static_cast<short>(before));
        const __m512i iota = _mm512_loadu_si512(iota64);
        const __m512i back1 =
            _mm512_permutex2var_epi8(earlier, _mm512_add_epi8(iota, _mm512_set1_epi8(63)), b);
        const __m512i back2 =
            _mm512_permutex2var_epi8(earlier, _mm512_add_epi8(iota, _mm512_set1_epi8(62)), b);
        // (10 * d) and (100 * d) modulo 256 for the digits d = 0 to 9, per lane.
        const __m512i times10 = _mm512_maskz_broadcast_i32x4(
            0xFFFF, _mm_setr_epi8(0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0));
        const __m512i times100 = _mm512_maskz_broadcast_i32x4(
            0xFFFF, _mm_setr_epi8(0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0));
        const __m512i running =
            _mm512_add_epi8(b, _mm512_add_epi8(_mm512_maskz_shuffle_epi8(tens, times10, back1),
                                               _mm512_maskz_shuffle_epi8(hundreds, times100, back2)));
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(take, running));
    }

    // Two output pixels at a time: a byte permute gives each channel's six
    // values of each pixel an 8-byte lane, a sum of absolute differences
    // against zero adds each lane, a high multiply divides by 6. Reads 64
    // bytes for 48 values.
    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        const __m512i order = _mm512_loadu_si512(reduceOrder);
        for (; groups >= 2; groups -= 2, values += 48, out += 6) {
            const __m512i lanes =
                _mm512_maskz_permutexvar_epi8(0x3F3F3F3F3F3Fu, order, _mm512_loadu_si512(values));
            const __m512i means =
                _mm512_mulhi_epu16(_mm512_sad_epu8(lanes, _mm512_setzero_si512()), _mm512_set1_epi64(10923));
            const auto six =
                static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm512_maskz_cvtepi64_epi8(0xFF, means)));
            std::memcpy(out, &six, 6);
        }
        return reduceGroups(values, groups, out);
    }
};

static_assert(blockscan::storeSlack >= 64 && blockscan::reduceSlack >= 64 - 48,
              "whole-register stores and loads");

} // namespace

__attribute__((flatten)) std::size_t scanAvx512(BlockScanState& carry, const char* in, std::size_t n,
                                                std::uint8_t* out) {
    return blockscan::scanBlocks<Avx512Kernel>(carry, in, n, out);
}

PIXSTREAM_TARGET_END

#endif
