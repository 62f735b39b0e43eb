#include "RawIo.h"

#include <cerrno>
#include <cstdint>

#include <poll.h>
#include <unistd.h>

namespace {

// Waits until fd is ready when it was left non-blocking by whoever shares it.
bool waitFor(int fd, short events) {
    pollfd p{fd, events, 0};
    return poll(&p, 1, -1) >= 0 || errno == EINTR;
}

bool retries(int fd, short events) {
    return errno == EINTR || ((errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, events));
}

} // namespace

bool writeAll(int fd, const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const ssize_t written = write(fd, p, n);
        if (written < 0) {
            if (retries(fd, POLLOUT)) {
                continue;
            }
            return false;
        }
        p += written;
        n -= static_cast<std::size_t>(written);
    }
    return true;
}

ssize_t readSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = read(fd, buffer, size);
        if (got >= 0 || !retries(fd, POLLIN)) {
            return got;
        }
    }
}

std::size_t readFull(int fd, void* buffer, std::size_t size, bool& failed) {
    auto* p = static_cast<char*>(buffer);
    std::size_t have = 0;
    failed = false;
    while (have < size) {
        const ssize_t got = readSome(fd, p + have, size - have);
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        have += static_cast<std::size_t>(got);
    }
    return have;
}
