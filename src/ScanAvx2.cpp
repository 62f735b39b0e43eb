#include "ScanKernels.h"

#if defined(__x86_64__)

#include "ScanWindows.h"

#include <immintrin.h>

#include <cstring>

namespace {

struct Avx2 {
    // The 32 bytes of current shifted up by n places, the gap filled from
    // the top of previous: for each byte, the byte n places before it.
    template <int n>
    __attribute__((target("avx2"))) static __m256i before(__m256i current, __m256i previous) {
        return _mm256_alignr_epi8(current, _mm256_permute2x128_si256(previous, current, 0x21), 16 - n);
    }

    __attribute__((target("avx2,popcnt"))) static std::size_t count(std::uint64_t mask) {
        return static_cast<std::size_t>(__builtin_popcountll(mask));
    }

    __attribute__((target("avx2,popcnt"))) static WindowClasses
    classify(const char* window, std::uint8_t* queue, std::uint32_t carry, std::size_t waiting) {
        // (10 * d) and (100 * d) modulo 256 for the digits d = 0 to 9.
        const __m256i times10 = _mm256_setr_epi8(0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0, //
                                                 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0);
        const __m256i times100 =
            _mm256_setr_epi8(0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0, //
                             0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0);
        __m256i previousDigit = _mm256_setzero_si256();
        __m256i previousIsDigit = _mm256_setzero_si256();
        alignas(32) std::uint8_t atEach[64];
        std::uint64_t digits = 0;
        std::uint64_t terminators = 0;
        for (int half = 0; half < 2; ++half) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 32 * half));
            const __m256i offset = _mm256_sub_epi8(bytes, _mm256_set1_epi8('0'));
            // byte - '0' <= 9, unsigned: exactly the ten digits
            const __m256i isDigit = _mm256_cmpeq_epi8(_mm256_min_epu8(offset, _mm256_set1_epi8(9)), offset);
            const __m256i isTerminator = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(',')),
                                                         _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(']')));
            const __m256i digit = _mm256_and_si256(offset, isDigit); // 0 to 9, and 0 for other bytes
            // The value of the run so far at each byte. A non-digit adds 0,
            // so the tens need no mask; the hundreds do, lest a digit two
            // places back reach over a separator (",1,2").
            const __m256i tens = _mm256_shuffle_epi8(times10, before<1>(digit, previousDigit));
            const __m256i hundreds =
                _mm256_and_si256(_mm256_shuffle_epi8(times100, before<2>(digit, previousDigit)),
                                 before<1>(isDigit, previousIsDigit));
            _mm256_store_si256(reinterpret_cast<__m256i*>(atEach + 32 * half),
                               _mm256_add_epi8(digit, _mm256_add_epi8(tens, hundreds)));
            digits |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(isDigit))} << (32 * half);
            terminators |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(isTerminator))}
                           << (32 * half);
            previousDigit = digit;
            previousIsDigit = isDigit;
        }
        // No byte compress before AVX-512: gather the values at the runs'
        // last digits one by one, after the values still waiting.
        std::memcpy(queue, &carry, 4);
        std::uint8_t* values = queue + waiting;
        for (std::uint64_t last = digits & ~(digits >> 1); last != 0; last &= last - 1) {
            *values++ = atEach[__builtin_ctzll(last)];
        }
        return {digits, terminators};
    }
};

} // namespace

__attribute__((target("avx2,popcnt"), flatten)) const char*
scanWindowsAvx2(const char* p, const char* end, ImageProcessor& imageProcessor, std::uint8_t*& out) {
    return scanWindows<Avx2>(p, end, imageProcessor, out);
}

#endif
