#include "Pipeline.h"

std::size_t Pipeline::convert(const char* in, std::size_t n, std::uint8_t* out) {
    std::uint8_t* const start = out;
    for (std::size_t i = 0; i < n; ++i) {
        deserializer.process(in[i]);
        if (!deserializer.hasNext()) {
            continue;
        }
        imageProcessor.process(deserializer.next());
        if (!imageProcessor.hasNext()) {
            continue;
        }
        const OutputPixel pixel = imageProcessor.next();
        *out++ = pixel.channels[0];
        *out++ = pixel.channels[1];
        *out++ = pixel.channels[2];
    }
    return static_cast<std::size_t>(out - start);
}
