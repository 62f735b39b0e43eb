#ifndef PIXSTREAM_SHOW_RAWIO_H
#define PIXSTREAM_SHOW_RAWIO_H

#include <cstddef>

// Reads and writes on raw descriptors, retrying what the kernel interrupts or
// cuts short, and waiting on a descriptor left non-blocking by whoever shares
// it. Both leave errno as the failed call set it.

// Writes all n bytes; false when a write fails.
bool writeAll(int fd, const void* data, std::size_t n);

// Reads until the buffer holds size bytes or the input ends, so a frame is
// whole when it returns size. Returns the bytes read; failed is set when a
// read fails, and the bytes read before it are still counted.
std::size_t readFull(int fd, void* buffer, std::size_t size, bool& failed);

#endif
