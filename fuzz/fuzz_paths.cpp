// Each block scan path against the bytewise path, both fed the same text in
// the same pieces the fuzzer chooses, so that windows start at every offset:
// after every piece both must have written the same bytes. Catches a value
// read differently, state lost between windows or between pieces, and
// output held back to a later piece.
//
// Input: one byte choosing the path (modulo 4: portable, AVX2, AVX-512,
// NEON; a path the CPU lacks is skipped), one byte k, then k bytes of piece
// sizes (0 to 255, used in turn), then the text.

#include "Convert.h"
#include "ScanPath.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    static const ScanPath paths[] = {ScanPath::portable, ScanPath::avx2, ScanPath::avx512, ScanPath::neon};
    const ScanPath path = paths[data[0] % 4];
    if (!supported(path)) {
        return 0;
    }
    const std::size_t sizeCount = std::min<std::size_t>(data[1], size - 2);
    const std::uint8_t* sizes = data + 2;
    const char* text = reinterpret_cast<const char*>(data + 2 + sizeCount);
    const std::size_t length = size - 2 - sizeCount;

    Pipeline reference(ScanPath::bytes);
    Pipeline vector(path);
    fuzz::Bytes expected;
    fuzz::Bytes got;
    const bool progress = std::any_of(sizes, sizes + sizeCount, [](std::uint8_t n) { return n > 0; });
    std::size_t at = 0;
    for (std::size_t i = 0; at < length; ++i) {
        const std::size_t n = progress ? std::min<std::size_t>(sizes[i % sizeCount], length - at) : length;
        fuzz::convert(reference, text + at, n, expected);
        fuzz::convert(vector, text + at, n, got);
        if (got != expected) {
            std::fprintf(stderr, "path %s, after %zu bytes\n", scanPathName(path), at + n);
            fuzz::dump("block path", got);
            fuzz::dump("bytewise path", expected);
            std::abort();
        }
        at += n;
    }
    return 0;
}
