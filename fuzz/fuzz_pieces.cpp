// The read loop's body, Pipeline::convert as the program runs it (on the
// fastest scan path the CPU has), fed in pieces the fuzzer chooses, must give
// the same bytes as the bytewise reference path fed the text in one piece;
// every piece writes into a buffer of exactly maxOutput bytes. Catches state
// lost or kept wrongly across reads, a block path that reads a value
// differently, and an output bound that is too small.
//
// Input: one byte k, then k bytes of piece sizes (0 to 255, used in turn),
// then the text.

#include "Convert.h"
#include "ScanPath.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using fuzz::Bytes;
using fuzz::convert;
using fuzz::dump;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t sizeCount = std::min<std::size_t>(data[0], size - 1);
    const std::uint8_t* sizes = data + 1;
    // libFuzzer hands over bytes; the program reads chars.
    const char* text = reinterpret_cast<const char*>(data + 1 + sizeCount);
    const std::size_t length = size - 1 - sizeCount;

    Bytes whole;
    Pipeline reference(bytewiseScanPath());
    convert(reference, text, length, whole);

    Bytes pieces;
    Pipeline many;
    // Empty pieces are fair, but only empty ones would never finish.
    const bool progress = std::any_of(sizes, sizes + sizeCount, [](std::uint8_t n) { return n > 0; });
    std::size_t at = 0;
    for (std::size_t i = 0; at < length; ++i) {
        const std::size_t n = progress ? std::min<std::size_t>(sizes[i % sizeCount], length - at) : length;
        convert(many, text + at, n, pieces);
        at += n;
    }

    if (pieces != whole) {
        dump("in pieces", pieces);
        dump("in one piece", whole);
        std::abort();
    }
    return 0;
}
