#ifndef PIXSTREAM_SCANKERNELS_H
#define PIXSTREAM_SCANKERNELS_H

#include "ImageProcessor.h"

#include <cstdint>

// The vector paths: each runs the window scanner (ScanWindows.h) compiled
// for its instruction set, and must be called only where the CPU has it.
using WindowScanFunction = const char* (*)(const char* p, const char* end, ImageProcessor& imageProcessor,
                                           std::uint8_t*& out);

#if defined(__x86_64__)
const char* scanWindowsAvx2(const char* p, const char* end, ImageProcessor& imageProcessor,
                            std::uint8_t*& out);
const char* scanWindowsAvx512(const char* p, const char* end, ImageProcessor& imageProcessor,
                              std::uint8_t*& out);
#endif

#endif
