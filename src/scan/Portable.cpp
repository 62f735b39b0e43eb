#include "BlockScanners.h"
#include "ReduceGroups.h"
#include "StreamScanner.h"

#include <type_traits>

namespace {

constexpr std::uint64_t ones = 0x0101010101010101u;

// The kernel works on the words the core has: 32 bits on a 32-bit core,
// where 64-bit words would take two registers and two operations each and
// their constants, which ARM cannot give as immediates, more still.
using Word = std::conditional_t<(sizeof(void*) < 8), std::uint32_t, std::uint64_t>;
constexpr unsigned wordBytes = sizeof(Word);
constexpr unsigned windowWords = blockscan::windowSize / wordBytes;

// byte in every byte of a word
template <class W = Word> constexpr W repeat(unsigned byte) { return static_cast<W>(~W{0} / 0xFFu * byte); }

void storeLittle(void* p, std::uint64_t word) {
    word = littleEndian(word);
    std::memcpy(p, &word, 8);
}

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

void storeWord(void* p, Word word) {
    word = littleEndian(word);
    std::memcpy(p, &word, wordBytes);
}

// The high bit of each byte of w as a bit each, byte j's as bit j: the
// multiply moves byte j's to bit 7 * sizeof w + j, and no two partial
// products land on the same bit.
template <class W> unsigned highBitsOf(W w) {
    constexpr W gather = [] {
        W m = 0;
        for (unsigned j = 0; j < sizeof(W); ++j) {
            m |= W{1} << (7 * (sizeof(W) - j));
        }
        return m;
    }();
    return static_cast<unsigned>((((w >> 7) & repeat<W>(1)) * gather) >> (7 * sizeof(W)));
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
        return static_cast<unsigned>((x * ones) >> 56);
    }

    // x is not 0. x & ~(x >> 1) keeps the highest bit of x and no two bits
    // side by side, so that a double rounds it to no higher power of two.
    static unsigned leadingZeros(std::uint64_t x) {
        if constexpr (!countsZeros) {
            return static_cast<unsigned>(63 - placeOfBit(x & ~(x >> 1)));
        } else {
            return static_cast<unsigned>(__builtin_clzll(x));
        }
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

// Packing 8 bytes to the front of a 64-bit word in three steps: each kept
// byte moves down by the count of dropped bytes below it, first by the
// count's bit 0 (one byte), then bit 1, then bit 2. No byte lands on another
// that is still to move, so each step is a select of two masks per 8-bit
// mask of kept bytes, looked up instead of worked out.
struct PackSteps {
    // For each mask each step's bytes that stay and that move, side by
    // side, so that one address reaches all six (cores without an indexed
    // load add up each address).
    struct Steps {
        std::uint64_t stayMove[3][2];
    };
    Steps of[256];
    std::uint8_t count[256];

    static constexpr PackSteps make() {
        PackSteps table{};
        for (unsigned mask = 0; mask < 256; ++mask) {
            unsigned at[8] = {};
            unsigned dropped[8] = {};
            unsigned drops = 0;
            for (unsigned byte = 0; byte < 8; ++byte) {
                at[byte] = byte;
                dropped[byte] = drops;
                drops += ((mask >> byte) & 1u) ^ 1u;
            }
            table.count[mask] = static_cast<std::uint8_t>(8 - drops);
            for (unsigned step = 0; step < 3; ++step) {
                for (unsigned byte = 0; byte < 8; ++byte) {
                    if (((mask >> byte) & 1u) == 0) {
                        continue;
                    }
                    const unsigned moves = (dropped[byte] >> step) & 1u;
                    table.of[mask].stayMove[step][moves] |= std::uint64_t{0xFF} << (8 * at[byte]);
                    at[byte] -= moves << step;
                }
            }
        }
        return table;
    }
};

constexpr PackSteps packSteps = PackSteps::make();

// Each mask of a word's bytes as the word, 0xFF where its bit is set: one
// load, where spreading the bits of a word costs a transpose and four
// operations.
template <class W> struct ByteMasks {
    W of[1u << sizeof(W)];

    static constexpr ByteMasks make() {
        ByteMasks masks{};
        for (unsigned mask = 0; mask < (1u << sizeof(W)); ++mask) {
            for (unsigned bit = 0; bit < sizeof(W); ++bit) {
                if (((mask >> bit) & 1u) != 0) {
                    masks.of[mask] |= static_cast<W>(W{0xFF} << (8 * bit));
                }
            }
        }
        return masks;
    }
};

template <class W> constexpr ByteMasks<W> byteMasks = ByteMasks<W>::make();

// The bits of mask for word k of a window, as bytes.
template <class W = Word> W bytesOf(std::uint64_t mask, unsigned k) {
    return byteMasks<W>.of[(mask >> (sizeof(W) * k)) & ((1u << sizeof(W)) - 1)];
}

// The running value of a group ending at byte i, from the three bytes up to
// it, by how far back the group before ended (d): a group is at most the d
// bytes after that one's last digit, and bytes in it that are no digit are
// 0. The third byte of the product is then 100, 10 and 1 times the bytes,
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

// The block scanner's kernel in plain C++, for every CPU without one of its
// own, a word of bytes at a time (SWAR). The window is kept as
// the digits' values with every other byte 0, which lets a value be read
// from the three bytes up to its last digit: only the bytes of the group
// before it need leaving out, and how far back that ended says how many.
struct PortableKernel {
    static constexpr bool packsCheaply = false;
    static constexpr bool packsInPlace = true;
    using Bits = PortableBits;

    // The window at at + 8, 8-byte aligned, the two bytes before it at 6
    // and 7, and room for the 4-byte reads of the last values.
    struct Bytes {
        alignas(8) std::uint8_t at[8 + blockscan::windowSize + 8];
        std::uint64_t digits;
        std::uint64_t kept;
    };

    static Word word(const Bytes& b, unsigned k) { return loadWord(b.at + 8 + wordBytes * k); }

    // Digits are the bytes 0 to 9 xor '0'; ',' and ']' are 0x1C and 0x6D.
    // The high bit of each byte marks what it is not, and the eight words'
    // high bits are gathered into one and transposed into a mask.
    static Bytes load(const char* window) {
        alignas(8) char copy[blockscan::windowSize];
        const char* source = window;
        if constexpr (!loadsUnaligned) {
            // Seldom: the read buffer and the padded last window are aligned.
            if (reinterpret_cast<std::uintptr_t>(window) % 8 != 0) {
                std::memcpy(copy, window, sizeof copy);
                source = copy;
            }
            source = static_cast<const char*>(__builtin_assume_aligned(source, 8));
        }
        // Not zeroed: every byte read is written first, and zeroing them
        // would double the stores.
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
        Bytes b;
        // Each word's high bits or-ed into its lane, which moves down a bit
        // for each word after: in the end bit p of a lane's byte j is that
        // of window byte 8p + wordBytes * lane + j, the mask's 8 by 8 bits
        // transposed.
        constexpr unsigned lanes = 8 / wordBytes;
        Word notDigits[lanes] = {};
        Word notKept[lanes] = {};
        // Two words a turn: x86-64 has too few registers for more at once
        // and spilled them.
#pragma GCC unroll 2 / lanes
        for (unsigned k = 0; k < windowWords; k += lanes) {
#pragma GCC unroll 2
            for (unsigned lane = 0; lane < lanes; ++lane) {
                const Word y = loadWord(source + wordBytes * (k + lane)) ^ repeat('0');
                const Word low = y & repeat(0x7F);
                const Word notDigit = ((low + repeat(0x7F - 9)) | y) & repeat(0x80);
                // (notDigit >> 7) + 0x7F: 0x80 where no digit, 0x7F where a
                // digit, whose value it keeps, all else 0
                storeWord(b.at + 8 + wordBytes * (k + lane), low & ((notDigit >> 7) + repeat(0x7F)));
                const Word notTerminator =
                    ((low ^ repeat(',' ^ '0')) + repeat(0x7F)) & ((low ^ repeat(']' ^ '0')) + repeat(0x7F));
                notDigits[lane] = (notDigits[lane] >> 1) | notDigit;
                notKept[lane] = (notKept[lane] >> 1) | (notDigit & (notTerminator | y));
            }
        }
        storeLittle(b.at + 8 + blockscan::windowSize, 0);
        b.digits = ~transposed(gathered(notDigits));
        b.kept = ~transposed(gathered(notKept));
        return b;
    }

    // A window's 8 gathered bytes from its lanes.
    static std::uint64_t gathered(const Word (&lanes)[8 / wordBytes]) {
        if constexpr (wordBytes == 8) {
            return lanes[0];
        } else {
            return lanes[0] | std::uint64_t{lanes[1]} << 32;
        }
    }

    static std::uint64_t digits(const Bytes& b) { return b.digits; }
    static std::uint64_t terminators(const Bytes& b) { return b.kept & ~b.digits; }

    // Byte i + 1 also to the end of each run moved, which leaves no stale
    // digit where the run ended: that is a byte no digit (0) would be. In
    // place, each word read before it is written, so that the window is
    // not copied.
    static Bytes& pullDown(Bytes& b, std::uint64_t mask) {
        const std::uint64_t pulled = mask | (mask << 1);
        Word next = word(b, 0);
#pragma GCC unroll 16
        for (unsigned k = 0; k < windowWords; ++k) {
            const Word w = next;
            next = word(b, k + 1);
            const Word select = bytesOf(pulled, k);
            const Word after = loadsUnaligned ? loadWord(b.at + 9 + wordBytes * k)
                                              : (w >> 8) | (next << (8 * wordBytes - 8));
            storeWord(b.at + 8 + wordBytes * k, w ^ ((w ^ after) & select));
        }
        return b;
    }

    static void pack(Bytes& b, std::uint64_t mask) {
        if constexpr (wordBytes == 8) {
            packWords(b, mask);
        } else {
            packBytes(b, mask);
        }
    }

    // Each word packed by its 8 kept bits and stored where the last ended,
    // in place: no store reaches past the word just read. The digits are
    // marked in their high bit on the way, so that the packed digits come
    // out with them.
    static void packWords(Bytes& b, std::uint64_t mask) {
        unsigned size = 0;
        std::uint64_t marked = 0;
#pragma GCC unroll 8
        for (unsigned k = 0; k < 8; ++k) {
            const auto m = static_cast<unsigned>(mask >> (8 * k)) & 0xFFu;
            std::uint64_t w = loadLittle(b.at + 8 + 8 * k) |
                              (bytesOf<std::uint64_t>(b.digits, k) & repeat<std::uint64_t>(0x80));
            const PackSteps::Steps& row = packSteps.of[m];
#pragma GCC unroll 3
            for (unsigned step = 0; step < 3; ++step) {
                w = (w & row.stayMove[step][0]) | ((w & row.stayMove[step][1]) >> (8u << step));
            }
            marked |= std::uint64_t{highBitsOf(w)} << size;
            storeLittle(b.at + 8 + size, w & ~repeat<std::uint64_t>(0x80));
            size += packSteps.count[m];
        }
        storeLittle(b.at + 8 + size, 0);
        b.digits = marked;
    }

    // A 32-bit core has the registers for neither steps on 8-byte words nor
    // the 64-bit shifts that place their marks: there each byte is stored
    // where the last kept one ended, as tr copies, the digits marked in
    // their high bit before and gathered after as in load.
    static void packBytes(Bytes& b, std::uint64_t mask) {
#pragma GCC unroll 16
        for (unsigned k = 0; k < windowWords; ++k) {
            storeWord(b.at + 8 + wordBytes * k, word(b, k) | (bytesOf(b.digits, k) & repeat(0x80)));
        }
        std::uint8_t* end = b.at + 8;
#pragma GCC unroll 64
        for (unsigned i = 0; i < blockscan::windowSize; ++i) {
            *end = b.at[8 + i];
            end += (mask >> i) & 1u;
        }
        const auto size = static_cast<unsigned>(end - (b.at + 8));
        storeLittle(end, 0);
        constexpr unsigned lanes = 8 / wordBytes;
        Word marks[lanes] = {};
#pragma GCC unroll 1
        for (unsigned k = 0; k < windowWords; k += lanes) {
#pragma GCC unroll 2
            for (unsigned lane = 0; lane < lanes; ++lane) {
                const Word w = word(b, k + lane);
                marks[lane] = (marks[lane] >> 1) | (w & repeat(0x80));
                storeWord(b.at + 8 + wordBytes * (k + lane), w & ~repeat(0x80));
            }
        }
        b.digits = transposed(gathered(marks)) & ValueMasks::firstBits(size);
    }

    static std::uint64_t packedDigits(const Bytes& packed) { return packed.digits; }

    static void storeValues(Bytes& b, std::uint16_t before, std::uint64_t tens, std::uint64_t hundreds,
                            std::uint64_t take, std::uint8_t* out) {
        // The two bytes before the window count only as digits of a group
        // left open (byte 0 then has the digit before it in its group, and
        // both if byte 0 has hundreds); otherwise they are 0.
        b.at[6] = static_cast<std::uint8_t>(before & (0u - static_cast<unsigned>(hundreds & 1u)));
        b.at[7] = static_cast<std::uint8_t>((before >> 8) & (0u - static_cast<unsigned>(tens & 1u)));
        // 64 + i - (where the group before ended) is i + back. Only take
        // carries from one value to the next, so that values wait for no
        // more than clearing a bit.
        std::size_t back = 64 + 3;
        if constexpr (sizeof(void*) < 8) {
            // In halves, whose trailing zeros a 32-bit core counts.
            out = takeValues(b.at + 6, static_cast<std::uint32_t>(take), back, out);
            back += 32;
            takeValues(b.at + 6 + 32, static_cast<std::uint32_t>(take >> 32), back, out);
        } else {
            takeValues(b.at + 6, take, back, out);
        }
    }

    // Bytes i - 2 to i in the low three bytes, as a misaligned load gives
    // them, or from three loads of a byte.
    static std::uint32_t groupAt(const std::uint8_t* group) {
        if constexpr (loadsUnaligned) {
            return loadLittle32(group);
        } else {
            return group[0] | static_cast<std::uint32_t>(group[1]) << 8 |
                   static_cast<std::uint32_t>(group[2]) << 16;
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

std::size_t scanPortable(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out) {
    return blockscan::scanBlocks<PortableKernel>(carry, in, n, out);
}
