#ifndef PIXSTREAM_BLOCKSCANNER_H
#define PIXSTREAM_BLOCKSCANNER_H

// The block scanner's algorithm, once for every instruction set: the input
// in 4 KiB blocks of 64-byte windows, every window's values into a queue,
// every 24 queued values averaged into an output pixel at the end of each
// block, and the state a stream carries between calls.
//
// Templates only: each kernel's source includes this inside the region
// compiled for its instruction set (TargetRegion.h), after every other
// header, so that no function shared between kernels is compiled for one.
//
// A Kernel supplies the few steps whose instructions differ:
//
//   Bytes                 a window's 64 bytes less '0', in registers
//   windowApart           true where the window's code runs faster as a
//                         function of its own than inlined into the block
//                         loop (the compiler allocates its registers apart)
//   packsCheaply          true where packing costs less than telling
//                         whether a window may be read in place; such a
//                         kernel packs every window and supplies
//   lastTwo(bytes, size, before)
//                         the last two of size packed bytes, as lastTwoKept
//   load(window)          the window's bytes
//   digits(bytes), terminators(bytes)
//                         bit i set where byte i is a digit, ',' or ']'
//   pullDown(bytes, mask) byte i replaced by byte i + 1 where bit i is set
//   pack(bytes, mask, scratch)
//                         the bytes mask selects, in order, then anything;
//                         may use scratch (packScratch bytes)
//   packedDigits(packed, digits, kept)
//                         the digits among the packed bytes (a mask of
//                         popcount(kept) bits), from either
//   storeValues(bytes, before, tens, hundreds, take, out)
//                         the running value of each byte take selects, in
//                         order, at out (up to storeSlack bytes past the
//                         last); before holds the two bytes before byte 0
//   reduce(values, groups, out)
//                         averages groups * 24 values into groups * 3 output
//                         bytes, reading up to reduceSlack bytes past them
//   packsInPlace (optional)
//                         true where pack(bytes, mask, scratch) packs bytes
//                         itself, returning nothing
//   Bits (optional)       count(x) and leadingZeros(x) as BuiltinBits
//                         (ValueMasks.h), where the CPU has no instruction
//                         for them

#include "ScanCarry.h"
#include "ValueMasks.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace blockscan {

// The kernel's own bit counts where it has them, the builtins otherwise.
template <class Kernel, class = void> struct BitsOf { using Bits = BuiltinBits; };
template <class Kernel> struct BitsOf<Kernel, std::void_t<typename Kernel::Bits>> {
    using Bits = typename Kernel::Bits;
};

// Whether the kernel packs the window where its bytes are: where they are
// in memory, copying a packed window back would only slow it.
template <class Kernel, class = void> struct PacksInPlace : std::false_type {};
template <class Kernel>
struct PacksInPlace<Kernel, std::void_t<decltype(Kernel::packsInPlace)>>
    : std::bool_constant<Kernel::packsInPlace> {};

constexpr std::size_t windowSize = 64;
constexpr std::size_t blockSize = 4096;
static_assert(blockSize % windowSize == 0, "a block is whole windows");
// A finished value takes two bytes of input at least (a digit and its
// terminator, or the third of three digits), except the one that closes
// the group open before the block.
constexpr std::size_t maxValuesPerBlock = blockSize / 2 + 1;
// Fewer than 24 values wait between blocks, and the running value of an
// open group is parked after them.
constexpr std::size_t queuedBefore = sizeof ScanCarry::values;
static_assert(queuedBefore == 24, "up to 23 values and a running value wait for the next block");
// How far past its last value a kernel's store may write, and how far past
// the last group its reduce may read.
constexpr std::size_t storeSlack = 64;
constexpr std::size_t reduceSlack = 64;
constexpr std::size_t valueRoom =
    queuedBefore + maxValuesPerBlock + (storeSlack > reduceSlack ? storeSlack : reduceSlack);
// The packed stream: a window's kept bytes, and whatever the packing
// writes past them.
constexpr std::size_t packScratch = windowSize;

// One stream's scanning state, taken from its carry and put back at the end
// of the call: the digits of the group left open and the last two bytes
// kept, whose digits that group may still need.
template <class Kernel> class StreamScanner {
    using Bits = typename BitsOf<Kernel>::Bits;

public:
    // scratch: packScratch bytes for packing, apart from the scanner's own
    // state, so that no store there could be taken to change it.
    StreamScanner(const ScanCarry& carry, std::uint8_t* packed)
        : lastTwo(carry.lastTwo), pending(carry.pending), scratch(packed) {}

    void save(ScanCarry& carry) const {
        carry.lastTwo = lastTwo;
        carry.pending = static_cast<std::uint8_t>(pending);
    }

    // Reads one window exactly as the bytewise scanner would, writes its
    // finished values at values + count, followed by the running value of a
    // group it leaves open, and returns the new count.
    std::size_t scan(const char* window, std::uint8_t* values, std::size_t count) {
        typename Kernel::Bytes bytes = Kernel::load(window);
        std::uint64_t digits = Kernel::digits(bytes);
        std::uint64_t kept = digits | Kernel::terminators(bytes);
        if (kept == 0) {
            return count;
        }
        const std::uint16_t before = lastTwo;
        if constexpr (!Kernel::packsCheaply) {
            lastTwo = lastTwoKept(window, kept, before);
        }
        if constexpr (Kernel::packsCheaply) {
            lastTwo = Kernel::lastTwo(bytes, pack(bytes, digits, kept), before);
        } else if (const std::uint64_t stray = ValueMasks::strays(digits, kept, pending); stray != 0) {
            // Closed where single ignored bytes part groups, packed otherwise.
            const std::uint64_t movers = ValueMasks::gapClosers(digits, kept, pending, stray);
            if (movers != 0) {
                bytes = Kernel::pullDown(bytes, movers >> 1);
                digits = ValueMasks::closed(digits, movers);
                kept = ValueMasks::closed(kept, movers);
                assert(ValueMasks::inPlace(digits, kept, pending));
            } else {
                pack(bytes, digits, kept);
            }
        }
        const ValueMasks m = ValueMasks::of<Bits>(digits, kept, pending);
        // After the open group's running value, parked at values[count] by
        // the last window, if this window's first byte ends it.
        count += m.closesPending;
        Kernel::storeValues(bytes, before, m.tens, m.hundreds, m.take, values + count);
        pending = m.pending;
        return count + m.template finished<Bits>();
    }

    // The same, compiled as a function of its own.
    __attribute__((noinline)) std::size_t scanApart(const char* window, std::uint8_t* values,
                                                    std::size_t count) {
        return scan(window, values, count);
    }

private:
    // The window's kept bytes packed together, and their masks; returns
    // how many there are.
    unsigned pack(typename Kernel::Bytes& bytes, std::uint64_t& digits, std::uint64_t& kept) {
        const auto size = static_cast<unsigned>(Bits::count(kept));
        if constexpr (PacksInPlace<Kernel>::value) {
            Kernel::pack(bytes, kept, scratch);
            digits = Kernel::packedDigits(bytes, digits, kept);
        } else {
            const typename Kernel::Bytes packed = Kernel::pack(bytes, kept, scratch);
            digits = Kernel::packedDigits(packed, digits, kept);
            bytes = packed;
        }
        kept = ~std::uint64_t{0} >> (64 - size);
        return size;
    }

    // The last two bytes a window keeps (kept is not 0), less '0', the later
    // one in the high byte; the earlier one from `before` when the window
    // keeps one. Read from the window as it came, not from a packed or
    // closed copy, which may not have reached memory: the kept bytes are the
    // same bytes in the same order.
    static std::uint16_t lastTwoKept(const char* window, std::uint64_t kept, std::uint16_t before) {
        const int last = 63 - Bits::leadingZeros(kept);
        const std::uint64_t others = kept ^ (std::uint64_t{1} << last);
        const unsigned lastByte = static_cast<unsigned char>(window[last] - '0');
        const unsigned secondLast =
            static_cast<unsigned char>(window[63 - Bits::leadingZeros(others | 1u)] - '0');
        return static_cast<std::uint16_t>((others != 0 ? secondLast : before >> 8u) | lastByte << 8u);
    }

    std::uint16_t lastTwo;
    unsigned pending;
    std::uint8_t* scratch;
};

// Converts in[0..n) into out, as Pipeline::convert promises, with the
// stream's state in carry.
template <class Kernel>
std::size_t scanBlocks(ScanCarry& carry, const char* in, std::size_t n, std::uint8_t* out) {
    alignas(64) std::uint8_t values[valueRoom];
    std::memcpy(values, carry.values, queuedBefore);
    std::size_t count = carry.count;
    alignas(64) std::uint8_t scratch[packScratch] = {};
    StreamScanner<Kernel> scanner(carry, scratch);
    std::uint8_t* const start = out;
    const char* const end = in + n;
    for (const char* p = in; p != end;) {
        const char* const blockEnd = static_cast<std::size_t>(end - p) > blockSize ? p + blockSize : end;
        for (; static_cast<std::size_t>(blockEnd - p) >= windowSize; p += windowSize) {
            count =
                Kernel::windowApart ? scanner.scanApart(p, values, count) : scanner.scan(p, values, count);
        }
        // The last window of a call is padded with zero bytes, which the
        // scanner ignores, so the output leaves with every call however short.
        if (p != blockEnd) {
            alignas(64) char padded[windowSize] = {};
            std::memcpy(padded, p, static_cast<std::size_t>(blockEnd - p));
            count = scanner.scan(padded, values, count);
            p = blockEnd;
        }
        const std::size_t groups = count / 24;
        out = Kernel::reduce(values, groups, out);
        // The values left over, and the running value of an open group.
        std::memmove(values, values + 24 * groups, count % 24 + 1);
        count %= 24;
    }
    scanner.save(carry);
    std::memcpy(carry.values, values, queuedBefore);
    carry.count = static_cast<std::uint8_t>(count);
    return static_cast<std::size_t>(out - start);
}

} // namespace blockscan

#endif
