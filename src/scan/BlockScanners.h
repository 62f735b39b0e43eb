#ifndef PIXSTREAM_SCAN_BLOCKSCANNERS_H
#define PIXSTREAM_SCAN_BLOCKSCANNERS_H

#include "BlockScanState.h"

#include <cstddef>
#include <cstdint>

// The block scanners, one per instruction set, each the whole conversion of
// in[0..n) into out with its state in carry, as Pipeline::convert promises.
// Each must be called only where the CPU has its instruction set.
using BlockScanFunction = std::size_t (*)(BlockScanState& carry, const char* in, std::size_t n,
                                          std::uint8_t* out);

std::size_t scanPortable(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
#if defined(__x86_64__)
std::size_t scanSsse3(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
std::size_t scanAvx2(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
std::size_t scanAvx512(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
#endif

// NEON: on every arm64 CPU, and on 32-bit ARM with hardware floating point,
// whose CPU may or may not have it; little-endian only. GCC compiles the
// 32-bit kernel alone for NEON, clang only a program built for NEON.
#if (defined(__aarch64__) ||                                                                                 \
     (defined(__arm__) && defined(__ARM_FP) && (defined(__ARM_NEON) || !defined(__clang__)))) &&             \
    !defined(__ARM_BIG_ENDIAN)
#define PIXSTREAM_NEON_KERNEL
std::size_t scanNeon(BlockScanState& carry, const char* in, std::size_t n, std::uint8_t* out);
#endif

#endif
