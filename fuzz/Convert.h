#ifndef PIXSTREAM_FUZZ_CONVERT_H
#define PIXSTREAM_FUZZ_CONVERT_H

// What the fuzzers that compare scan paths share: conversion into an exactly
// sized buffer, and a dump of both outputs before they abort on a difference.

#include "Pipeline.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

// Converts text[0..n) in one call into an exactly sized heap buffer, so an
// overrun shows under the address sanitizer.
inline void convert(Pipeline& pipeline, const char* text, std::size_t n, Bytes& output) {
    const std::size_t room = Pipeline::maxOutput(n);
    const std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[room]);
    const std::size_t produced = pipeline.convert(text, n, out.get());
    if (produced > room) {
        std::fprintf(stderr, "%zu bytes of input gave %zu output bytes, room for %zu\n", n, produced, room);
        std::abort();
    }
    output.insert(output.end(), out.get(), out.get() + produced);
}

inline void dump(const char* what, const Bytes& bytes) {
    std::fprintf(stderr, "%s (%zu bytes):", what, bytes.size());
    for (const std::uint8_t b : bytes) {
        std::fprintf(stderr, " %02x", b);
    }
    std::fputc('\n', stderr);
}

} // namespace fuzz

#endif
