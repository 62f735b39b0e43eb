#include "Pipeline.h"

namespace {

BlockScanFunction blockScannerFor(ScanPath path) {
    if (!supported(path)) {
        return nullptr;
    }
    switch (path) {
    case ScanPath::portable:
        return scanPortable;
#if defined(__x86_64__)
    case ScanPath::ssse3:
        return scanSsse3;
    case ScanPath::avx2:
        return scanAvx2;
    case ScanPath::avx512:
        return scanAvx512;
#endif
#if defined(PIXSTREAM_NEON_KERNEL)
    case ScanPath::neon:
        return scanNeon;
#endif
    default:
        return nullptr;
    }
}

} // namespace

Pipeline::Pipeline(ScanPath path) : blockScanner(blockScannerFor(path)) {}

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
