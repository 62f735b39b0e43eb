#include "Pipeline.h"

#include "ScanWindows.h"

#include <algorithm>

namespace {

WindowScanFunction kernelFor(ScanPath path) {
    switch (path) {
#if defined(__x86_64__)
    case ScanPath::avx2:
        return scanWindowsAvx2;
    case ScanPath::avx512:
        return scanWindowsAvx512;
#endif
    default:
        return nullptr;
    }
}

// Deserializer::process(ch), called from two branches on whether ch is a
// digit: in each inlined copy the compiler knows the answer and drops the
// tests that cannot hold (a digit is never ',' or ']'; any other byte stores
// nothing). bench/ measured 5 to 25 percent more bytes per second than a
// single call, with process() itself, the reference, untouched.
inline void feed(Deserializer& deserializer, char ch) {
    if (ch >= '0' && ch <= '9') { // NOLINT(bugprone-branch-clone): the two copies are the point
        deserializer.process(ch);
    } else {
        deserializer.process(ch);
    }
}

} // namespace

Pipeline::Pipeline(ScanPath path) : windowScanner(supported(path) ? kernelFor(path) : nullptr) {}

std::size_t Pipeline::convert(const char* in, std::size_t n, std::uint8_t* out) {
    std::uint8_t* const start = out;
    const char* p = in;
    const char* const end = in + n;
    if (windowScanner == nullptr) {
        scanAllBytes(p, end, out);
        return static_cast<std::size_t>(out - start);
    }
    while (p != end) {
        if (atPixelBoundary && bytesBeforeRetry == 0 && end - p >= 64) {
            const char* const resume = windowScanner(p, end, imageProcessor, out);
            // Less than a window taken is a refusal: a few bytes of
            // punctuation before a fault are not worth the kernel's time.
            if (resume - p < 64) {
                bytesBeforeRetry = backoff;
                backoff = backoff < maxBackoff ? 2 * backoff : maxBackoff;
            } else {
                backoff = minBackoff;
            }
            p = resume;
        }
        p = scanBytes(p, end, out);
    }
    return static_cast<std::size_t>(out - start);
}

// The bytewise scanner alone: the reference every other path must match.
void Pipeline::scanAllBytes(const char* p, const char* end, std::uint8_t*& output) {
    std::uint8_t* out = output; // local, so that it may live in a register
    for (; p != end; ++p) {
        feed(deserializer, *p);
        if (deserializer.hasNext()) {
            emit(imageProcessor, deserializer.next(), out);
        }
    }
    output = out;
}

// The bytewise scanner between vector stretches: first the bytes the
// backoff still owes, as plainly as the bytewise path, then on to the next
// pixel boundary, where the kernel may try again.
const char* Pipeline::scanBytes(const char* p, const char* end, std::uint8_t*& output) {
    if (bytesBeforeRetry != 0) {
        const std::size_t owed = std::min(bytesBeforeRetry, static_cast<std::size_t>(end - p));
        scanAllBytes(p, p + owed, output);
        p += owed;
        bytesBeforeRetry -= owed;
        atPixelBoundary = false;
    }
    std::uint8_t* out = output;
    while (p != end) {
        feed(deserializer, *p++);
        if (deserializer.hasNext()) {
            emit(imageProcessor, deserializer.next(), out);
            atPixelBoundary = true;
            output = out;
            return p;
        }
    }
    atPixelBoundary = false;
    output = out;
    return p;
}
