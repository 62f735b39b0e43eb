#include "ScanKernels.h"

#if defined(__x86_64__)

#include "PackTable.h"
#include "ScanBlocks.h"
#include "ValueMasks.h"

#include <immintrin.h>

// NOLINTNEXTLINE(cppcoreguidelines-macro-usage): target() takes a string literal only
#define PIXSTREAM_AVX2 "avx2,bmi,bmi2,popcnt"

namespace {

// One 64-byte window in two 32-byte halves. Where its digits are adjacent
// (ValueMasks::inPlace) the window is read where it stands; otherwise its
// digits and terminators are packed first. AVX2 has no byte compress, so
// eight bytes at a time are packed with a shuffle from the table and stored
// one after another, and the packed stream is loaded back.
class Avx2Window {
public:
    explicit Avx2Window(const ScanCarry& carry) : lastTwo(carry.lastTwo), pending(carry.pending) {}

    void save(ScanCarry& carry) const {
        carry.lastTwo = lastTwo;
        carry.pending = static_cast<std::uint8_t>(pending);
    }

    __attribute__((target(PIXSTREAM_AVX2))) std::size_t scan(const char* window, std::uint8_t* values,
                                                             std::size_t count) {
        __m256i low = _mm256_sub_epi8(load(window), _mm256_set1_epi8('0'));
        __m256i high = _mm256_sub_epi8(load(window + 32), _mm256_set1_epi8('0'));
        // ',' and ']' less '0'.
        const __m256i comma = _mm256_set1_epi8(',' - '0');
        const __m256i bracket = _mm256_set1_epi8(']' - '0');
        std::uint64_t digits = bits(isDigit(low)) | bits(isDigit(high)) << 32;
        std::uint64_t kept =
            digits | bits(_mm256_or_si256(_mm256_cmpeq_epi8(low, comma), _mm256_cmpeq_epi8(low, bracket))) |
            bits(_mm256_or_si256(_mm256_cmpeq_epi8(high, comma), _mm256_cmpeq_epi8(high, bracket))) << 32;
        if (kept == 0) {
            return count;
        }
        const std::uint16_t before = lastTwo;
        lastTwo = lastTwoKept(window, kept, before);
        if (!ValueMasks::inPlace(digits, kept, pending)) {
            const std::size_t size = pack(low, high, kept, packed);
            low = load(packed);
            high = load(packed + 32);
            digits = bits(isDigit(low)) | bits(isDigit(high)) << 32;
            kept = ~std::uint64_t{0} >> (64 - size);
        }
        const ValueMasks m = ValueMasks::of(digits, kept, pending);
        // The bytes before each byte, shifted in from the register before
        // it, the last window's last two bytes first.
        const __m256i lowerHalf =
            _mm256_permute2x128_si256(_mm256_set1_epi16(static_cast<short>(before)), low, 0x21);
        const __m256i upperHalf = _mm256_permute2x128_si256(low, high, 0x21);
        const __m256i runningLow =
            running(low, _mm256_alignr_epi8(low, lowerHalf, 15), _mm256_alignr_epi8(low, lowerHalf, 14),
                    static_cast<std::uint32_t>(m.tens), static_cast<std::uint32_t>(m.hundreds));
        const __m256i runningHigh =
            running(high, _mm256_alignr_epi8(high, upperHalf, 15), _mm256_alignr_epi8(high, upperHalf, 14),
                    static_cast<std::uint32_t>(m.tens >> 32), static_cast<std::uint32_t>(m.hundreds >> 32));
        // After the open group's running value, kept at values[count] by the
        // last window, if this window's first byte ends it.
        count += m.closesPending;
        pack(runningLow, runningHigh, m.take, values + count);
        pending = m.pending;
        return count + m.finished();
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return reduceGroups(values, groups, out);
    }

private:
    __attribute__((target(PIXSTREAM_AVX2))) static __m256i load(const void* p) {
        return _mm256_loadu_si256(static_cast<const __m256i*>(p));
    }

    __attribute__((target(PIXSTREAM_AVX2))) static std::uint64_t bits(__m256i bytes) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
    }

    // byte - '0' <= 9, unsigned: exactly the ten digits
    __attribute__((target(PIXSTREAM_AVX2))) static __m256i isDigit(__m256i offset) {
        return _mm256_cmpeq_epi8(_mm256_min_epu8(offset, _mm256_set1_epi8(9)), offset);
    }

    // The 32 bits of mask as 32 bytes, 0xFF where the bit is set.
    __attribute__((target(PIXSTREAM_AVX2))) static __m256i bytesOf(std::uint32_t mask) {
        const __m256i spread =
            _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(mask)),
                                _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, //
                                                 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
        const __m256i bit = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201u));
        return _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
    }

    // The value of its group so far at each of 32 packed bytes.
    __attribute__((target(PIXSTREAM_AVX2))) static __m256i
    running(__m256i digit, __m256i back1, __m256i back2, std::uint32_t tens, std::uint32_t hundreds) {
        // (10 * d) and (100 * d) modulo 256 for the digits d = 0 to 9.
        const __m256i times10 = _mm256_setr_epi8(0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0, //
                                                 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 0, 0, 0);
        const __m256i times100 =
            _mm256_setr_epi8(0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0, //
                             0, 100, -56, 44, -112, -12, 88, -68, 32, -124, 0, 0, 0, 0, 0, 0);
        return _mm256_add_epi8(
            digit,
            _mm256_add_epi8(_mm256_and_si256(_mm256_shuffle_epi8(times10, back1), bytesOf(tens)),
                            _mm256_and_si256(_mm256_shuffle_epi8(times100, back2), bytesOf(hundreds))));
    }

    // Stores the bytes of the 16 in quarter that the low 16 bits of mask
    // select, in order, at out (writing up to 16 bytes there); returns the
    // end of what it stored.
    __attribute__((target(PIXSTREAM_AVX2))) static std::uint8_t* pack(__m128i quarter, std::uint64_t mask,
                                                                      std::uint8_t* out) {
        const auto first = static_cast<unsigned>(mask & 0xFFu);
        const auto second = static_cast<unsigned>((mask >> 8) & 0xFFu);
        const __m128i firstOrder = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(packTable.rows[first]));
        const __m128i secondOrder = _mm_add_epi8(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(packTable.rows[second])), _mm_set1_epi8(8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(quarter, firstOrder));
        out += _mm_popcnt_u32(first);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(quarter, secondOrder));
        return out + _mm_popcnt_u32(second);
    }

    // Stores the bytes of low and high that mask selects, in order, at out
    // (writing up to 64 bytes there); returns how many.
    __attribute__((target(PIXSTREAM_AVX2))) static std::size_t pack(__m256i low, __m256i high,
                                                                    std::uint64_t mask, std::uint8_t* out) {
        std::uint8_t* p = pack(_mm256_castsi256_si128(low), mask, out);
        p = pack(_mm256_extracti128_si256(low, 1), mask >> 16, p);
        p = pack(_mm256_castsi256_si128(high), mask >> 32, p);
        p = pack(_mm256_extracti128_si256(high, 1), mask >> 48, p);
        return static_cast<std::size_t>(p - out);
    }

    // The last two bytes kept by the windows before, less '0', the later one
    // in the high byte.
    std::uint16_t lastTwo;
    unsigned pending;
    // The packed stream, with room for the last 8-byte store of the packing.
    std::uint8_t packed[64 + 8] = {};
};

} // namespace

__attribute__((target(PIXSTREAM_AVX2), flatten)) std::size_t scanAvx2(ScanCarry& carry, const char* in,
                                                                      std::size_t n, std::uint8_t* out) {
    return scanBlocks<Avx2Window>(carry, in, n, out);
}

#endif
