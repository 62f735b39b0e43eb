// pixstream-filter: the program's read-convert-write loop around one chosen
// scan path, so that whole-process benchmarks can compare paths on the same
// machine. Writes what `pixstream 30` writes.

#include "Pipeline.h"

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

bool writeAll(const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t written = write(STDOUT_FILENO, p, n);
        if (written <= 0) {
            return false;
        }
        p += written;
        n -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    static const char* const names[] = {"bytes", "avx2", "avx512"};
    int path = -1;
    for (int i = 0; argc == 2 && i < 3; ++i) {
        if (std::strcmp(argv[1], names[i]) == 0) {
            path = i;
        }
    }
    if (path < 0 || !supported(static_cast<ScanPath>(path))) {
        std::fprintf(stderr, "usage: pixstream-filter bytes|avx2|avx512 (a path this CPU supports)\n");
        return 2;
    }

    // As in src/main.cpp: 64 KiB reads, each read's output written at once.
    static char in[65536];
    static std::uint8_t out[Pipeline::maxOutput(sizeof in)];
    Pipeline pipeline(static_cast<ScanPath>(path));
    const std::uint8_t header = 30;
    if (!writeAll(&header, 1)) {
        return 1;
    }
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, in, sizeof in);
        if (got <= 0) {
            return got == 0 ? 0 : 1;
        }
        if (!writeAll(out, pipeline.convert(in, static_cast<std::size_t>(got), out))) {
            return 1;
        }
    }
}
