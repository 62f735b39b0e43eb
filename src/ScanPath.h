#ifndef PIXSTREAM_SCANPATH_H
#define PIXSTREAM_SCANPATH_H

// How Pipeline scans its input: byte by byte alone, or with a vector kernel
// that takes well-formed stretches 64 bytes at a time and hands the rest to
// the bytewise scanner.
enum class ScanPath {
    bytes,
    avx2,   // AVX2
    avx512, // AVX-512 with byte compress (BW and VBMI2)
};

// Whether the running CPU (and operating system) can take this path.
bool supported(ScanPath path);

// The fastest path the running CPU supports; asked once, when the program
// starts, since the answer cannot change during a run.
ScanPath fastestScanPath();

#endif
