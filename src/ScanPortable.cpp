#include "ScanBlocks.h"
#include "ScanKernels.h"
#include "ValueMasks.h"

namespace {

// The block scanner in plain C++, for every CPU without a kernel of its own.
class PortableWindow {
public:
    explicit PortableWindow(const ScanCarry& carry) : pending(carry.pending) {
        stream[0] = carry.lastDigits[0];
        stream[1] = carry.lastDigits[1];
    }

    void save(ScanCarry& carry) const {
        carry.lastDigits[0] = stream[0];
        carry.lastDigits[1] = stream[1];
        carry.pending = static_cast<std::uint8_t>(pending);
    }

    std::size_t scan(const char* window, std::uint8_t* values, std::size_t count) {
        std::uint8_t* const packed = stream + 2;
        std::uint64_t digits = 0;
        unsigned size = 0;
        for (int i = 0; i < 64; ++i) {
            const char ch = window[i];
            const auto offset = static_cast<std::uint8_t>(ch - '0');
            const unsigned digit = offset <= 9 ? 1u : 0u;
            packed[size] = offset;
            digits |= std::uint64_t{digit} << size;
            size += digit | (ch == ',' ? 1u : 0u) | (ch == ']' ? 1u : 0u);
        }
        if (size == 0) {
            return count;
        }
        const ValueMasks m = ValueMasks::of(digits, size, pending);
        count += m.closesPending;
        std::uint8_t* value = values + count;
        for (std::uint64_t take = m.take; take != 0; take &= take - 1) {
            const int i = __builtin_ctzll(take);
            const unsigned tens = static_cast<unsigned>(m.tens >> i) & 1u;
            const unsigned hundreds = static_cast<unsigned>(m.hundreds >> i) & 1u;
            *value++ = static_cast<std::uint8_t>(packed[i] + tens * 10u * packed[i - 1] +
                                                 hundreds * 100u * packed[i - 2]);
        }
        // The last two packed bytes, one of them from before if size is 1.
        const std::uint8_t* const end = packed + size;
        stream[0] = end[-2];
        stream[1] = end[-1];
        pending = m.pending;
        return count + m.finished;
    }

    static std::uint8_t* reduce(const std::uint8_t* values, std::size_t groups, std::uint8_t* out) {
        return reduceGroups(values, groups, out);
    }

private:
    // The packed stream, after the last two bytes of the windows before.
    std::uint8_t stream[2 + 64] = {};
    unsigned pending;
};

} // namespace

std::size_t scanPortable(ScanCarry& carry, const char* in, std::size_t n, std::uint8_t* out) {
    return scanBlocks<PortableWindow>(carry, in, n, out);
}
