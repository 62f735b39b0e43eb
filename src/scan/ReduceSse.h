#ifndef PIXSTREAM_REDUCESSE_H
#define PIXSTREAM_REDUCESSE_H

// The averaging of every 24 values in SSE registers, for the x86 kernels
// that have byte shuffles (SSSE3 and later). Included inside each kernel's
// target region, so each gets its own copy (internal linkage), compiled
// for its instruction set.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// One group at a time: shuffles give each channel's six values an 8-byte
// lane of their own (channels 0, 1, 2 from colours 1, 0, 2), a sum of
// absolute differences against zero adds each lane, a high multiply divides
// by 6. Reads the group's 24 values and nothing past them.
inline std::uint8_t* reduceSse(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
    // From the first 16 values (pixels 0 to 3), then from the last 8
    // (pixels 4 and 5); -1 gives zero.
    const __m128i channels01 = _mm_setr_epi8(1, 5, 9, 13, -1, -1, -1, -1, 0, 4, 8, 12, -1, -1, -1, -1);
    const __m128i channels01Last = _mm_setr_epi8(-1, -1, -1, -1, 1, 5, -1, -1, -1, -1, -1, -1, 0, 4, -1, -1);
    const __m128i channel2 = _mm_setr_epi8(2, 6, 10, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i channel2Last = _mm_setr_epi8(-1, -1, -1, -1, 2, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    // The low bytes of the three quotients, in 16-bit lanes 0 (channel 0),
    // 4 (channel 1) and 2 (channel 2), in output order.
    const __m128i order = _mm_setr_epi8(0, 8, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i zero = _mm_setzero_si128();
    for (; groups != 0; --groups, values += 24, out += 3) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values));
        const __m128i last = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + 16));
        const __m128i sums01 = _mm_sad_epu8(
            _mm_or_si128(_mm_shuffle_epi8(first, channels01), _mm_shuffle_epi8(last, channels01Last)), zero);
        const __m128i sums2 = _mm_sad_epu8(
            _mm_or_si128(_mm_shuffle_epi8(first, channel2), _mm_shuffle_epi8(last, channel2Last)), zero);
        const __m128i sums = _mm_or_si128(sums01, _mm_slli_si128(sums2, 4));
        const __m128i means = _mm_mulhi_epu16(sums, _mm_set1_epi16(static_cast<short>(10923)));
        const auto three = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi8(means, order)));
        std::memcpy(out, &three, 2);
        out[2] = static_cast<std::uint8_t>(three >> 16);
    }
    return out;
}

} // namespace

#endif
