#ifndef PIXSTREAM_SCAN_SCANBLOCKS_H
#define PIXSTREAM_SCAN_SCANBLOCKS_H

// The block scanner, once for every instruction set: the input in 4 KiB
// blocks, each read in two passes.
//
//   1. Each 64-byte window of the block is classified and its dense stream
//      (Kernel.h), its digits and terminators, is stored after the last
//      window's: every byte the bytewise scanner ignores is gone.
//   2. The dense stream is read 64 bytes at a time: where values end
//      (ValueMasks.h), the running value of each digit, and the finished
//      values queued after those left from the block before. At the end of
//      the block every 24 queued values become three output bytes.
//
// So the kernels differ only in the few operations Kernel.h lists, and the
// second pass reads bytes the first stored a whole block earlier, long
// since in the cache, where a load that spans stores still in flight would
// wait for them. The two bytes before each dense window, which a value may
// reach back to, are in the buffer too: the block's own, or the last two of
// the block before.
//
// Templates only: each kernel's source includes this inside the region
// compiled for its instruction set (TargetRegion.h).

#include "BlockScanState.h"
#include "Kernel.h"
#include "ValueMasks.h"

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
// The dense stream of a block starts this far into its buffer, aligned,
// after the last two bytes of the block before; a window's whole 64 bytes
// may be written, and read, past its end.
constexpr std::size_t denseBefore = 64;
constexpr std::size_t denseRoom = denseBefore + blockSize + windowSize;

// Pass 1: the dense stream of in[0..size), size at most blockSize, at
// dense; returns its length. A last window shorter than 64 bytes is padded
// with zero bytes, which are ignored.
template <class Kernel> std::size_t compressBlock(const char* in, std::size_t size, std::uint8_t* dense) {
    const std::size_t windows = size / windowSize;
    std::size_t length = 0;
    for (std::size_t w = 0; w < windows; ++w) {
        length += Kernel::compress(in + w * windowSize, dense + length);
    }
    if (windows * windowSize != size) {
        alignas(64) char padded[windowSize] = {};
        std::memcpy(padded, in + windows * windowSize, size - windows * windowSize);
        length += Kernel::compress(padded, dense + length);
    }
    return length;
}

// Pass 2: the values of dense[0..length), queued at values + count after a
// group left open with `pending` digits, then the running value of a group
// left open; returns the new count and leaves pending at the new group's.
template <class Kernel>
std::size_t parse(const std::uint8_t* dense, std::size_t length, unsigned& pending, std::uint8_t* values,
                  std::size_t count) {
    for (std::size_t at = 0; at < length; at += windowSize) {
        const std::uint8_t* const window = dense + at;
        const auto size = static_cast<unsigned>(length - at < windowSize ? length - at : windowSize);
        const ValueMasks m = ValueMasks::of(Kernel::digits(window), size, pending);
        // After the open group's running value, parked at values[count] by
        // the last window, if this window's first byte ends it.
        count += m.closesPending;
        Kernel::storeValues(window, m.tens, m.hundreds, m.take, values + count);
        // The values taken, all finished but the running value of a group
        // left open.
        count += Kernel::Bits::count(m.take) - (m.pending != 0 ? 1u : 0u);
        pending = m.pending;
    }
    return count;
}

// Converts in[0..n) into out, as Pipeline::convert promises, with the
// stream's state in carry.
template <class Kernel>
std::size_t scanBlocks(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out) {
    static_assert(checkKernel<Kernel>(), "a kernel supplies what Kernel.h lists");
    alignas(64) std::uint8_t values[valueRoom];
    alignas(64) std::uint8_t dense[denseRoom];
    std::uint8_t* const stream = dense + denseBefore;
    std::memcpy(values, carry.values, queuedBefore);
    std::memcpy(stream - 2, carry.lastTwo, 2);
    std::size_t count = carry.count;
    unsigned pending = carry.pending;
    std::uint8_t* const start = out;
    for (const char* const end = in + n; in != end;) {
        const std::size_t size =
            static_cast<std::size_t>(end - in) < blockSize ? static_cast<std::size_t>(end - in) : blockSize;
        const std::size_t length = compressBlock<Kernel>(in, size, stream);
        in += size;
        // The last window reads past the stream's end, masked off: bytes
        // written, so that nothing reads memory never set.
        std::memset(stream + length, 0, windowSize);
        count = parse<Kernel>(stream, length, pending, values, count);
        std::memmove(stream - 2, stream + length - 2, 2);
        const std::size_t groups = count / 24;
        out = Kernel::reduce(values, groups, out);
        // The values left over, and the running value of an open group.
        std::memmove(values, values + 24 * groups, count % 24 + 1);
        count %= 24;
    }
    std::memcpy(carry.values, values, queuedBefore);
    std::memcpy(carry.lastTwo, stream - 2, 2);
    carry.count = static_cast<std::uint8_t>(count);
    carry.pending = static_cast<std::uint8_t>(pending);
    return static_cast<std::size_t>(out - start);
}

} // namespace blockscan

#endif
