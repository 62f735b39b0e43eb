#ifndef PIXSTREAM_REDUCEGROUPS_H
#define PIXSTREAM_REDUCEGROUPS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// Internal linkage, as in ValueMasks.h.
namespace {

// A 32- or 64-bit word's bytes swapped on a big-endian machine, so that
// the word as memcpy reads or writes it is in little-endian order there too.
template <class W> W littleEndian(W word) {
    static_assert(sizeof word == 4 || sizeof word == 8, "a 32- or 64-bit word");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    if constexpr (sizeof word == 8) {
        return __builtin_bswap64(word);
    } else {
        return __builtin_bswap32(word);
    }
#else
    return word;
#endif
}

// Little-endian 64-bit load, whatever the machine's byte order.
inline std::uint64_t loadLittle(const void* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    return littleEndian(word);
}

// Division by 6, rounded down, as a multiply and a shift: exact for every
// sum of six 8-bit values, as the compiler checks below.
constexpr unsigned divideBySix(unsigned sum) { return (sum * 10923u) >> 16; }
constexpr bool dividesBySix() {
    for (unsigned sum = 0; sum <= 6 * 255; ++sum) {
        if (divideBySix(sum) != sum / 6) {
            return false;
        }
    }
    return true;
}
static_assert(dividesBySix(), "the multiply and shift must divide every sum by 6");

// Averages every 24 values, six pixels of four colours, into output
// channels 0, 1, 2 from colours 1, 0, 2, in 16-bit lanes of 64-bit words.
inline std::uint8_t* reduceGroups(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
    constexpr std::uint64_t lowBytes = 0x00FF00FF00FF00FFu;
    for (; groups != 0; --groups, values += 24, out += 3) {
        // Each word holds two pixels: colours 0 and 2 in the even bytes,
        // 1 and 3 in the odd ones. Three words sum to at most 765 a lane.
        const std::uint64_t a = loadLittle(values);
        const std::uint64_t b = loadLittle(values + 8);
        const std::uint64_t c = loadLittle(values + 16);
        std::uint64_t even = (a & lowBytes) + (b & lowBytes) + (c & lowBytes);
        std::uint64_t odd = ((a >> 8) & lowBytes) + ((b >> 8) & lowBytes) + ((c >> 8) & lowBytes);
        even += even >> 32; // colour 0 in lane 0, colour 2 in lane 1
        odd += odd >> 32;   // colour 1 in lane 0
        out[0] = static_cast<std::uint8_t>(divideBySix(static_cast<unsigned>(odd & 0xFFFFu)));
        out[1] = static_cast<std::uint8_t>(divideBySix(static_cast<unsigned>(even & 0xFFFFu)));
        out[2] = static_cast<std::uint8_t>(divideBySix(static_cast<unsigned>((even >> 16) & 0xFFFFu)));
    }
    return out;
}

} // namespace

#endif
