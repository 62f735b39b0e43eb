#include "ConvertStream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace {

// 64 KiB, the most a pipe holds: smaller reads cost measurably more system
// calls per byte on the block scan paths, larger ones gain nothing.
constexpr std::size_t readSize = 65536;

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
