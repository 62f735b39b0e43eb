#ifndef PIXSTREAM_SHUFFLEKERNEL_H
#define PIXSTREAM_SHUFFLEKERNEL_H

// The block scanner's kernel for instruction sets that shuffle bytes within
// 16 bytes but have no byte compress (AVX2, SSSE3, NEON), once for all of
// them: a window is n chunks of Lanes::width bytes, and Lanes supplies the
// operations on one chunk:
//
//   Chunk                        width bytes in a register
//   loadRaw(p)                   width bytes from p
//   lessZero(c)                  each byte less '0'
//   isDigit(c), isTerminator(c)  0xFF where a byte (less '0') is a digit,
//                                ',' or ']', else 0
//   bits(chunks)                 bit i set where byte i of the window is 0xFF
//   spread(mask, chunks)         the inverse: byte i 0xFF where bit i is set
//   next(c, after)               byte i replaced by byte i + 1, after's first last
//   prior<k>(c, before)          byte i replaced by byte i - k, before's last first
//   select(mask, a, b)           a where mask is 0xFF, b where it is 0
//   both(a, b)                   bitwise and
//   splat16(v)                   v in every 16-bit lane (the low byte first)
//   addTimes10(r, d), addTimes100(r, d)
//                                r plus 10 d, 100 d modulo 256 (d 0 to 9)
//   store8<piece>(out, c, mask)  the bytes of 8-byte piece of c that the 8-bit
//                                mask selects, in order, at out (8 bytes written)
//   countBefore<piece>(mask)     the bits set in mask below bit 8 * piece
//   reduce(values, groups, out)  as the block scanner's reduce
//   packsInTurn                  as the block scanner's
//   readsMaskBytes               true where an 8-bit piece of a mask costs
//                                less loaded from memory than shifted out
//
// Templates only, compiled in each kernel's target region (TargetRegion.h).

#include "StreamScanner.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace blockscan {

template <class Lanes> struct ShuffleKernel {
    using Chunk = typename Lanes::Chunk;
    static constexpr std::size_t chunks = windowSize / Lanes::width;
    static constexpr std::size_t piecesPerChunk = Lanes::width / 8;
    static_assert(chunks * Lanes::width == windowSize, "a window is whole chunks");
    // Eight bytes stored for each 8-byte piece: the last piece starts at
    // most 56 bytes in, so packing writes within a window's size.
    static_assert(storeSlack >= windowSize, "room for the 8-byte stores");
    static constexpr bool packsCheaply = false;
    static constexpr bool packsInPlace = false;
    static constexpr bool packsInTurn = Lanes::packsInTurn;
    using Bits = BuiltinBits;

    struct Bytes {
        Chunk chunk[chunks];
    };

    static Bytes loadPacked(const void* p) {
        Bytes b{};
#pragma GCC unroll 8
        for (std::size_t i = 0; i < chunks; ++i) {
            b.chunk[i] = Lanes::loadRaw(static_cast<const std::uint8_t*>(p) + i * Lanes::width);
        }
        return b;
    }

    static Bytes load(const char* window) {
        Bytes b = loadPacked(window);
        // A loop, not std::transform: an instance of a standard template
        // compiled here would be shared with code outside the target region.
#pragma GCC unroll 8
        for (Chunk& c : b.chunk) {
            // cppcheck-suppress useStlAlgorithm
            c = Lanes::lessZero(c);
        }
        return b;
    }

    static std::uint64_t digits(const Bytes& b) { return bitsWhere<Lanes::isDigit>(b); }
    static std::uint64_t terminators(const Bytes& b) { return bitsWhere<Lanes::isTerminator>(b); }

    static Bytes pullDown(const Bytes& b, std::uint64_t mask) {
        Chunk pulled[chunks];
        Lanes::spread(mask, pulled);
        Bytes r{};
#pragma GCC unroll 8
        for (std::size_t i = 0; i < chunks; ++i) {
            const Chunk after = b.chunk[i + 1 < chunks ? i + 1 : i];
            r.chunk[i] = Lanes::select(pulled[i], Lanes::next(b.chunk[i], after), b.chunk[i]);
        }
        return r;
    }

    static void packTo(const Bytes& b, std::uint64_t mask, std::uint8_t* copy) { compress(b, mask, copy); }

    // The value of its group so far at each byte: the digit, plus 10 and 100
    // times the one and two bytes before where tens and hundreds say so.
    static void storeValues(const Bytes& b, std::uint16_t before, std::uint64_t tens, std::uint64_t hundreds,
                            std::uint64_t take, std::uint8_t* out) {
        Chunk tensAt[chunks];
        Chunk hundredsAt[chunks];
        Lanes::spread(tens, tensAt);
        Lanes::spread(hundreds, hundredsAt);
        Chunk earlier = Lanes::splat16(before);
        Bytes running{};
#pragma GCC unroll 8
        for (std::size_t i = 0; i < chunks; ++i) {
            const Chunk c = b.chunk[i];
            const Chunk withTens =
                Lanes::addTimes10(c, Lanes::both(Lanes::template prior<1>(c, earlier), tensAt[i]));
            running.chunk[i] = Lanes::addTimes100(
                withTens, Lanes::both(Lanes::template prior<2>(c, earlier), hundredsAt[i]));
            earlier = c;
        }
        compress(running, take, out);
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return Lanes::reduce(values, groups, out);
    }

private:
    // Bit i set where byte i passes the test.
    template <Chunk (*test)(Chunk)> static std::uint64_t bitsWhere(const Bytes& b) {
        Chunk m[chunks];
#pragma GCC unroll 8
        for (std::size_t i = 0; i < chunks; ++i) {
            m[i] = test(b.chunk[i]);
        }
        return Lanes::bits(m);
    }

    // Stores the bytes that mask selects, in order, at out.
    static void compress(const Bytes& b, std::uint64_t mask, std::uint8_t* out) {
        alignas(8) std::uint8_t pieces[8] = {};
        if constexpr (Lanes::readsMaskBytes) {
            static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "byte k of the mask is its piece k");
            std::memcpy(pieces, &mask, sizeof pieces);
            // Kept in memory: GCC would take each byte from the register,
            // which costs more on x86-64 (three instructions to one load).
            __asm__("" : "+m"(pieces));
        }
        compressFrom<0>(b, mask, pieces, out);
    }

    // The bytes that mask selects from piece and the pieces after it; each
    // piece's place is the count of the bytes kept before it, so no store
    // waits for the one before.
    template <std::size_t piece>
    static void compressFrom(const Bytes& b, std::uint64_t mask, const std::uint8_t (&pieces)[8],
                             std::uint8_t* out) {
        if constexpr (piece < windowSize / 8) {
            const unsigned selected =
                Lanes::readsMaskBytes ? pieces[piece] : static_cast<unsigned>((mask >> (8 * piece)) & 0xFFu);
            Lanes::template store8<piece % piecesPerChunk>(out + Lanes::template countBefore<piece>(mask),
                                                           b.chunk[piece / piecesPerChunk], selected);
            compressFrom<piece + 1>(b, mask, pieces, out);
        }
    }
};

} // namespace blockscan

#endif
