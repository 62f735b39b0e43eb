#ifndef PIXSTREAM_IMAGEPROCESSOR_H
#define PIXSTREAM_IMAGEPROCESSOR_H

#include "Pixels.h"

#include <cstdint>

// Averages every six input pixels into one output pixel. Output channel i is
// the floor of the mean of input color channelOrder[i]; input color 3 is
// dropped.
//
// Calling order: after every process(), ask hasNext(); when it is true, take
// the result with next(), which also resets the sums. A caller that skips
// next() pushes pixelCount past 6 and never sees hasNext() again; next() on
// an empty processor would divide by zero.
//
// Six values of at most 255 sum to 1530, so the sums cannot overflow and
// every average fits in 8 bits.
class ImageProcessor {
public:
    // Inline: the bytewise path calls these for every pixel.
    void process(FenwyViewDataPixel pixel) {
        for (int i = 0; i < 3; ++i) {
            sums[i] += pixel.colors[channelOrder[i]];
        }
        ++pixelCount;
    }
    bool hasNext() const { return pixelCount == 6; }
    OutputPixel next() {
        OutputPixel result{};
        for (int i = 0; i < 3; ++i) {
            result.channels[i] = static_cast<std::uint8_t>(sums[i] / pixelCount);
            sums[i] = 0;
        }
        pixelCount = 0;
        return result;
    }

private:
    static constexpr std::int32_t channelOrder[4] = {1, 0, 2, 3};

    std::uint32_t sums[3] = {};
    std::uint8_t pixelCount = 0;
};

#endif
