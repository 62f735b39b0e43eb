#include "ImageProcessor.h"

OutputPixel ImageProcessor::next() {
    OutputPixel result{};
    for (int i = 0; i < 3; ++i) {
        result.channels[i] = static_cast<std::uint8_t>(sums[i] / pixelCount);
        sums[i] = 0;
    }
    pixelCount = 0;
    return result;
}
