// pixstream: reads pixels as JSON text on standard input and writes a binary
// colour stream on standard output: one byte for the frame rate given as the
// only argument, then three bytes for every six pixels, averaged.
//
// The output of each read is written before the next read, so the filter can
// sit in a live pipeline. A failed read or write ends the run with one line on
// standard error and status 1, after everything produced so far is written;
// callers such as `set -e` scripts rely on that status.

#include "Pipeline.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace {

constexpr char programName[] = "pixstream";
constexpr std::size_t readSize = 65536;

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

// Waits until fd is ready when it was left non-blocking by whoever shares it.
bool waitFor(int fd, short events) {
    pollfd p{fd, events, 0};
    return poll(&p, 1, -1) >= 0 || errno == EINTR;
}

bool writeAll(int fd, const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const ssize_t written = write(fd, p, n);
        if (written < 0) {
            if (errno == EINTR || ((errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLOUT))) {
                continue;
            }
            return false;
        }
        p += written;
        n -= static_cast<std::size_t>(written);
    }
    return true;
}

// Reads what is available, at least one byte; 0 at end of input, -1 on error.
ssize_t readSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = read(fd, buffer, size);
        if (got >= 0 ||
            !(errno == EINTR || ((errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLIN)))) {
            return got;
        }
    }
}

int fail(const char* what) {
    std::fprintf(stderr, "%s: %s error: %s\n", programName, what, std::strerror(errno));
    return 1;
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

    const std::uint8_t header = fpsByte(argv[1]);
    if (!writeAll(STDOUT_FILENO, &header, 1)) {
        return fail("write");
    }

    Pipeline pipeline;
    char in[readSize];
    std::uint8_t out[Pipeline::maxOutput(readSize)];
    for (;;) {
        const ssize_t got = readSome(STDIN_FILENO, in, sizeof in);
        if (got == 0) {
            return 0;
        }
        if (got < 0) {
            return fail("read");
        }
        const std::size_t produced = pipeline.convert(in, static_cast<std::size_t>(got), out);
        if (!writeAll(STDOUT_FILENO, out, produced)) {
            return fail("write");
        }
    }
}
