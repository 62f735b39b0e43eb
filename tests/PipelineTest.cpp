#include "Pipeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Converts text delivered in pieces of the given sizes, cycling through them.
Bytes convertInPieces(const std::string& text, const std::vector<std::size_t>& pieces) {
    Pipeline pipeline;
    Bytes output;
    std::size_t at = 0;
    for (std::size_t i = 0; at < text.size(); ++i) {
        const std::size_t n = std::min(pieces[i % pieces.size()], text.size() - at);
        Bytes out(Pipeline::maxOutput(n));
        out.resize(pipeline.convert(text.data() + at, n, out.data()));
        output.insert(output.end(), out.begin(), out.end());
        at += n;
    }
    return output;
}

const std::string sixPixels =
    "[[10,20,30,40],[10,20,30,40],[10,20,30,40],[10,20,30,40],[10,20,30,40],[10,20,30,40]]";

TEST(Pipeline, SixPixelsGiveOneOutputPixel) {
    EXPECT_EQ(convertInPieces(sixPixels, {sixPixels.size()}), (Bytes{0x14, 0x0A, 0x1E}));
    EXPECT_EQ(convertInPieces(sixPixels + ",[1,2,3,4]", {4096}), (Bytes{0x14, 0x0A, 0x1E}));
}

// State carries across calls: any cut of the input gives the same bytes,
// whether it splits a value's digits or parts them from their terminator.
TEST(Pipeline, AnySplitGivesTheSameBytes) {
    std::string text;
    for (int i = 0; i < 60; ++i) {
        text += "[" + std::to_string(i * 7 % 300) + ", " + std::to_string(i % 10) +
                ",\"k\":" + std::to_string(i * 13 % 1000) + ",1234],";
    }
    const Bytes whole = convertInPieces(text, {text.size()});
    ASSERT_FALSE(whole.empty());
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        Pipeline pipeline;
        Bytes out(Pipeline::maxOutput(text.size()) * 2);
        std::size_t n = pipeline.convert(text.data(), cut, out.data());
        n += pipeline.convert(text.data() + cut, text.size() - cut, out.data() + n);
        out.resize(n);
        ASSERT_EQ(out, whole) << "cut at " << cut;
    }
    for (const std::vector<std::size_t>& pieces : {std::vector<std::size_t>{1}, {2, 3}, {7, 1, 64}}) {
        EXPECT_EQ(convertInPieces(text, pieces), whole) << "pieces of " << pieces[0];
    }
}

// The densest input, one-digit values, after 23 values left waiting, must
// fit the room maxOutput promises.
TEST(Pipeline, OutputFitsMaxOutput) {
    for (std::size_t n = 0; n < 200; ++n) {
        Pipeline pipeline;
        const std::string waiting = "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1";
        Bytes scratch(Pipeline::maxOutput(waiting.size()));
        ASSERT_EQ(pipeline.convert(waiting.data(), waiting.size(), scratch.data()), 0u);
        std::string chunk = ",";
        while (chunk.size() < n) {
            chunk += "9,";
        }
        chunk.resize(n);
        Bytes out(Pipeline::maxOutput(n) + 8, 0xEE);
        const std::size_t produced = pipeline.convert(chunk.data(), n, out.data());
        EXPECT_LE(produced, Pipeline::maxOutput(n)) << n;
        EXPECT_EQ(out[Pipeline::maxOutput(n)], 0xEE) << n;
    }
}

} // namespace
