#include "Pipeline.h"

#include <cstdio>
#include <cstdlib>

Pipeline::Pipeline(ScanPath path) : blockScanner(path.scanner) {
    if (!path.supported()) {
        std::fprintf(stderr, "pixstream: this CPU lacks the %s scan path\n", path.name);
        std::abort();
    }
}

std::size_t Pipeline::convert(const char* in, std::size_t n, std::uint8_t* out) {
    return blockScanner != nullptr ? blockScanner(carry, in, n, out) : scanBytes(in, n, out);
}

std::size_t Pipeline::scanBytes(const char* in, std::size_t n, std::uint8_t* out) {
    std::uint8_t* o = out; // local, so that it may live in a register
    for (const char* const end = in + n; in != end; ++in) {
        deserializer.process(*in);
        if (deserializer.hasNext()) {
            imageProcessor.process(deserializer.next());
            if (imageProcessor.hasNext()) {
                const OutputPixel pixel = imageProcessor.next();
                *o++ = pixel.channels[0];
                *o++ = pixel.channels[1];
                *o++ = pixel.channels[2];
            }
        }
    }
    return static_cast<std::size_t>(o - out);
}
