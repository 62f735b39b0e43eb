#include "ScanKernels.h"

#if defined(__x86_64__)

#include "ScanWindows.h"

#include <immintrin.h>

namespace {

struct Avx512 {
    // Each byte of v shifted up by n places across the whole register, zeros
    // shifted in: alignr works within 16-byte lanes, so the lane below is
    // brought up first. (The masked forms of the intrinsics, with every lane
    // selected, spare GCC 12 a false "may be used uninitialized".)
    template <int n> __attribute__((target("avx512f,avx512bw"))) static __m512i before(__m512i v) {
        const __m512i laneBelow = _mm512_maskz_alignr_epi64(0xFF, v, _mm512_setzero_si512(), 6);
        return _mm512_alignr_epi8(v, laneBelow, 16 - n);
    }

    __attribute__((target("popcnt"))) static std::size_t count(std::uint64_t mask) {
        return static_cast<std::size_t>(__builtin_popcountll(mask));
    }

    __attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"))) static WindowClasses
    classify(const char* window, std::uint8_t* queue, std::uint32_t carry, std::size_t waiting) {
        // (10 * d) and (100 * d) modulo 256 for the digits d = 0 to 9, per lane.
        const __m512i times10 = _mm512_maskz_broadcast_i32x4(
            0xFFFF, _mm_setr_epi8(0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0));
        const __m512i times100 = _mm512_maskz_broadcast_i32x4(
            0xFFFF, _mm_setr_epi8(0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0));
        const __m512i bytes = _mm512_loadu_si512(window);
        const __m512i offset = _mm512_sub_epi8(bytes, _mm512_set1_epi8('0'));
        const __mmask64 isDigit = _mm512_cmple_epu8_mask(offset, _mm512_set1_epi8(9));
        const __mmask64 isTerminator = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(',')) |
                                       _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(']'));
        const __m512i digit = _mm512_maskz_mov_epi8(isDigit, offset);
        // As in the AVX2 kernel: hundreds only where the byte before is a digit.
        const __m512i tens = _mm512_shuffle_epi8(times10, before<1>(digit));
        const __m512i hundreds = _mm512_maskz_shuffle_epi8(isDigit << 1, times100, before<2>(digit));
        const __m512i atEach = _mm512_add_epi8(digit, _mm512_add_epi8(tens, hundreds));
        // The values at the runs' last digits, packed together, after the
        // values still waiting.
        const __m512i found = _mm512_maskz_compress_epi8(isDigit & ~(isDigit >> 1), atEach);
        const __mmask64 after = ~std::uint64_t{0} << waiting;
        _mm512_store_si512(queue,
                           _mm512_mask_expand_epi8(_mm512_set1_epi32(static_cast<int>(carry)), after, found));
        return {isDigit, isTerminator};
    }
};

} // namespace

__attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"), flatten)) const char*
scanWindowsAvx512(const char* p, const char* end, ImageProcessor& imageProcessor, std::uint8_t*& out) {
    return scanWindows<Avx512>(p, end, imageProcessor, out);
}

#endif
