#include "BlockScanners.h"

#if defined(__x86_64__)

// Standard and system headers before the target region, the algorithm's
// templates inside it (TargetRegion.h).
#include "BlockScanState.h"
#include "Kernel.h"
#include "ReduceGroups.h"
#include "TargetRegion.h"
#include "ValueMasks.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <immintrin.h>

PIXSTREAM_TARGET_BEGIN("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,lzcnt,popcnt")

#include "ScanBlocks.h"

// Internal linkage: nothing compiled for this instruction set is shared.
namespace avx512 {
namespace {

// For two output pixels (48 values), the six values of each output channel
// in an 8-byte lane of their own: channels 0, 1, 2 take colours 1, 0, 2.
// The last two bytes of each lane, and the last two lanes, are zeroed.
constexpr std::uint8_t reduceOrder[64] = {1,  5,  9,  13, 17, 21, 0, 0, 0,  4,  8,  12, 16, 20, 0, 0,
                                          2,  6,  10, 14, 18, 22, 0, 0, 25, 29, 33, 37, 41, 45, 0, 0,
                                          24, 28, 32, 36, 40, 44, 0, 0, 26, 30, 34, 38, 42, 46, 0, 0};

// A window in one register, packed by byte compress.
struct Kernel {
    using Bits = BuiltinBits;

    static std::size_t compress(const char* window, std::uint8_t* out) {
        const __m512i b = _mm512_sub_epi8(_mm512_loadu_si512(window), _mm512_set1_epi8('0'));
        // byte - '0' <= 9, unsigned: exactly the ten digits
        const std::uint64_t kept = _mm512_cmple_epu8_mask(b, _mm512_set1_epi8(9)) |
                                   _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8(',' - '0')) |
                                   _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8(']' - '0'));
        // A compress into a register, then a store: compressing to memory
        // is microcoded on some CPUs. (The zero-masked forms of the
        // intrinsics spare GCC 12 a false "may be used uninitialized".)
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(kept, b));
        return static_cast<std::size_t>(_mm_popcnt_u64(kept));
    }

    static std::uint64_t digits(const std::uint8_t* dense) {
        return _mm512_cmple_epu8_mask(_mm512_loadu_si512(dense), _mm512_set1_epi8(9));
    }

    static void storeValues(const std::uint8_t* dense, std::uint64_t tens, std::uint64_t hundreds,
                            std::uint64_t take, std::uint8_t* out) {
        // (10 * d) and (100 * d) modulo 256 for the digits d = 0 to 9, per lane.
        const __m512i times10 = _mm512_maskz_broadcast_i32x4(
            0xFFFF, _mm_setr_epi8(0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0));
        const __m512i times100 = _mm512_maskz_broadcast_i32x4(
            0xFFFF, _mm_setr_epi8(0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0));
        const __m512i running = _mm512_add_epi8(
            _mm512_loadu_si512(dense),
            _mm512_add_epi8(_mm512_maskz_shuffle_epi8(tens, times10, _mm512_loadu_si512(dense - 1)),
                            _mm512_maskz_shuffle_epi8(hundreds, times100, _mm512_loadu_si512(dense - 2))));
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
} // namespace avx512

__attribute__((flatten)) std::size_t scanAvx512(BlockScanState& carry, const char* in, std::size_t n,
                                                std::uint8_t* out) {
    return blockscan::scanBlocks<avx512::Kernel>(carry, in, n, out);
}

PIXSTREAM_TARGET_END

#endif
