#ifndef PIXSTREAM_SCANPATH_H
#define PIXSTREAM_SCANPATH_H

// How Pipeline scans its input. Every path but bytes is a block scanner that
// takes 64 bytes at a time, whatever they hold, and must give the same bytes
// as the bytewise scanner.
enum class ScanPath {
    bytes,    // the bytewise scanner, one byte at a time: the reference
    portable, // the block scanner in plain C++, for any CPU
    ssse3,    // x86-64 with SSSE3 and POPCNT, for CPUs without AVX2
    avx2,     // x86-64 with AVX2 (and BMI1, BMI2, LZCNT)
    avx512,   // x86-64 with AVX-512 byte permute and compress (BW, VBMI, VBMI2)
    neon,     // arm64, and 32-bit ARM with NEON
};

constexpr ScanPath allScanPaths[] = {ScanPath::bytes, ScanPath::portable, ScanPath::ssse3,
                                     ScanPath::avx2,  ScanPath::avx512,   ScanPath::neon};

// Whether the running CPU (and operating system) can take this path.
bool supported(ScanPath path);

// The fastest path the running CPU supports; asked once, when the program
// starts, since the answer cannot change during a run.
ScanPath fastestScanPath();

// The path's name as the benchmark tools spell it ("bytes", "avx2", ...).
const char* scanPathName(ScanPath path);

#endif
