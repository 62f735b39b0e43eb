#ifndef PIXSTREAM_SCANBLOCKS_H
#define PIXSTREAM_SCANBLOCKS_H

#include "ScanCarry.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// The block scanners' shared frame: the input in blocks of 64-byte windows,
// every window's values into a queue, every 24 queued values averaged into
// an output pixel at the end of each block, and the state carried between
// calls. Each instruction set supplies the Window class, compiled for it:
//
//   explicit Window(const ScanCarry&)  picks up the carried scanning state
//   void save(ScanCarry&) const        puts it back
//   std::size_t scan(const char* window, std::uint8_t* values, std::size_t count)
//       reads 64 bytes exactly as the bytewise scanner would, writes their
//       finished values at values + count, followed by the running value of
//       a group left open (and may write up to 64 bytes there), and returns
//       the new count
//   static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out)
//       averages groups * 24 values into groups * 3 output bytes
//
// The last window of a call is padded with zero bytes, which the scanner
// ignores, so the output leaves with every call however short.

// Little-endian 64-bit load, whatever the machine's byte order.
inline std::uint64_t loadLittle(const void* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

// The last two bytes a window keeps (kept is not 0), less '0', the later one
// in the high byte; the earlier one from `before` when the window keeps one.
// Read from the window, not from a packed copy of it, whose stores may not
// have reached the cache yet.
inline std::uint16_t lastTwoKept(const char* window, std::uint64_t kept, std::uint16_t before) {
    const int last = 63 - __builtin_clzll(kept);
    const std::uint64_t others = kept ^ (std::uint64_t{1} << last);
    const auto at = [window](int i) { return static_cast<unsigned>(window[i] - '0') & 0xFFu; };
    const unsigned secondLast = at(63 - __builtin_clzll(others | 1u));
    return static_cast<std::uint16_t>((others != 0 ? secondLast : before >> 8u) | at(last) << 8u);
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

template <class Window>
std::size_t scanBlocks(ScanCarry& carry, const char* in, std::size_t n, std::uint8_t* out) {
    // A block of input yields at most one value per two bytes, one more for
    // the group open before it; reduced at its end, the queue never holds
    // more than 24 values from earlier blocks.
    constexpr std::size_t blockSize = 4096;
    alignas(64) std::uint8_t values[24 + blockSize / 2 + 64];
    std::memcpy(values, carry.values, sizeof carry.values);
    std::size_t count = carry.count;
    Window window(carry);
    std::uint8_t* const start = out;
    const char* const end = in + n;
    for (const char* p = in; p != end;) {
        const char* const blockEnd = static_cast<std::size_t>(end - p) > blockSize ? p + blockSize : end;
        for (; blockEnd - p >= 64; p += 64) {
            count = window.scan(p, values, count);
        }
        if (p != blockEnd) {
            alignas(64) char padded[64] = {};
            std::memcpy(padded, p, static_cast<std::size_t>(blockEnd - p));
            count = window.scan(padded, values, count);
            p = blockEnd;
        }
        const std::size_t groups = count / 24;
        out = Window::reduce(values, groups, out);
        // The values left over, and the running value of an open group.
        std::memmove(values, values + 24 * groups, count % 24 + 1);
        count %= 24;
    }
    window.save(carry);
    std::memcpy(carry.values, values, sizeof carry.values);
    carry.count = static_cast<std::uint8_t>(count);
    return static_cast<std::size_t>(out - start);
}

#endif
