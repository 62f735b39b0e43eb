#ifndef PIXSTREAM_RAWIO_H
#define PIXSTREAM_RAWIO_H

#include <cstddef>

#include <sys/types.h>

// Reads and writes on raw descriptors, for the filter and the preview alike:
// each retries what the kernel interrupts or cuts short, and waits on a
// descriptor left non-blocking by whoever shares it. Each leaves errno as the
// failed call set it.

// Writes all n bytes; false when a write fails.
bool writeAll(int fd, const void* data, std::size_t n);

// Reads what is available, at least one byte; 0 at end of input, -1 on error.
ssize_t readSome(int fd, char* buffer, std::size_t size);

// Reads until the buffer holds size bytes or the input ends, so a frame is
// whole when it returns size. Returns the bytes read; failed is set when a
// read fails, and the bytes read before it are still counted.
std::size_t readFull(int fd, void* buffer, std::size_t size, bool& failed);

#endif
