#ifndef PIXSTREAM_PIPELINE_H
#define PIXSTREAM_PIPELINE_H

#include "Deserializer.h"
#include "ImageProcessor.h"
#include "ScanKernels.h"
#include "ScanPath.h"

#include <cstddef>
#include <cstdint>

// Carries input bytes through the scanner and the reducer, in the calling
// order both rely on, and appends three bytes per output pixel to a buffer.
// Keeps its state between calls, so input may arrive in pieces of any size.
//
// With a vector path, well-formed stretches skip the bytewise scanner: the
// kernel finds the values 64 bytes at a time and the pixels they make go
// straight to the reducer. Whatever the kernel declines, and every value the
// bytewise scanner has begun, stays with the bytewise scanner, so the output
// is the same byte for byte.
class Pipeline {
public:
    explicit Pipeline(ScanPath path = fastestScanPath());

    // Room convert() may need for n input bytes. A finished value takes at
    // least two bytes of the chunk (a digit and a terminator, or three
    // digits), except one that began in an earlier chunk; 24 values make an
    // output pixel, and up to 23 may be waiting from earlier chunks. So
    // n bytes yield at most 3 * (n + 47) / 48 <= n / 16 + 3 output bytes.
    static constexpr std::size_t maxOutput(std::size_t n) { return n / 16 + 3; }

    // Consumes in[0..n) and writes the finished output pixels to out, which
    // must hold maxOutput(n) bytes. Returns the number of bytes written.
    std::size_t convert(const char* in, std::size_t n, std::uint8_t* out);

private:
    void scanAllBytes(const char* p, const char* end, std::uint8_t*& out);
    const char* scanBytes(const char* p, const char* end, std::uint8_t*& out);

    Deserializer deserializer;
    ImageProcessor imageProcessor;
    WindowScanFunction windowScanner; // null on the bytewise path
    // True when the bytewise scanner holds no digit and no value of an
    // unfinished pixel, so the kernel may take over at the next byte.
    bool atPixelBoundary = true;
    // After the kernel takes less than a window, the bytewise scanner keeps
    // the input for at least this many more bytes; doubled on each refusal,
    // so input the kernel cannot take costs almost nothing extra.
    std::size_t backoff = minBackoff;
    std::size_t bytesBeforeRetry = 0;
    static constexpr std::size_t minBackoff = 64;
    static constexpr std::size_t maxBackoff = 4096;
};

#endif
