#include "ScanBlocks.h"
#include "ScanKernels.h"
#include "ValueMasks.h"

namespace {

constexpr std::uint64_t ones = 0x0101010101010101u;
constexpr std::uint64_t highBits = 0x8080808080808080u;

// The high bit of each byte of x, which has no other bit set, as an 8-bit
// mask: byte k's bit lands in bit 56 + k of the product, and no two partial
// products overlap.
inline std::uint64_t highBitsMask(std::uint64_t x) { return (x >> 7) * 0x0102040810204080u >> 56; }

// The high bit of each byte of y set where the byte is not 0 (other bits are
// left over). The high bits are cleared before the add, so it carries into
// no other byte; the add sets the high bit where any other bit was set.
inline std::uint64_t nonZeroBytes(std::uint64_t y) { return ((y & ~highBits) + ~highBits) | y; }

// Eight bytes at once: the high bit of each byte set where it is a digit,
// and where it is kept (a digit, ',' or ']').
struct WordClasses {
    std::uint64_t digits;
    std::uint64_t kept;
};

inline WordClasses classify(std::uint64_t x) {
    // '0' to '9' are the bytes whose xor with '0' is at most 9.
    const std::uint64_t y = x ^ ('0' * ones);
    const std::uint64_t notDigit = ((y & ~highBits) + (0x7Fu - 9u) * ones) | y;
    const std::uint64_t notKept = notDigit & nonZeroBytes(x ^ (',' * ones)) & nonZeroBytes(x ^ (']' * ones));
    return {~notDigit & highBits, ~notKept & highBits};
}

// The block scanner in plain C++, for every CPU without a kernel of its
// own: eight bytes at a time in 64-bit words where it can (SWAR), a byte at
// a time where it must.
class PortableWindow {
public:
    explicit PortableWindow(const ScanCarry& carry) : pending(carry.pending) {
        stream[0] = static_cast<std::uint8_t>(carry.lastTwo);
        stream[1] = static_cast<std::uint8_t>(carry.lastTwo >> 8);
    }

    void save(ScanCarry& carry) const {
        carry.lastTwo = static_cast<std::uint16_t>(stream[0] | stream[1] << 8);
        carry.pending = static_cast<std::uint8_t>(pending);
    }

    std::size_t scan(const char* window, std::uint8_t* values, std::size_t count) {
        std::uint64_t digits = 0;
        std::uint64_t kept = 0;
#pragma GCC unroll 8
        for (unsigned i = 0; i < 64; i += 8) {
            const WordClasses classes = classify(loadLittle(window + i));
            digits |= highBitsMask(classes.digits) << i;
            kept |= highBitsMask(classes.kept) << i;
        }
        if (kept == 0) {
            return count;
        }
        std::uint8_t* const bytes = stream + 2;
        if (!ValueMasks::inPlace(digits, kept, pending)) {
            // Packed: every byte stored, the end moved on past the kept
            // ones, so that there is no branch for the predictor to miss.
            std::uint8_t* end = bytes;
            for (unsigned i = 0; i < 64; i += 8) {
                std::uint64_t word = loadLittle(window + i);
                auto bits = static_cast<unsigned>(kept >> i);
#pragma GCC unroll 8
                for (int k = 0; k < 8; ++k, word >>= 8, bits >>= 1) {
                    *end = static_cast<std::uint8_t>(word);
                    end += bits & 1u;
                }
            }
            const auto size = static_cast<unsigned>(end - bytes);
            digits = 0;
            for (unsigned i = 0; i < size; i += 8) {
                digits |= highBitsMask(classify(loadLittle(bytes + i)).digits) << i;
            }
            kept = ~std::uint64_t{0} >> (64 - size);
        } else {
            // In place: the ignored bytes change nothing here.
            std::memcpy(bytes, window, 64);
        }
        const ValueMasks m = ValueMasks::of(digits, kept, pending);
        count += m.closesPending;
        std::uint8_t* value = values + count;
        for (std::uint64_t take = m.take; take != 0; take &= take - 1) {
            const int i = __builtin_ctzll(take);
            // The digits of the group, bytes i - 2 to i, as many as it has
            // (1 to 3), less '0' each, then multiplied so that the third
            // byte of the product is 100, 10 and 1 times them.
            static constexpr std::uint32_t inGroup[3] = {0xFF0000u, 0xFFFF00u, 0xFFFFFFu};
            const std::uint32_t mask = inGroup[(m.tens >> i & 1u) + (m.hundreds >> i & 1u)];
            const std::uint32_t group =
                (static_cast<std::uint32_t>(loadLittle(bytes + i - 2)) & mask) - (0x303030u & mask);
            *value++ = static_cast<std::uint8_t>((group * 0x640A01u) >> 16);
        }
        // The last two bytes kept, one of them from before if need be.
        const int last = 63 - __builtin_clzll(kept);
        const std::uint8_t beforeLast = bytes[last - 1];
        stream[1] = bytes[last];
        stream[0] = beforeLast;
        pending = m.pending;
        // All values taken but the running value of a group left open.
        return count + static_cast<std::size_t>(value - (values + count)) - (pending != 0 ? 1u : 0u);
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return reduceGroups(values, groups, out);
    }

private:
    // The packed stream, bytes as read, after the last two bytes of the
    // windows before, with room for the 8-byte loads that read past its end.
    std::uint8_t stream[2 + 64 + 8] = {};
    unsigned pending;
};

} // namespace

std::size_t scanPortable(ScanCarry& carry, const char* in, std::size_t n, std::uint8_t* out) {
    return scanBlocks<PortableWindow>(carry, in, n, out);
}
