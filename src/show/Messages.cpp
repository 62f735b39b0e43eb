#include "Messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int failure(const char* what) {
    std::fprintf(stderr, "pixstream-show: %s: %s\n", what, std::strerror(errno));
    return 1;
}

int complaint(const char* text) {
    std::fprintf(stderr, "pixstream-show: %s\n", text);
    return 1;
}

int droppedBytes(std::size_t bytes) {
    std::fprintf(stderr, "pixstream-show: the stream ends inside an LED: %zu byte%s dropped\n", bytes,
                 bytes == 1 ? "" : "s");
    return 1;
}
