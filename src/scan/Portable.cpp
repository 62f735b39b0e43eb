#include "BlockScanners.h"
#include "ReduceGroups.h"
#include "ScanBlocks.h"

#include <type_traits>

namespace portable {
namespace {

// The kernel works on the words the core has: 32 bits on a 32-bit core,
// where 64-bit words would take two registers and two operations each and
// their constants, which ARM cannot give as immediates, more still.
using Word = std::conditional_t<(sizeof(void*) < 8), std::uint32_t, std::uint64_t>;
constexpr unsigned wordBytes = sizeof(Word);
constexpr unsigned windowWords = blockscan::windowSize / wordBytes;

// byte in every byte of a word
template <class W = Word> constexpr W repeat(unsigned byte) { return static_cast<W>(~W{0} / 0xFFu * byte); }

[[maybe_unused]] std::uint32_t loadLittle32(const void* p) {
    std::uint32_t word = 0;
    std::memcpy(&word, p, 4);
    return littleEndian(word);
}

Word loadWord(const void* p) {
    Word word = 0;
    std::memcpy(&word, p, wordBytes);
    return littleEndian(word);
}

// Bit counts without the library calls GCC makes for them where the CPU has
// no instruction: RV64GC without Zbb counts no zeros (libgcc's __ctzdi2 and
// __clzdi2 are a table and a loop), 32-bit ARM no trailing zeros of 64 bits,
// and only some CPUs count set bits. There the exponent of a double gives
// the place of a single bit, and a multiply adds up the bytes' counts.
#if defined(__riscv) && !defined(__riscv_zbb) && defined(__riscv_flen) && __riscv_flen >= 64
constexpr bool countsZeros = false;
#else
constexpr bool countsZeros = true;
#endif
#if defined(__POPCNT__) || defined(__aarch64__) || defined(__riscv_zbb)
constexpr bool countsBits = true;
#else
constexpr bool countsBits = false;
#endif

// Whether a word loads from any address in one instruction. Elsewhere (as
// RISC-V cores fault or trap on a misaligned load) GCC loads a misaligned
// word a byte at a time, so the kernel reads aligned words only.
#if defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) || defined(__ARM_FEATURE_UNALIGNED) ||  \
    defined(__powerpc64__) || defined(__s390x__)
constexpr bool loadsUnaligned = true;
#else
constexpr bool loadsUnaligned = false;
#endif

// The place of the only bit of x set, as a double holds it exactly.
[[maybe_unused]] int placeOfBit(std::uint64_t x) {
    const double d = static_cast<double>(x);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return static_cast<int>(bits >> 52) - 1023;
}

// x is not 0
template <class Mask> unsigned trailingZeros(Mask x) {
    if constexpr (!countsZeros) {
        return static_cast<unsigned>(placeOfBit(x & (0 - x)));
    } else if constexpr (sizeof x > 4) {
        return static_cast<unsigned>(__builtin_ctzll(x));
    } else {
        return static_cast<unsigned>(__builtin_ctz(x));
    }
}

struct PortableBits {
    static unsigned count(std::uint64_t x) {
        if constexpr (countsBits) {
            return static_cast<unsigned>(__builtin_popcountll(x));
        }
        x -= (x >> 1) & 0x5555555555555555u;
        x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
        x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
        if constexpr (sizeof(void*) < 8) {
            // No 64-bit multiply on a 32-bit core: the halves' byte counts
            // summed, then added up by a 32-bit one.
            const auto sum = static_cast<std::uint32_t>(x) + static_cast<std::uint32_t>(x >> 32);
            return (sum * 0x01010101u) >> 24;
        }
        return static_cast<unsigned>((x * 0x0101010101010101u) >> 56);
    }
};

// The 8 by 8 bit matrix whose row j is byte j of x, transposed: bit 8k + j
// of the result is bit 8j + k of x. Three exchanges of blocks, no multiply,
// which 32-bit cores without a 64-bit multiplier would pay for.
std::uint64_t transposed(std::uint64_t x) {
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAu;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCu;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0u;
    x ^= t ^ (t << 28);
    return x;
}

// The running value of a group ending at byte i, from the three bytes up to
// it, by how far back the group before ended (d): a group is at most the d
// bytes after that one's last digit, and the bytes among them that are no
// digit are terminators, read as 0. The third byte of the product is then 100, 10 and 1 times the bytes,
// without carries from below, as every byte is at most 9. Indexed by 64 + d.
struct GroupWeights {
    std::uint32_t by[64 + 3 + blockscan::windowSize];

    static constexpr GroupWeights make() {
        GroupWeights w{};
        w.by[64 + 1] = 0x000001u;
        w.by[64 + 2] = 0x000A01u;
        for (std::size_t d = 3; d < 3 + blockscan::windowSize; ++d) {
            w.by[64 + d] = 0x640A01u;
        }
        return w;
    }
};

constexpr GroupWeights groupWeights = GroupWeights::make();

// For each input byte, its byte in the dense stream, a digit's value or
// 0x80 for ',' and ']', and whether it has one: 1 for those, 0 for every
// byte the scanner ignores. Two tables side by side, so that one address
// reaches both and the loop needs no shift to part them.
struct DenseCodes {
    std::uint8_t dense[256];
    std::uint8_t kept[256];

    static constexpr DenseCodes make() {
        DenseCodes codes{};
        for (unsigned c = '0'; c <= '9'; ++c) {
            codes.dense[c] = static_cast<std::uint8_t>(c - '0');
            codes.kept[c] = 1;
        }
        codes.dense[static_cast<unsigned char>(',')] = 0x80;
        codes.dense[static_cast<unsigned char>(']')] = 0x80;
        codes.kept[static_cast<unsigned char>(',')] = 1;
        codes.kept[static_cast<unsigned char>(']')] = 1;
        return codes;
    }
};

constexpr DenseCodes denseCodes = DenseCodes::make();

// The block scanner's kernel in plain C++, for every CPU without one of its
// own. Its terminators are 0x80 in the dense stream, so that a digit is a
// byte whose high bit is clear and masking the high bits leaves the digits'
// values with every other byte 0: a value is then read from the three
// bytes up to its last digit, leaving out only the bytes of the group
// before it, and how far back that ended says how many.
struct Kernel {
    using Bits = PortableBits;

    // Each byte stored where the last kept one ended, as tr copies: three
    // loads, a store and an add a byte, and no branch that input could make
    // random.
    static std::size_t compress(const char* window, std::uint8_t* out) {
        std::uint8_t* end = out; // a pointer, not an index: one register for the store's address
#pragma GCC unroll 16
        for (std::size_t i = 0; i < blockscan::windowSize; ++i) {
            const auto c = static_cast<unsigned char>(window[i]);
            *end = denseCodes.dense[c];
            end += denseCodes.kept[c];
        }
        return static_cast<std::size_t>(end - out);
    }

    // Each word's high bits or-ed into its lane, which moves down a bit for
    // each word after: in the end bit p of a lane's byte j is that of byte
    // 8p + wordBytes * lane + j, the mask's 8 by 8 bits transposed.
    static std::uint64_t digits(const std::uint8_t* dense) {
        constexpr unsigned lanes = 8 / wordBytes;
        Word terminators[lanes] = {};
#pragma GCC unroll 16
        for (unsigned k = 0; k < windowWords; k += lanes) {
#pragma GCC unroll 2
            for (unsigned lane = 0; lane < lanes; ++lane) {
                terminators[lane] =
                    (terminators[lane] >> 1) | (loadWord(dense + wordBytes * (k + lane)) & repeat(0x80));
            }
        }
        if constexpr (wordBytes == 8) {
            return ~transposed(terminators[0]);
        } else {
            return ~transposed(terminators[0] | std::uint64_t{terminators[lanes - 1]} << 32);
        }
    }

    static void storeValues(const std::uint8_t* dense, std::uint64_t tens, std::uint64_t hundreds,
                            std::uint64_t take, std::uint8_t* out) {
        // 64 + i - (where the group before ended) is i + back. A group left
        // open by the window before began `pending` bytes before byte 0,
        // which bit 0 of tens and hundreds gives: 1 or 2 where byte 0 is its
        // second or third digit. Only take carries from one value to the
        // next, so that values wait for no more than clearing a bit.
        std::size_t back = 64 + 1 + static_cast<std::size_t>((tens & 1u) + (hundreds & 1u));
        if constexpr (sizeof(void*) < 8) {
            // In halves, whose trailing zeros a 32-bit core counts.
            out = takeValues(dense - 2, static_cast<std::uint32_t>(take), back, out);
            back += 32;
            takeValues(dense - 2 + 32, static_cast<std::uint32_t>(take >> 32), back, out);
        } else {
            takeValues(dense - 2, take, back, out);
        }
    }

    // Bytes i - 2 to i in the low three bytes, as a misaligned load gives
    // them, or from three loads of a byte, the terminators' high bits
    // cleared.
    static std::uint32_t groupAt(const std::uint8_t* group) {
        if constexpr (loadsUnaligned) {
            return loadLittle32(group) & 0x7F7F7Fu;
        } else {
            return (group[0] | static_cast<std::uint32_t>(group[1]) << 8 |
                    static_cast<std::uint32_t>(group[2]) << 16) &
                   0x7F7F7Fu;
        }
    }

    // The values that take marks, bit i read from group + i (bytes i - 2 to
    // i); back as above, for bits counted from group.
    template <class Mask>
    static std::uint8_t* takeValues(const std::uint8_t* group, Mask take, std::size_t& back,
                                    std::uint8_t* out) {
        if constexpr (sizeof take == 8) {
            // Two a turn, the loop's work shared: after the last value a
            // second is read at bit 63, and written where a store may spill
            // over (storeSlack).
            constexpr Mask top = Mask{1} << 63;
            while (take != 0) {
                const auto i = static_cast<std::size_t>(trailingZeros(take));
                take &= take - 1;
                const auto j = static_cast<std::size_t>(trailingZeros(take | top));
                out[0] = static_cast<std::uint8_t>((groupAt(group + i) * groupWeights.by[i + back]) >> 16);
                out[1] = static_cast<std::uint8_t>((groupAt(group + j) * groupWeights.by[j + 64 - i]) >> 16);
                back = 64 - j;
                take &= take - 1;
                out += 2;
            }
            return out;
        }
        for (; take != 0; take &= take - 1) {
            const auto i = static_cast<std::size_t>(trailingZeros(take));
            *out++ = static_cast<std::uint8_t>((groupAt(group + i) * groupWeights.by[i + back]) >> 16);
            back = 64 - i;
        }
        return out;
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return reduceGroups(values, groups, out);
    }
};

} // namespace
} // namespace portable

std::size_t scanPortable(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out) {
    return blockscan::scanBlocks<portable::Kernel>(carry, in, n, out);
}
