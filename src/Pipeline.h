#ifndef PIXSTREAM_PIPELINE_H
#define PIXSTREAM_PIPELINE_H

#include "Deserializer.h"
#include "ImageProcessor.h"
#include "ScanPath.h"
#include "scan/BlockScanState.h"

#include <cstddef>
#include <cstdint>

// Carries input bytes through scanning and averaging and appends three bytes
// per output pixel to a buffer. Keeps its state between calls, so input may
// arrive in pieces of any size.
//
// The scan path is chosen once, at construction. On the bytewise path every
// byte goes through the scanner and the reducer in the calling order both
// rely on; that path is the reference. A block scanner does the same work
// 64 bytes at a time, with its own state, and gives the same bytes.
class Pipeline {
public:
    // A path the CPU lacks is refused: the program stops with a message on
    // standard error rather than run instructions the CPU does not have, or
    // quietly run another path in its place.
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

    // Whether convert() runs a block scanner: on every path but the bytewise one.
    bool scansInBlocks() const { return blockScanner != nullptr; }

private:
    std::size_t scanBytes(const char* in, std::size_t n, std::uint8_t* out);

    BlockScanFunction blockScanner; // null on the bytewise path
    BlockScanState carry{};
    Deserializer deserializer;
    ImageProcessor imageProcessor;
};

#endif
