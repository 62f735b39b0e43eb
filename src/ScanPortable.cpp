#include "BlockScanner.h"
#include "ReduceGroups.h"
#include "ScanKernels.h"

namespace {

constexpr std::uint64_t ones = 0x0101010101010101u;
constexpr std::uint64_t highBits = 0x8080808080808080u;

void storeLittle(void* p, std::uint64_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    std::memcpy(p, &word, 8);
}

// The high bit of each byte of x, which has no other bit set, as an 8-bit
// mask: byte k's bit lands in bit 56 + k of the product, and no two partial
// products overlap.
std::uint64_t highBitsMask(std::uint64_t x) { return (x >> 7) * 0x0102040810204080u >> 56; }

// The high bit of each byte of y set where the byte is not 0 (other bits are
// left over). The high bits are cleared before the add, so it carries into
// no other byte; the add sets the high bit where any other bit was set.
std::uint64_t nonZeroBytes(std::uint64_t y) { return ((y & ~highBits) + ~highBits) | y; }

// The 8 bits of mask as 8 bytes, 0xFF where the bit is set.
std::uint64_t bytesOf(unsigned mask) {
    const std::uint64_t bit = (mask * ones) & 0x8040201008040201u;
    return ((nonZeroBytes(bit) & highBits) >> 7) * 0xFFu;
}

// The block scanner's kernel in plain C++, for every CPU without one of its
// own: eight bytes at a time in 64-bit words where it can (SWAR), a byte at
// a time where it must. Bytes are kept xor '0', which is the digit's value
// for a digit as the other kernels' less '0' is.
struct PortableKernel {
    static constexpr bool windowApart = false;
    static constexpr bool packsCheaply = false;

    // The window's bytes after the two before it, with room for the 8-byte
    // loads that read past its end.
    struct Bytes {
        std::uint8_t at[2 + blockscan::windowSize + 8];
    };

    static std::uint64_t word(const Bytes& b, unsigned i) { return loadLittle(b.at + 2 + 8 * i); }

    static Bytes load(const char* window) {
        Bytes b;
#pragma GCC unroll 8
        for (unsigned i = 0; i < 8; ++i) {
            std::uint64_t w = 0;
            std::memcpy(&w, window + 8 * i, 8);
            w ^= '0' * ones; // the same on either byte order
            std::memcpy(b.at + 2 + 8 * i, &w, 8);
        }
        std::memset(b.at, 0, 2);
        std::memset(b.at + 2 + blockscan::windowSize, 0, 8);
        return b;
    }

    // Digits are the bytes 0 to 9; ',' and ']' are 0x1C and 0x6D xor '0'.
    static std::uint64_t digits(const Bytes& b) {
        std::uint64_t mask = 0;
#pragma GCC unroll 8
        for (unsigned i = 0; i < 8; ++i) {
            const std::uint64_t y = word(b, i);
            const std::uint64_t notDigit = ((y & ~highBits) + (0x7Fu - 9u) * ones) | y;
            mask |= highBitsMask(~notDigit & highBits) << (8 * i);
        }
        return mask;
    }

    static std::uint64_t terminators(const Bytes& b) {
        std::uint64_t mask = 0;
#pragma GCC unroll 8
        for (unsigned i = 0; i < 8; ++i) {
            const std::uint64_t y = word(b, i);
            const std::uint64_t notTerminator =
                nonZeroBytes(y ^ ((',' ^ '0') * ones)) & nonZeroBytes(y ^ ((']' ^ '0') * ones));
            mask |= highBitsMask(~notTerminator & highBits) << (8 * i);
        }
        return mask;
    }

    static Bytes pullDown(const Bytes& b, std::uint64_t mask) {
        Bytes r = b;
#pragma GCC unroll 8
        for (unsigned i = 0; i < 8; ++i) {
            const std::uint64_t pulled = bytesOf(static_cast<unsigned>(mask >> (8 * i)) & 0xFFu);
            const std::uint64_t next = loadLittle(b.at + 3 + 8 * i);
            storeLittle(r.at + 2 + 8 * i, (word(b, i) & ~pulled) | (next & pulled));
        }
        return r;
    }

    // Every byte stored, the end moved on past the kept ones, so that there
    // is no branch for the predictor to miss.
    static void packTo(const Bytes& b, std::uint64_t mask, std::uint8_t* copy) {
        std::uint8_t* end = copy;
        for (unsigned i = 0; i < 8; ++i) {
            std::uint64_t w = word(b, i);
            auto bits = static_cast<unsigned>(mask >> (8 * i));
            for (int k = 0; k < 8; ++k, w >>= 8, bits >>= 1) {
                *end = static_cast<std::uint8_t>(w);
                end += bits & 1u;
            }
        }
    }

    static Bytes loadPacked(const std::uint8_t* copy) {
        Bytes b;
        std::memset(b.at, 0, 2);
        std::memcpy(b.at + 2, copy, blockscan::windowSize);
        std::memset(b.at + 2 + blockscan::windowSize, 0, 8);
        return b;
    }

    static void storeValues(Bytes& b, std::uint16_t before, std::uint64_t tens, std::uint64_t hundreds,
                            std::uint64_t take, std::uint8_t* out) {
        b.at[0] = static_cast<std::uint8_t>(before);
        b.at[1] = static_cast<std::uint8_t>(before >> 8);
        for (; take != 0; take &= take - 1) {
            const int i = __builtin_ctzll(take);
            // The digits of the group, bytes i - 2 to i, as many as it has
            // (1 to 3), then multiplied so that the third byte of the
            // product is 100, 10 and 1 times them.
            static constexpr std::uint32_t inGroup[3] = {0xFF0000u, 0xFFFF00u, 0xFFFFFFu};
            const std::uint32_t group = static_cast<std::uint32_t>(loadLittle(b.at + i)) &
                                        inGroup[(tens >> i & 1u) + (hundreds >> i & 1u)];
            *out++ = static_cast<std::uint8_t>((group * 0x640A01u) >> 16);
        }
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return reduceGroups(values, groups, out);
    }
};

} // namespace

std::size_t scanPortable(ScanCarry& carry, const char* in, std::size_t n, std::uint8_t* out) {
    return blockscan::scanBlocks<PortableKernel>(carry, in, n, out);
}
