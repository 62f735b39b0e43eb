#include "ImageProcessor.h"

void ImageProcessor::process(FenwyViewDataPixel pixel) {
    for (int i = 0; i < 3; ++i) {
        sums[i] += pixel.colors[channelOrder[i]];
    }
    ++pixelCount;
}

bool ImageProcessor::hasNext() const { return pixelCount == 6; }

OutputPixel ImageProcessor::next() {
    OutputPixel result{};
    for (int i = 0; i < 3; ++i) {
        result.channels[i] = static_cast<std::uint8_t>(sums[i] / pixelCount);
        sums[i] = 0;
    }
    pixelCount = 0;
    return result;
}
