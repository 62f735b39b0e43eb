#ifndef PIXSTREAM_SCAN_BLOCKSCANNERS_H
#define PIXSTREAM_SCAN_BLOCKSCANNERS_H

#include "BlockScanState.h"

#include <cstddef>
#include <cstdint>

// A block scanner: the whole conversion of in[0..n) into out, with its state
// in carry, as Pipeline::convert promises, for one instruction set. Each
// must be called only where the CPU has its instruction set; the table of
// scan paths (ScanPath.cpp) names each one with its CPU check.
using BlockScanFunction = std::size_t (*)(BlockScanState& carry, const char* in, std::size_t n,
                                          std::uint8_t* out);

// NEON: on every arm64 CPU, and on 32-bit ARM with hardware floating point,
// whose CPU may or may not have it; little-endian only. GCC compiles the
// 32-bit kernel alone for NEON, clang only a program built for NEON.
#if (defined(__aarch64__) ||                                                                                 \
     (defined(__arm__) && defined(__ARM_FP) && (defined(__ARM_NEON) || !defined(__clang__)))) &&             \
    !defined(__ARM_BIG_ENDIAN)
#define PIXSTREAM_NEON_KERNEL
#endif

#endif
