// pixstream: reads pixels as JSON text on standard input and writes a binary
// colour stream on standard output: one byte for the frame rate given as the
// only argument, then three bytes for every six pixels, averaged.
//
// The output of each read is written before the next read, so the filter can
// sit in a live pipeline. A failed read or write ends the run with one line on
// standard error and status 1, after everything produced so far is written;
// callers such as `set -e` scripts rely on that status.

#include "ConvertStream.h"

#include <cstdint>
#include <cstdio>

#include <unistd.h>

namespace {

constexpr char programName[] = "pixstream";

// atoi's reading of the frame rate (leading white space, one sign, digits up
// to the first non-digit, none giving 0), computed modulo 256: the same byte
// as atoi's low 8 bits wherever atoi is defined, and defined for any length.
std::uint8_t fpsByte(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '+' || *text == '-') {
        ++text;
    }
    unsigned value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = (value * 10 + static_cast<unsigned>(*text - '0')) & 0xFFu;
    }
    return static_cast<std::uint8_t>(negative ? 0u - value : value);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        // The usage text goes to standard output, where callers expect it.
        // With no argv[0] (or the empty one Linux substitutes for it) the
        // program has no name as invoked, so it uses its own.
        const char* name = (argc > 0 && argv[0] != nullptr && argv[0][0] != '\0') ? argv[0] : programName;
        std::fputs("Usage: ", stdout);
        std::fputs(name, stdout);
        std::fputs(" fps \n", stdout);
        return 255;
    }
    Pipeline pipeline;
    return convertStream(pipeline, fpsByte(argv[1]), STDIN_FILENO, STDOUT_FILENO);
}
