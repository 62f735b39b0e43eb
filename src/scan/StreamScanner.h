#ifndef PIXSTREAM_SCAN_STREAMSCANNER_H
#define PIXSTREAM_SCAN_STREAMSCANNER_H

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
//   packsCheaply          true where packing costs less than telling
//                         whether a window may be read in place; such a
//                         kernel packs every window in registers:
//     pack(bytes, mask)   the bytes mask selects, in order, then anything
//     packedDigits(digits, kept)
//                         the digits among them (popcount(kept) bits)
//     lastTwo(bytes, size, before)
//                         the last two of size packed bytes, as lastTwoKept
//   packsInPlace          true where bytes are in memory and packing and
//                         pulling down change them where they are:
//     pack(bytes, mask)   the bytes mask selects, in order, then anything
//     packedDigits(bytes) the digits among them
//   and otherwise a kernel packs some windows in memory, ahead of their
//   turn, or in their turn where packsInTurn is true (below):
//     packTo(bytes, mask, copy)
//                         the bytes mask selects, in order, then anything,
//                         at copy (windowSize bytes)
//     loadPacked(copy)    those bytes
//     packsInTurn         true where reading a packed window back at once,
//                         before the stores that wrote it have reached the
//                         cache, costs less than telling every window's
//                         masks a window ahead (see scan)
//   Bits                  count(x) and leadingZeros(x) as BuiltinBits
//                         (ValueMasks.h), which suits most
//   load(window)          the window's bytes
//   digits(bytes), terminators(bytes)
//                         bit i set where byte i is a digit, ',' or ']'
//   pullDown(bytes, mask) byte i replaced by byte i + 1 where bit i is set
//   storeValues(bytes, before, tens, hundreds, take, out)
//                         the running value of each byte take selects, in
//                         order, at out (up to storeSlack bytes past the
//                         last); before holds the two bytes before byte 0
//   reduce(values, groups, out)
//                         averages groups * 24 values into groups * 3 output
//                         bytes, reading up to reduceSlack bytes past them

#include "BlockScanState.h"
#include "ValueMasks.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace blockscan {

constexpr std::size_t windowSize = 64;
constexpr std::size_t blockSize = 4096;
static_assert(blockSize % windowSize == 0, "a block is whole windows");
// A finished value takes two bytes of input at least (a digit and its
// terminator, or the third of three digits), except the one that closes
// the group open before the block.
constexpr std::size_t maxValuesPerBlock = blockSize / 2 + 1;
// Fewer than 24 values wait between blocks, and the running value of an
// open group is parked after them.
constexpr std::size_t queuedBefore = sizeof BlockScanState::values;
static_assert(queuedBefore == 24, "up to 23 values and a running value wait for the next block");
// How far past its last value a kernel's store may write, and how far past
// the last group its reduce may read.
constexpr std::size_t storeSlack = 64;
constexpr std::size_t reduceSlack = 64;
constexpr std::size_t valueRoom =
    queuedBefore + maxValuesPerBlock + (storeSlack > reduceSlack ? storeSlack : reduceSlack);
// What a window leaves the next: the digits of the group left open, and
// the last two bytes kept, whose digits that group may still need.
struct OpenGroup {
    std::uint16_t lastTwo;
    unsigned pending;
};

// A window's masks, how it is read after a group left open or not, and
// whether it was packed ahead of its turn. Plain words: with a struct among
// them GCC 12 copied the look-ahead through the stack in 8-byte stores and
// 16-byte loads, which the CPU cannot forward (AVX2 on compact input at
// half speed).
struct LookAhead {
    std::uint64_t digits;
    std::uint64_t kept;
    // The digits that close its gaps after no group left open, and after
    // one; 0 where it may be read in place as it is.
    std::uint64_t moversAfterNone;
    std::uint64_t moversAfterOpen;
    // Packed ahead of its turn, as no group left open lets it be read in
    // place, or to be packed in its turn if a group is left open.
    enum : std::uint8_t { notPacked, packedAhead, packedIfOpen } packing;
};

// One stream's scanning state, taken from its carry and put back at the end
// of the call.
template <class Kernel> class StreamScanner {
    using Bits = typename Kernel::Bits;

public:
    explicit StreamScanner(const BlockScanState& carry) : open{carry.lastTwo, carry.pending} {}

    void save(BlockScanState& carry) const {
        carry.lastTwo = open.lastTwo;
        carry.pending = static_cast<std::uint8_t>(open.pending);
    }

    // Reads `windows` windows from `from` exactly as the bytewise scanner
    // would, writes their finished values at values + count, followed by the
    // running value of a group left open, and returns the new count.
    //
    // Unless the kernel packs in its turn (packsInTurn), a window that must
    // be packed is packed one window ahead of its turn, so that its packed
    // bytes are read back only once the stores that wrote them have reached
    // the cache: a load that spans several smaller stores still in flight
    // waits for them all to complete, and so for everything before them,
    // and windows would follow one another instead of overlapping. Ahead
    // of its turn the group the window before leaves open is not known yet,
    // so a window is packed ahead where it could be read neither in place
    // nor closed after no open group; one that only an open group would stop
    // is packed in its turn, if that group is open.
    //
    // Where many windows need packing (random bytes, digits in keys, a
    // mesh's exponents), whether a window does is a branch the CPU guesses
    // wrong about often, and packing every window, which asks nothing, is
    // faster; on tidy input it is slower (AVX2 on Zen 4, MB/s: random bytes
    // 1843 to 2146, a mesh 1913 to 2129, compact input 2516 to 2106). The
    // same holds, less sharply, where most windows must be closed (split
    // digits, decimals, coordinates): packing one costs about as much as
    // working out how to close it and closing it (AVX2: coordinates 2256 to
    // 2372, decimals 2248 to 2397; closed windows mixed with tidy ones break
    // even near one in four, one in three for SSSE3). So one call (a block)
    // in 16 counts the windows it packs ahead and those it cannot read in
    // place, and where the first are one in 16 or more, or the second one in
    // three, the 15 calls after it pack every window.
    std::size_t scan(const char* from, std::size_t windows, std::uint8_t* values, std::size_t count) {
        if constexpr (Kernel::packsCheaply) {
            for (std::size_t w = 0; w < windows; ++w) {
                count = scanPacked(from + w * windowSize, values, count);
            }
        } else if constexpr (Kernel::packsInPlace) {
            // The open group stays a member: as a local, which GCC spilled
            // and read back wider than it wrote, it cost the portable kernel
            // 9 to 16 % on x86-64 (compact input 1123 to 985 MB/s), where
            // llvm-mca gave it 4 % on the SiFive U74 (1155 to 1114 cycles).
            for (std::size_t w = 0; w < windows; ++w) {
                count = scanInPlace(open, from + w * windowSize, copies[0], values, count);
            }
        } else if constexpr (Kernel::packsInTurn) {
            // In a local, which no store of values may be taken to change.
            OpenGroup group = open;
            for (std::size_t w = 0; w < windows; ++w) {
                count = scanInPlace(group, from + w * windowSize, copies[0], values, count);
            }
            open = group;
        } else if (callsToCount != 0) {
            --callsToCount;
            count = packingEvery ? scanLookingAhead<Packs::every>(from, windows, values, count)
                                 : scanLookingAhead<Packs::whereNeeded>(from, windows, values, count);
        } else {
            windowsPacked = 0;
            windowsOutOfPlace = 0;
            count = scanLookingAhead<Packs::whereNeededCounting>(from, windows, values, count);
            packingEvery =
                windows != 0 && (windowsPacked * 16 >= windows || windowsOutOfPlace * 3 >= windows);
            callsToCount = 15;
        }
        return count;
    }

private:
    // How a call packs its windows ahead: where they must be, the same
    // counting those it packs, or every one.
    enum class Packs { whereNeeded, whereNeededCounting, every };

    // The windows of a call, each looked at one window ahead of its turn.
    // A function of its own for each way of packing, whose registers the
    // compiler allocates apart: in one function the loops' state spilled,
    // some of it read back wider than it was written, which the CPU cannot
    // forward from the store (AVX2 on compact input 10 % slower). Flattened,
    // as GCC would not inline the kernel's steps into three functions.
    template <Packs packs>
    __attribute__((noinline, flatten)) std::size_t scanLookingAhead(const char* from, std::size_t windows,
                                                                    std::uint8_t* values, std::size_t count) {
        if (windows == 0) {
            return count;
        }
        OpenGroup group = open;
        LookAhead next = lookAhead<packs>(from, copies[0]);
        for (std::size_t w = 0; w < windows; ++w) {
            const LookAhead current = next;
            if (w + 1 < windows) {
                next = lookAhead<packs>(from + (w + 1) * windowSize, copies[(w + 1) % 2]);
            }
            count = scanAhead(group, from + w * windowSize, current, copies[w % 2], values, count);
        }
        open = group;
        return count;
    }

    // The window's masks, and its kept bytes packed into copy where it could
    // be read neither in place nor closed after no group left open, or
    // always.
    template <Packs packs>
    __attribute__((always_inline)) LookAhead lookAhead(const char* window, std::uint8_t* copy) {
        const typename Kernel::Bytes bytes = Kernel::load(window);
        LookAhead a{};
        a.digits = Kernel::digits(bytes);
        a.kept = a.digits | Kernel::terminators(bytes);
        if constexpr (packs == Packs::every) {
            a.packing = LookAhead::packedAhead;
            Kernel::packTo(bytes, a.kept, copy);
            return a;
        }
        // The strays after an open group include those after none.
        const std::uint64_t strayAfterOpen = ValueMasks::strays(a.digits, a.kept, 1);
        if (a.kept != 0 && strayAfterOpen != 0) {
            const std::uint64_t strayAfterNone = ValueMasks::strays(a.digits, a.kept, 0);
            a.moversAfterOpen = ValueMasks::gapClosers(a.digits, a.kept, 1, strayAfterOpen);
            if (strayAfterNone != 0) {
                a.moversAfterNone = ValueMasks::gapClosers(a.digits, a.kept, 0, strayAfterNone);
                if constexpr (packs == Packs::whereNeededCounting) {
                    ++windowsOutOfPlace;
                }
            }
            // Only the groups a window's own gaps part call for packing it
            // ahead. A group left open that goes on past ignored bytes at
            // the window's start ("12" then "  3") calls for it seldom, and
            // then it is packed in its turn.
            if (strayAfterNone != 0 && a.moversAfterNone == 0) {
                a.packing = LookAhead::packedAhead;
                Kernel::packTo(bytes, a.kept, copy);
                if constexpr (packs == Packs::whereNeededCounting) {
                    ++windowsPacked;
                }
            } else if (a.moversAfterOpen == 0) {
                a.packing = LookAhead::packedIfOpen;
            }
        }
        return a;
    }

    __attribute__((always_inline)) static std::size_t scanAhead(OpenGroup& group, const char* window,
                                                                const LookAhead& ahead, std::uint8_t* copy,
                                                                std::uint8_t* values, std::size_t count) {
        std::uint64_t kept = ahead.kept;
        if (kept == 0) {
            return count;
        }
        std::uint64_t digits = ahead.digits;
        const std::uint16_t before = group.lastTwo;
        bool packed = ahead.packing == LookAhead::packedAhead;
        // A branch, predicted, not a select on the open group's digits,
        // which the next window would wait for.
        const bool packLate = ahead.packing == LookAhead::packedIfOpen && group.pending != 0;
        if (__builtin_expect(static_cast<long>(packLate), 0L) != 0) {
            Kernel::packTo(Kernel::load(window), kept, copy);
            packed = true;
        }
        typename Kernel::Bytes bytes = packed ? Kernel::loadPacked(copy) : Kernel::load(window);
        if (packed) {
            const unsigned size = Bits::count(kept);
            kept = ValueMasks::firstBits(size);
            digits = Kernel::digits(bytes) & kept;
            group.lastTwo = lastTwoPacked(copy, size, before);
        } else {
            group.lastTwo = lastTwoKept(window, kept, before);
            // Closed where single ignored bytes part groups.
            const std::uint64_t movers = group.pending != 0 ? ahead.moversAfterOpen : ahead.moversAfterNone;
            if (movers != 0) {
                bytes = Kernel::pullDown(bytes, movers >> 1);
                digits = ValueMasks::closed(digits, movers);
                kept = ValueMasks::closed(kept, movers);
            }
            assert(ValueMasks::inPlace(digits, kept, group.pending));
        }
        return storeValues(group, bytes, digits, kept, before, values, count);
    }

    // A kernel whose window is in memory closes or packs it where it is, in
    // its turn; one that packs in its turn packs to copy and reads it back.
    //
    // The strays and closers follow from the open group, so each window's
    // wait for the last one's runs through them. Working both out before
    // the group is known (after none and after one, as lookAhead does)
    // shortens that wait but adds instructions, and NEON on a Cortex-A72
    // is bound by how many it issues (llvm-mca per 64 bytes: split input
    // 123 to 129 cycles, compact 103 to 105).
    __attribute__((always_inline)) static std::size_t scanInPlace(OpenGroup& open, const char* window,
                                                                  std::uint8_t* copy, std::uint8_t* values,
                                                                  std::size_t count) {
        typename Kernel::Bytes bytes = Kernel::load(window);
        std::uint64_t digits = Kernel::digits(bytes);
        std::uint64_t kept = digits | Kernel::terminators(bytes);
        if (kept == 0) {
            return count;
        }
        const std::uint16_t before = open.lastTwo;
        open.lastTwo = lastTwoKept(window, kept, before);
        if (const std::uint64_t stray = ValueMasks::strays(digits, kept, open.pending); stray != 0) {
            // Closed where single ignored bytes part groups, packed otherwise.
            if (const std::uint64_t movers = ValueMasks::gapClosers(digits, kept, open.pending, stray);
                movers != 0) {
                if constexpr (Kernel::packsInPlace) {
                    Kernel::pullDown(bytes, movers >> 1);
                } else {
                    bytes = Kernel::pullDown(bytes, movers >> 1);
                }
                digits = ValueMasks::closed(digits, movers);
                kept = ValueMasks::closed(kept, movers);
            } else if constexpr (Kernel::packsInPlace) {
                const unsigned size = Bits::count(kept);
                Kernel::pack(bytes, kept);
                digits = Kernel::packedDigits(bytes);
                kept = ValueMasks::firstBits(size);
            } else {
                const unsigned size = Bits::count(kept);
                Kernel::packTo(bytes, kept, copy);
                bytes = Kernel::loadPacked(copy);
                kept = ValueMasks::firstBits(size);
                digits = Kernel::digits(bytes) & kept;
            }
        }
        return storeValues(open, bytes, digits, kept, before, values, count);
    }

    // A kernel that packs every window packs it in registers, and has the
    // packed digits from the masks.
    __attribute__((always_inline)) std::size_t scanPacked(const char* window, std::uint8_t* values,
                                                          std::size_t count) {
        typename Kernel::Bytes bytes = Kernel::load(window);
        std::uint64_t digits = Kernel::digits(bytes);
        std::uint64_t kept = digits | Kernel::terminators(bytes);
        if (kept == 0) {
            return count;
        }
        const std::uint16_t before = open.lastTwo;
        const unsigned size = Bits::count(kept);
        bytes = Kernel::pack(bytes, kept);
        digits = Kernel::packedDigits(digits, kept);
        kept = ValueMasks::firstBits(size);
        open.lastTwo = Kernel::lastTwo(bytes, size, before);
        return storeValues(open, bytes, digits, kept, before, values, count);
    }

    // bytes not const: a kernel may write the bytes before the window in.
    __attribute__((always_inline)) static std::size_t
    // cppcheck-suppress constParameter
    storeValues(OpenGroup& group, typename Kernel::Bytes& bytes, std::uint64_t digits, std::uint64_t kept,
                std::uint16_t before, std::uint8_t* values, std::size_t count) {
        const ValueMasks m = ValueMasks::of(digits, kept, group.pending, 63u - Bits::leadingZeros(kept));
        // After the open group's running value, parked at values[count] by
        // the last window, if this window's first byte ends it.
        count += m.closesPending;
        Kernel::storeValues(bytes, before, m.tens, m.hundreds, m.take, values + count);
        group.pending = m.pending;
        return count + m.finished(Bits::count(m.take));
    }

    // The last two of the size bytes a window packed (size is not 0), as
    // lastTwoKept gives them: two loads, where finding them in the window
    // takes two bit scans.
    __attribute__((always_inline)) static std::uint16_t lastTwoPacked(const std::uint8_t* copy, unsigned size,
                                                                      std::uint16_t before) {
        const unsigned secondLast = copy[size > 1 ? size - 2 : 0];
        const unsigned last = copy[size - 1];
        return static_cast<std::uint16_t>((size > 1 ? secondLast : before >> 8u) | last << 8u);
    }

    // The last two bytes a window keeps (kept is not 0), less '0', the later
    // one in the high byte; the earlier one from `before` when the window
    // keeps one. Read from the window as it came, before it is closed or
    // packed where it is: the kept bytes are the same bytes in the same order.
    __attribute__((always_inline)) static std::uint16_t lastTwoKept(const char* window, std::uint64_t kept,
                                                                    std::uint16_t before) {
        const unsigned last = 63u - Bits::leadingZeros(kept);
        const std::uint64_t others = kept ^ (std::uint64_t{1} << last);
        const unsigned lastByte = static_cast<unsigned char>(window[last] - '0');
        const unsigned secondLast =
            static_cast<unsigned char>(window[63u - Bits::leadingZeros(others | 1u)] - '0');
        return static_cast<std::uint16_t>((others != 0 ? secondLast : before >> 8u) | lastByte << 8u);
    }

    OpenGroup open;
    // Calls of scan until one counts again, whether those pack every
    // window, and the windows the counting one packed ahead and those it
    // could not read in place after no group left open (closed or packed).
    unsigned callsToCount = 0;
    bool packingEvery = false;
    std::size_t windowsPacked = 0;
    std::size_t windowsOutOfPlace = 0;
    // Packed copies of this window and the next.
    alignas(64) std::uint8_t copies[2][windowSize] = {};
};

// Converts in[0..n) into out, as Pipeline::convert promises, with the
// stream's state in carry.
template <class Kernel>
std::size_t scanBlocks(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out) {
    alignas(64) std::uint8_t values[valueRoom];
    std::memcpy(values, carry.values, queuedBefore);
    std::size_t count = carry.count;
    StreamScanner<Kernel> scanner(carry);
    std::uint8_t* const start = out;
    for (const char* const end = in + n; in != end;) {
        const std::size_t size =
            static_cast<std::size_t>(end - in) < blockSize ? static_cast<std::size_t>(end - in) : blockSize;
        const std::size_t windows = size / windowSize;
        count = scanner.scan(in, windows, values, count);
        // The last window of a call is padded with zero bytes, which the
        // scanner ignores, so the output leaves with every call however short.
        if (windows * windowSize != size) {
            alignas(64) char padded[windowSize] = {};
            std::memcpy(padded, in + windows * windowSize, size - windows * windowSize);
            count = scanner.scan(padded, 1, values, count);
        }
        in += size;
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
