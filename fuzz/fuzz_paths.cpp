// Each block scan path against the bytewise path, both fed the same text in
// the same pieces the fuzzer chooses, so that windows start at every offset:
// after every piece both must have written the same bytes. Catches a value
// read differently, state lost between windows, blocks or pieces, and output
// held back to a later piece.
//
// Input: one byte choosing the path (modulo the number of block paths this
// build has, in the order of their table: on x86-64 AVX-512, AVX2, SSSE3,
// portable; on ARM NEON, portable; a path the CPU lacks is skipped); one
// byte r, the text's repeat count: the text is read 1 + r times over, up to
// 128 KiB in all, so that a short input reaches many 4 KiB blocks; one byte k,
// then k bytes of piece sizes, used in turn: a byte b below 192 is a piece
// of b bytes (0 is an empty call), any other one of b - 191 KiB; then the
// text.
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
#include <string>
#include <vector>

namespace {

constexpr std::size_t mostText = std::size_t{128} << 10;

std::vector<ScanPath> blockPaths() {
    std::vector<ScanPath> paths;
    std::copy_if(scanPaths().begin(), scanPaths().end(), std::back_inserter(paths),
                 [](const ScanPath& path) { return path.scanner != nullptr; });
    return paths;
}

struct Tally {
    std::vector<ScanPath> paths = blockPaths();
    std::vector<std::size_t> ran = std::vector<std::size_t>(paths.size());
    std::vector<std::size_t> skipped = std::vector<std::size_t>(paths.size());
};

Tally& tally() {
    static Tally counts;
    return counts;
}

std::size_t pieceSize(std::uint8_t b) { return b < 192 ? b : std::size_t{b - 191u} * 1024; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    Tally& counts = tally();
    const std::size_t choice = data[0] % counts.paths.size();
    const ScanPath path = counts.paths[choice];
    if (!path.supported()) {
        ++counts.skipped[choice];
        return 0;
    }
    ++counts.ran[choice];
    const std::size_t sizeCount = std::min<std::size_t>(data[2], size - 3);
    const std::uint8_t* sizes = data + 3;
    const char* const once = reinterpret_cast<const char*>(data + 3 + sizeCount);
    const std::size_t onceLength = size - 3 - sizeCount;
    std::string text;
    for (std::size_t r = 0; r <= data[1] && text.size() + onceLength <= mostText; ++r) {
        text.append(once, onceLength);
    }
    const std::size_t length = text.size();

    Pipeline reference(bytewiseScanPath());
    Pipeline vector(path);
    fuzz::Bytes expected;
    fuzz::Bytes got;
    const bool progress =
        std::any_of(sizes, sizes + sizeCount, [](std::uint8_t b) { return pieceSize(b) > 0; });
    std::size_t at = 0;
    for (std::size_t i = 0; at < length; ++i) {
        const std::size_t n = progress ? std::min(pieceSize(sizes[i % sizeCount]), length - at) : length;
        fuzz::convert(reference, text.data() + at, n, expected);
        fuzz::convert(vector, text.data() + at, n, got);
        if (got != expected) {
            std::fprintf(stderr, "path %s, after %zu bytes\n", path.name, at + n);
            fuzz::dump("block path", got);
            fuzz::dump("bytewise path", expected);
            std::abort();
        }
        at += n;
    }
    return 0;
}

bool replayReport() {
    const Tally& counts = tally();
    bool reached = true;
    for (std::size_t i = 0; i < counts.paths.size(); ++i) {
        if (counts.paths[i].supported()) {
            std::printf("%s: %zu inputs ran\n", counts.paths[i].name, counts.ran[i]);
            reached = reached && counts.ran[i] > 0;
        } else {
            std::printf("%s: %zu inputs skipped, this CPU lacks it\n", counts.paths[i].name,
                        counts.skipped[i]);
        }
    }
    return reached;
}
