// Each block scan path against the bytewise path, both fed the same text in
// the same pieces the fuzzer chooses, so that windows start at every offset:
// after every piece both must have written the same bytes. Catches a value
// read differently, state lost between windows or between pieces, and
// output held back to a later piece.
//
// Input: one byte choosing the path (modulo 5: portable, AVX2, AVX-512,
// NEON, SSSE3; a path the CPU lacks is skipped), one byte k, then k bytes of piece
// sizes (0 to 255, used in turn), then the text.
//
// The corpus replay reports how many inputs ran on each path and how many
// were skipped, and fails when a block path the CPU has ran none.

#include "Convert.h"
#include "Replay.h"
#include "ScanPath.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

// What the path byte chooses, in the order the committed corpus was written
// for: a path added here goes at the end, with a wider modulus that keeps
// path bytes below the old count as they are.
constexpr ScanPath paths[] = {ScanPath::portable, ScanPath::avx2, ScanPath::avx512, ScanPath::neon,
                              ScanPath::ssse3};
constexpr std::size_t pathCount = std::size(paths);

struct Tally {
    std::size_t ran[pathCount];
    std::size_t skipped[pathCount];
};

Tally& tally() {
    static Tally counts{};
    return counts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t choice = data[0] % pathCount;
    const ScanPath path = paths[choice];
    if (!supported(path)) {
        ++tally().skipped[choice];
        return 0;
    }
    ++tally().ran[choice];
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

// A block path the path byte cannot choose is one no corpus can reach: on a
// CPU that has it, that fails as surely as a corpus without its inputs.
bool replayReport() {
    bool reached = true;
    for (const ScanPath path : allScanPaths) {
        if (path == ScanPath::bytes) {
            continue;
        }
        const auto at = static_cast<std::size_t>(std::find(paths, paths + pathCount, path) - paths);
        if (at == pathCount) {
            std::printf("%s: no path byte chooses it\n", scanPathName(path));
            reached = reached && !supported(path);
        } else if (supported(path)) {
            std::printf("%s: %zu inputs ran\n", scanPathName(path), tally().ran[at]);
            reached = reached && tally().ran[at] > 0;
        } else {
            std::printf("%s: %zu inputs skipped, this CPU lacks it\n", scanPathName(path),
                        tally().skipped[at]);
        }
    }
    return reached;
}
