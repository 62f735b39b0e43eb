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
//   isDigit(c), isKept(c)        0xFF where a byte (less '0') is a digit, or a
//                                digit, ',' or ']', else 0
//   bits(chunks)                 bit i set where byte i of the window is 0xFF
//   spread(mask, chunks)         the inverse: byte i 0xFF where bit i is set
//   both(a, b)                   bitwise and
//   addTimes10(r, d), addTimes100(r, d)
//                                r plus 10 d, 100 d modulo 256 (d 0 to 9, and
//                                0 for a byte that is not a digit)
//   store8<piece>(out, c, mask)  the bytes of 8-byte piece of c that the 8-bit
//                                mask selects, in order, at out (8 bytes written)
//   countBefore<piece>(mask)     the bits set in mask below bit 8 * piece
//   reduce(values, groups, out)  as the block scanner's reduce
//   readsMaskBytes               true where an 8-bit piece of a mask costs
//                                less loaded from memory than shifted out
//
// Templates only, compiled in each kernel's target region (TargetRegion.h).

#include "ScanBlocks.h"

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
    // most 56 bytes in, so a compress writes within a window's size.
    static_assert(storeSlack >= windowSize, "room for the 8-byte stores");
    using Bits = BuiltinBits;

    static std::size_t compress(const char* window, std::uint8_t* out) {
        Chunk bytes[chunks];
        Chunk kept[chunks];
#pragma GCC unroll 8
        for (std::size_t i = 0; i < chunks; ++i) {
            bytes[i] = Lanes::lessZero(Lanes::loadRaw(window + i * Lanes::width));
            kept[i] = Lanes::isKept(bytes[i]);
        }
        const std::uint64_t mask = Lanes::bits(kept);
        store(bytes, mask, out);
        return Bits::count(mask);
    }

    static std::uint64_t digits(const std::uint8_t* dense) {
        Chunk m[chunks];
#pragma GCC unroll 8
        for (std::size_t i = 0; i < chunks; ++i) {
            m[i] = Lanes::isDigit(Lanes::loadRaw(dense + i * Lanes::width));
        }
        return Lanes::bits(m);
    }

    // The bytes before each byte are loaded from one and two places back,
    // which the buffer has, rather than shifted in across registers.
    static void storeValues(const std::uint8_t* dense, std::uint64_t tens, std::uint64_t hundreds,
                            std::uint64_t take, std::uint8_t* out) {
        Chunk tensAt[chunks];
        Chunk hundredsAt[chunks];
        Lanes::spread(tens, tensAt);
        Lanes::spread(hundreds, hundredsAt);
        Chunk running[chunks];
#pragma GCC unroll 8
        for (std::size_t i = 0; i < chunks; ++i) {
            const std::uint8_t* const at = dense + i * Lanes::width;
            const Chunk withTens =
                Lanes::addTimes10(Lanes::loadRaw(at), Lanes::both(Lanes::loadRaw(at - 1), tensAt[i]));
            running[i] = Lanes::addTimes100(withTens, Lanes::both(Lanes::loadRaw(at - 2), hundredsAt[i]));
        }
        store(running, take, out);
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return Lanes::reduce(values, groups, out);
    }

private:
    // Stores the bytes that mask selects, in order, at out.
    static void store(const Chunk (&c)[chunks], std::uint64_t mask, std::uint8_t* out) {
        alignas(8) std::uint8_t pieces[8] = {};
        if constexpr (Lanes::readsMaskBytes) {
            static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "byte k of the mask is its piece k");
            std::memcpy(pieces, &mask, sizeof pieces);
            // Kept in memory: GCC would take each byte from the register,
            // three instructions where one load does.
            __asm__("" : "+m"(pieces));
        }
        storeFrom<0>(c, mask, pieces, out);
    }

    // The bytes that mask selects from piece and the pieces after it; each
    // piece's place is the count of the bytes kept before it, so no store
    // waits for the one before.
    template <std::size_t piece>
    static void storeFrom(const Chunk (&c)[chunks], std::uint64_t mask, const std::uint8_t (&pieces)[8],
                          std::uint8_t* out) {
        if constexpr (piece < windowSize / 8) {
            const unsigned selected =
                Lanes::readsMaskBytes ? pieces[piece] : static_cast<unsigned>((mask >> (8 * piece)) & 0xFFu);
            Lanes::template store8<piece % piecesPerChunk>(out + Lanes::template countBefore<piece>(mask),
                                                           c[piece / piecesPerChunk], selected);
            storeFrom<piece + 1>(c, mask, pieces, out);
        }
    }
};

} // namespace blockscan

#endif
