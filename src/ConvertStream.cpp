#include "ConvertStream.h"

#include "RawIo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// 64 KiB, the most a pipe holds: smaller reads cost measurably more system
// calls per byte on the block scan paths, larger ones gain nothing.
constexpr std::size_t readSize = 65536;

int fail(const char* what) {
    std::fprintf(stderr, "pixstream: %s error: %s\n", what, std::strerror(errno));
    return 1;
}

} // namespace

int convertStream(Pipeline& pipeline, std::uint8_t header, int input, int output) {
    if (!writeAll(output, &header, 1)) {
        return fail("write");
    }
    char in[readSize];
    std::uint8_t out[Pipeline::maxOutput(readSize)];
    for (;;) {
        const ssize_t got = readSome(input, in, sizeof in);
        if (got == 0) {
            return 0;
        }
        if (got < 0) {
            return fail("read");
        }
        const std::size_t produced = pipeline.convert(in, static_cast<std::size_t>(got), out);
        if (!writeAll(output, out, produced)) {
            return fail("write");
        }
    }
}
