#include "EachScanPath.h"
#include "Pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

// The block scan paths against the bytewise scanner: same input, same bytes
// out, however the input is cut into pieces and wherever a pattern falls
// within a 64-byte window. One test per block path, skipped where the CPU
// lacks it.

namespace {

using Bytes = std::vector<std::uint8_t>;

// Converts text in pieces whose sizes are drawn from sizes, cycling.
Bytes convert(const ScanPath& path, const std::string& text, const std::vector<std::size_t>& sizes) {
    Pipeline pipeline(path);
    Bytes output(Pipeline::maxOutput(text.size()) + 3 * sizes.size() + 3);
    std::size_t written = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; at < text.size(); ++i) {
        const std::size_t n = std::min(sizes[i % sizes.size()], text.size() - at);
        written += pipeline.convert(text.data() + at, n, output.data() + written);
        at += n;
    }
    output.resize(written);
    return output;
}

std::string value(std::mt19937& random, int most) {
    return std::to_string(std::uniform_int_distribution<int>(0, most)(random));
}

// Inputs of each shape the filter meets, and shapes meant to trip it.
std::string generate(std::mt19937& random, int shape, std::size_t pixels) {
    std::string text = shape == 3 ? "{\"frame1\": {\"w\": 640, \"pixels\": [" : "[";
    for (std::size_t i = 0; i < pixels; ++i) {
        const char* open = shape == 1 ? "[ " : shape == 2 ? "\n  [\n    " : "[";
        const char* comma = shape == 1 ? ", " : shape == 2 ? ",\n    " : ",";
        text += i == 0 ? open : std::string(shape == 1 ? ", " : ",") + open;
        for (int c = 0; c < 4; ++c) {
            text += value(random, random() % 16 == 0 ? 999 : 255);
            text += c < 3 ? comma : shape == 2 ? "\n  ]" : "]";
        }
    }
    text += shape == 3 ? "]}}" : "]";
    return text;
}

// Random bytes from an alphabet weighted towards what matters to the scanner.
std::string noise(std::mt19937& random, std::size_t length) {
    static const char alphabet[] = "0123456789012345678901234567,,,,]]]][ \n-+.e\"a:{}\x80\xff";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        const auto pick = random() % (sizeof alphabet);
        text += pick == sizeof alphabet - 1 ? '\0' : alphabet[pick];
    }
    return text;
}

// Well-formed text with a few odd runs dropped in: joined, long and
// unterminated ones among the plain values.
std::string mutate(std::mt19937& random, std::string text) {
    static const char* const faults[] = {"1 2,", "1234,", "12\"", "7", " ", "123", "99999,", "\x80", "\0"};
    const int count = static_cast<int>(random() % 8);
    for (int i = 0; i < count && !text.empty(); ++i) {
        const std::string fault = faults[random() % (sizeof faults / sizeof faults[0])];
        text.insert(random() % text.size(), fault.empty() ? std::string(1, '\0') : fault);
    }
    return text;
}

using BlockPath = EachScanPath;

// Else every test below would compare the bytewise scanner with itself.
TEST_P(BlockPath, RunsABlockScanner) { EXPECT_TRUE(Pipeline(GetParam()).scansInBlocks()); }

TEST_P(BlockPath, MatchesBytewiseScannerOnRandomInputs) {
    const ScanPath path = GetParam();
    const unsigned seed = 20261209;
    std::mt19937 random(seed);
    for (int round = 0; round < 400; ++round) {
        const int shape = round % 6;
        const std::size_t size = random() % (round % 50 == 0 ? 20000 : 600);
        const std::string text =
            shape < 4    ? generate(random, shape, size / 12)
            : shape == 4 ? noise(random, size)
                         : mutate(random, generate(random, static_cast<int>(random() % 4), size / 12));
        const Bytes expected = convert(bytewiseScanPath(), text, {text.size() + 1});
        const std::vector<std::size_t> cuts = {random() % 200 + 1, random() % 70 + 1, random() % 4096 + 1};
        ASSERT_EQ(convert(path, text, {text.size() + 1}), expected) << "seed " << seed << " round " << round;
        ASSERT_EQ(convert(path, text, cuts), expected)
            << "seed " << seed << " round " << round << " in pieces";
    }
}

// Each pattern at every offset of a window, between well-formed values, so
// it meets the window's start, its end and everything in between.
TEST_P(BlockPath, PatternsAtEveryOffsetOfAWindow) {
    const ScanPath path = GetParam();
    const std::string patterns[] = {
        "1 2,", "1234,", "12\"", "12", "123", "123,", "1,", "12]", "999,", "4567", "0,0,0,", "\"k9\":", "1",
        ",,", "]", "12 ,", "12\n  ]", "1 2 3 4,", "123 4,", "7" + std::string(70, ' ') + ",",
        "7" + std::string(70, ' ') + "8,",
        // digits parted by one ignored byte, and by more
        "0.75,", "-122.4194155123,", "1.25e-05,", "1.2.3,", "9 9 9,", "12 .5,", ".5,",
        // runs longer than a window, at each phase
        std::string(64, '5') + ",", std::string(65, '5') + ",", std::string(130, '5') + "]",
        "1" + std::string(63, ' ') + ",", "12" + std::string(62, ' ') + "3",
        // a short value soon after a group parted by an ignored byte: its
        // bytes reach back over the dropped one
        "1 2,3,", "1.25,6]"};
    std::mt19937 random(7);
    const std::string before = generate(random, 0, 6);
    const std::string after = generate(random, 1, 12);
    for (const std::string& pattern : patterns) {
        for (std::size_t offset = 0; offset < 130; ++offset) {
            std::string text = std::string(offset, ' ') + "1," + pattern + before + pattern + after + pattern;
            const Bytes expected = convert(bytewiseScanPath(), text, {text.size()});
            ASSERT_EQ(convert(path, text, {text.size()}), expected)
                << "pattern " << pattern << " offset " << offset;
            ASSERT_EQ(convert(path, text, {64 + offset % 7, 100}), expected)
                << "pattern " << pattern << " offset " << offset << " in pieces";
        }
    }
}

// Long stretches with many gaps and with none, in one call and in calls of
// 64 KiB and a little more: blocks whose dense streams are short and long,
// and windows of each cut by the blocks' ends.
TEST_P(BlockPath, LongStretchesWithGapsAndWithout) {
    const ScanPath path = GetParam();
    std::mt19937 random(11);
    std::string text;
    for (int stretch = 0; stretch < 6; ++stretch) {
        text += stretch % 2 == 0 ? noise(random, 70000) : generate(random, stretch % 4, 6000);
    }
    const Bytes expected = convert(bytewiseScanPath(), text, {text.size()});
    ASSERT_EQ(convert(path, text, {text.size()}), expected);
    ASSERT_EQ(convert(path, text, {65536 + 3, 4096, 1}), expected) << "in pieces";
}

// Every text of up to 11 bytes over a digit, a terminator and an ignored
// byte, each in a call of its own, so in a window of its own, after a call
// that leaves 0, 1 or 2 digits of a group open: every way a short window
// can meet the group carried into it. One stream holds them all, read twice,
// the second time a value later, so that every value lands once in a
// colour that reaches the output (colour 3 never does).
TEST_P(BlockPath, EveryShortWindowAfterEveryOpenGroup) {
    const ScanPath path = GetParam();
    constexpr std::size_t longest = 11;
    for (const std::string first : {"", "0,"}) {
        Pipeline reference(bytewiseScanPath());
        Pipeline pipeline(path);
        Bytes expected;
        Bytes got;
        const auto feed = [&](const std::string& piece) {
            const std::size_t before = got.size();
            expected.resize(expected.size() + Pipeline::maxOutput(piece.size()));
            got.resize(before + Pipeline::maxOutput(piece.size()));
            expected.resize(before + reference.convert(piece.data(), piece.size(), expected.data() + before));
            got.resize(before + pipeline.convert(piece.data(), piece.size(), got.data() + before));
            return expected.size() == got.size() &&
                   std::equal(got.begin() + static_cast<std::ptrdiff_t>(before), got.end(),
                              expected.begin() + static_cast<std::ptrdiff_t>(before));
        };
        ASSERT_TRUE(feed(first));
        std::string text;
        for (std::size_t length = 1, cases = 3; length <= longest; ++length, cases *= 3) {
            for (std::size_t c = 0; c < cases; ++c) {
                text.clear();
                for (std::size_t i = 0, k = c; i < length; ++i, k /= 3) {
                    // digits 1 to 9 by place, so that a value's tens and
                    // hundreds show; both terminators; two ignored bytes
                    text += k % 3 == 0   ? static_cast<char>('1' + (i + c) % 9)
                            : k % 3 == 1 ? ",]"[i % 2]
                                         : " ."[i % 2];
                }
                for (const char* open : {",", ",7", ",78"}) {
                    // A value read wrongly shows once its output pixel is
                    // complete, up to 23 values later: a few texts on.
                    ASSERT_TRUE(feed(open) && feed(text))
                        << "at or before [" << text << "] after [" << open << "]";
                }
            }
        }
    }
}

// The table of paths: the reference first, every other path a block
// scanner, each name once, the program's choice one the CPU has.
TEST(ScanPaths, TableHoldsOneReferenceAndNamedBlockScanners) {
    const ScanPathList paths = scanPaths();
    ASSERT_NE(paths.begin(), paths.end());
    EXPECT_EQ(paths.begin()->scanner, nullptr);
    EXPECT_STREQ(paths.begin()->name, "bytes");
    std::vector<std::string> names;
    for (const ScanPath* path = paths.begin(); path != paths.end(); ++path) {
        EXPECT_EQ(path->scanner == nullptr, path == paths.begin()) << path->name;
        EXPECT_EQ(std::count(names.begin(), names.end(), path->name), 0) << path->name;
        names.emplace_back(path->name);
    }
    EXPECT_TRUE(fastestScanPath().supported());
    EXPECT_NE(fastestScanPath().scanner, nullptr);
}

// Rather than run instructions the CPU lacks, or another path in its place.
TEST(ScanPaths, APathTheCpuLacksIsRefused) {
    const ScanPath lacking{"lacking", [] { return false; }, nullptr};
    EXPECT_DEATH(Pipeline{lacking}, "this CPU lacks the lacking scan path");
}

INSTANTIATE_TEST_SUITE_P(Path, BlockPath, testing::ValuesIn(blockScanPaths()), scanPathTestName);

} // namespace
