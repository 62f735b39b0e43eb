// The program's core against the model over many seeded random inputs, each
// delivered whole and cut into reads in several ways, one test per scan path
// (skipped where the CPU lacks it). Catches any rule the
// scanner or reducer gets wrong on odd bytes, state lost or kept wrongly
// between reads, and output that overruns the room maxOutput promises (the
// sanitizer build sizes every output buffer exactly).
//
// A failure prints its seed; PIXSTREAM_SEED=<seed> reruns that input alone.

#include "EachScanPath.h"
#include "Model.h"
#include "Pipeline.h"
#include "ScanPath.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t firstSeed = 0x5EED0000;
constexpr int inputCount = 200;
constexpr std::size_t maxLength = 100000;

// Integer draws only, so a seed gives the same input with any library.
class Draw {
public:
    explicit Draw(std::uint64_t seed) : engine(seed) {}
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(engine() % n); }

private:
    std::mt19937_64 engine;
};

// Byte classes the scanner treats differently, or must ignore alike.
enum ByteClass { digit, comma, close, open, space, sign, dot, letter, quote, high, nul, classCount };

char pick(Draw& draw, int byteClass) {
    static const std::string members[] = {"0123456789", ",", "]", "[", " \t\n\r", "+-", ".", "aeEzZ", "\"'"};
    switch (byteClass) {
    case high:
        return static_cast<char>(0x80 + draw.below(0x80));
    case nul:
        return '\0';
    default:
        const std::string& m = members[byteClass];
        return m[draw.below(m.size())];
    }
}

// Lengths spread over every order of magnitude up to maxLength, with the
// extremes drawn on purpose, and the edges of a 64-byte window and of a
// 4 KiB block, where a block scanner turns from whole windows to a padded
// tail and from one block to the next (1 KiB was once the read size).
std::size_t drawLength(Draw& draw) {
    static const std::size_t edges[] = {0,  1,    2,    3,    23,   24,   63,   64,
                                        65, 1023, 1024, 1025, 4095, 4096, 4097, maxLength};
    if (draw.below(4) == 0) {
        return edges[draw.below(std::size(edges))];
    }
    std::size_t scale = 10;
    for (std::size_t d = draw.below(5); d > 0; --d) {
        scale *= 10;
    }
    return draw.below(scale + 1);
}

// Noise: each input gets its own weights for the byte classes, so some are
// nearly all digits and some nearly all junk.
std::string noise(Draw& draw, std::size_t length) {
    int weights[classCount];
    int total = 0;
    for (int& w : weights) {
        w = static_cast<int>(draw.below(10));
        total += w;
    }
    weights[digit] += 1;
    total += 1;
    std::string text;
    text.reserve(length);
    while (text.size() < length) {
        int r = static_cast<int>(draw.below(static_cast<std::size_t>(total)));
        int c = 0;
        while (r >= weights[c]) {
            r -= weights[c++];
        }
        text += pick(draw, c);
    }
    return text;
}

// Real-looking pixel arrays, values up to 999, with stray bytes now and then.
std::string pixels(Draw& draw, std::size_t length) {
    std::string text = "{\"frame\": [";
    while (text.size() < length) {
        text += "[";
        for (int i = 0; i < 4; ++i) {
            text += std::to_string(draw.below(draw.below(8) == 0 ? 1000 : 256));
            text += i < 3 ? (draw.below(3) == 0 ? ", " : ",") : "]";
        }
        text += draw.below(16) == 0 ? std::string(1, pick(draw, static_cast<int>(draw.below(classCount))))
                                    : ",\n";
    }
    text.resize(length);
    return text;
}

// Delivers the text in pieces whose sizes come from piece(), each into an
// output buffer of exactly maxOutput bytes.
template <typename PieceSize>
Bytes convertInPieces(const ScanPath& path, const std::string& text, PieceSize piece) {
    Pipeline pipeline(path);
    Bytes output;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = std::min(piece(), text.size() - at);
        Bytes out(Pipeline::maxOutput(n));
        const std::size_t produced = pipeline.convert(text.data() + at, n, out.data());
        EXPECT_LE(produced, out.size());
        output.insert(output.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(produced));
        at += n;
    }
    return output;
}

void checkSeed(const ScanPath& path, std::uint64_t seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Draw draw(seed);
    const std::size_t length = drawLength(draw);
    const std::string text = draw.below(3) == 0 ? pixels(draw, length) : noise(draw, length);
    const Bytes expected = model::convert(text);

    const struct {
        const char* name;
        std::size_t low, high;
    } cuts[] = {{"whole", maxLength, maxLength},
                {"single bytes", 1, 1},
                {"pieces of 1 to 16", 1, 16},
                {"pieces of 63 to 65", 63, 65}, // windows that start a byte early or late
                {"pieces of 0 to 2048", 0, 2048},
                {"reads of 1024", 1024, 1024},
                {"pieces of 4095 to 4097", 4095, 4097}}; // blocks likewise
    for (const auto& cut : cuts) {
        const Bytes got =
            convertInPieces(path, text, [&] { return cut.low + draw.below(cut.high - cut.low + 1); });
        ASSERT_EQ(got, expected) << cut.name << ", length " << length;
    }
}

using Property = EachScanPath;

TEST_P(Property, CoreMatchesModelHoweverTheInputIsCut) {
    if (const char* only = std::getenv("PIXSTREAM_SEED")) {
        checkSeed(GetParam(), std::strtoull(only, nullptr, 0));
        return;
    }
    for (std::uint64_t seed = firstSeed; seed < firstSeed + inputCount && !HasFatalFailure(); ++seed) {
        checkSeed(GetParam(), seed);
    }
}

INSTANTIATE_TEST_SUITE_P(Path, Property, testing::ValuesIn(everyScanPath()), scanPathTestName);

} // namespace
