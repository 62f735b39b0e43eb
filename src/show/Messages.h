#ifndef PIXSTREAM_SHOW_MESSAGES_H
#define PIXSTREAM_SHOW_MESSAGES_H

#include <cstddef>

// The program's one-line reports on standard error, each starting with its
// name. Those that end the run return its status, so a caller writes
// `return failure(...)`.

// "pixstream-show: WHAT: <strerror(errno)>"; returns 1.
int failure(const char* what);

// "pixstream-show: TEXT"; returns 1.
int complaint(const char* text);

// The warning for a stream that ends inside an LED, naming the bytes left
// over; returns 1, since they are lost.
int droppedBytes(std::size_t bytes);

#endif
