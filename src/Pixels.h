#ifndef PIXSTREAM_PIXELS_H
#define PIXSTREAM_PIXELS_H

#include <cstdint>

// One input pixel: its four colour values in the order they appear in the input.
struct FenwyViewDataPixel {
    std::uint8_t colors[4];
};

// One output pixel: three channels in the order they are written out.
struct OutputPixel {
    std::uint8_t channels[3];
};

#endif
