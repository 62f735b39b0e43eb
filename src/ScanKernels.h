#ifndef PIXSTREAM_SCANKERNELS_H
#define PIXSTREAM_SCANKERNELS_H

#include "ScanCarry.h"

#include <cstddef>
#include <cstdint>

// The block scanners, one per instruction set, each the whole conversion of
// in[0..n) into out with its state in carry, as Pipeline::convert promises.
// Each must be called only where the CPU has its instruction set.
using BlockScanFunction = std::size_t (*)(ScanCarry& carry, const char* in, std::size_t n, std::uint8_t* out);

std::size_t scanPortable(ScanCarry& carry, const char* in, std::size_t n, std::uint8_t* out);
#if defined(__x86_64__)
std::size_t scanAvx2(ScanCarry& carry, const char* in, std::size_t n, std::uint8_t* out);
std::size_t scanAvx512(ScanCarry& carry, const char* in, std::size_t n, std::uint8_t* out);
#endif

#endif
