#include "ImageProcessor.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using Out = std::array<int, 3>;

// Pushes the pixels in order and returns every output pixel they finish.
std::vector<Out> reduce(const std::vector<FenwyViewDataPixel>& pixels) {
    ImageProcessor processor;
    std::vector<Out> outputs;
    for (const FenwyViewDataPixel& pixel : pixels) {
        processor.process(pixel);
        if (processor.hasNext()) {
            const OutputPixel out = processor.next();
            outputs.push_back({out.channels[0], out.channels[1], out.channels[2]});
        }
    }
    return outputs;
}

std::vector<FenwyViewDataPixel> times(int n, FenwyViewDataPixel pixel) {
    return std::vector<FenwyViewDataPixel>(static_cast<std::size_t>(n), pixel);
}

TEST(ImageProcessor, AveragesInChannelOrder) {
    const struct {
        const char* rule;
        std::vector<FenwyViewDataPixel> pixels;
        std::vector<Out> expected;
    } cases[] = {
        {"channels take colors 1, 0, 2", times(6, {{10, 20, 30, 40}}), {{20, 10, 30}}},
        {"color 3 is dropped", times(6, {{255, 0, 0, 255}}), {{0, 255, 0}}},
        {"floor, not round",
         {{{0, 0, 0, 0}}, {{0, 0, 0, 0}}, {{0, 0, 0, 0}}, {{0, 0, 0, 0}}, {{0, 0, 0, 0}}, {{0, 5, 0, 0}}},
         {{0, 0, 0}}},
        {"1529 / 6 is 254",
         {{{255, 0, 0, 0}},
          {{255, 0, 0, 0}},
          {{255, 0, 0, 0}},
          {{255, 0, 0, 0}},
          {{255, 0, 0, 0}},
          {{254, 0, 0, 0}}},
         {{0, 254, 0}}},
        {"maximum", times(6, {{255, 255, 255, 255}}), {{255, 255, 255}}},
        {"five pixels give nothing", times(5, {{9, 9, 9, 9}}), {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reduce(c.pixels), c.expected) << c.rule;
    }
}

TEST(ImageProcessor, NextResetsSums) {
    std::vector<FenwyViewDataPixel> pixels = times(6, {{255, 255, 255, 255}});
    const std::vector<FenwyViewDataPixel> second = times(6, {{1, 2, 3, 4}});
    pixels.insert(pixels.end(), second.begin(), second.end());
    EXPECT_EQ(reduce(pixels), (std::vector<Out>{{255, 255, 255}, {2, 1, 3}}));
}

} // namespace
