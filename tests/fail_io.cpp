// Preloaded (LD_PRELOAD) into the program by the end-to-end tests, so that its
// reads of standard input and writes to standard output fail, or fall short,
// on cue deep inside a long stream, as a flaky disk, a full device or a
// signal would. Set in the environment:
//
//   PIXSTREAM_FAIL_READ=N:ERR   the Nth read of standard input fails with ERR
//   PIXSTREAM_FAIL_WRITE=N:ERR  the Nth write to standard output fails with ERR
//   PIXSTREAM_READ_MAX=K        a read of standard input returns at most K bytes
//   PIXSTREAM_WRITE_MAX=K       a write to standard output takes at most K bytes
//
// ERR is one of EIO, ENOSPC, EPIPE, EINTR, EAGAIN. A short read keeps the
// bytes consumed before the Nth read exactly (N-1)*K, whatever the program's
// buffer size, so the tests can tell what output must precede the failure.

#include <dlfcn.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

using ReadFunction = ssize_t (*)(int, void*, std::size_t);
using WriteFunction = ssize_t (*)(int, const void*, std::size_t);

struct Fault {
    long at = 0; // 1-based call number; 0 for none
    int error = 0;
};

Fault parseFault(const char* name) {
    Fault fault;
    const char* text = std::getenv(name);
    if (text == nullptr) {
        return fault;
    }
    char* rest = nullptr;
    fault.at = std::strtol(text, &rest, 10);
    static const struct {
        const char* name;
        int error;
    } errors[] = {{"EIO", EIO}, {"ENOSPC", ENOSPC}, {"EPIPE", EPIPE}, {"EINTR", EINTR}, {"EAGAIN", EAGAIN}};
    for (const auto& e : errors) {
        if (*rest == ':' && std::strcmp(rest + 1, e.name) == 0) {
            fault.error = e.error;
        }
    }
    if (fault.error == 0) {
        std::abort(); // a typo in a test must not pass as "no fault"
    }
    return fault;
}

std::size_t parseLimit(const char* name) {
    const char* text = std::getenv(name);
    return text == nullptr ? 0 : std::strtoul(text, nullptr, 10);
}

// The symbol behind ours: libc's, or the address sanitizer's in that build.
template <typename Function> Function next(const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    if (symbol == nullptr) {
        std::abort();
    }
    Function function = nullptr;
    std::memcpy(&function, &symbol, sizeof function);
    return function;
}

// Counts a call and tells whether it is the one to fail, setting errno.
bool failsNow(long& calls, const Fault& fault) {
    if (++calls != fault.at) {
        return false;
    }
    errno = fault.error;
    return true;
}

ssize_t faultyRead(int fd, void* buffer, std::size_t size) {
    static const auto realRead = next<ReadFunction>("read");
    static const Fault fault = parseFault("PIXSTREAM_FAIL_READ");
    static const std::size_t limit = parseLimit("PIXSTREAM_READ_MAX");
    static long calls = 0;
    if (fd != 0) {
        return realRead(fd, buffer, size);
    }
    if (failsNow(calls, fault)) {
        return -1;
    }
    return realRead(fd, buffer, limit != 0 && size > limit ? limit : size);
}

} // namespace

extern "C" ssize_t read(int fd, void* buffer, std::size_t size) { return faultyRead(fd, buffer, size); }

// With _FORTIFY_SOURCE, reads into a buffer of known size call this instead.
// NOLINTNEXTLINE(bugprone-reserved-identifier): glibc's name, to replace it
extern "C" ssize_t __read_chk(int fd, void* buffer, std::size_t size, std::size_t room) {
    if (size > room) {
        std::abort();
    }
    return faultyRead(fd, buffer, size);
}

extern "C" ssize_t write(int fd, const void* data, std::size_t size) {
    static const auto realWrite = next<WriteFunction>("write");
    static const Fault fault = parseFault("PIXSTREAM_FAIL_WRITE");
    static const std::size_t limit = parseLimit("PIXSTREAM_WRITE_MAX");
    static long calls = 0;
    if (fd != 1) {
        return realWrite(fd, data, size);
    }
    if (failsNow(calls, fault)) {
        return -1;
    }
    return realWrite(fd, data, limit != 0 && size > limit ? limit : size);
}
