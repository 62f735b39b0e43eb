// pixstream-gen: writes deterministic JSON pixel text of a given size to
// standard output, a block at a time, so that multi-gigabyte inputs can be
// piped straight into the program under test.

#include "PixelText.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace {

bool writeAll(const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t written = write(STDOUT_FILENO, p, n);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        p += written;
        n -= static_cast<std::size_t>(written);
    }
    return true;
}

// "65M" and the like, in powers of 1024.
bool parseSize(const char* text, std::uint64_t& size) {
    char* end = nullptr;
    errno = 0;
    size = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text) {
        return false;
    }
    const char* units = "KMG";
    if (*end != '\0') {
        const char* unit = std::strchr(units, *end);
        if (unit == nullptr || end[1] != '\0') {
            return false;
        }
        size <<= 10 * (unit - units + 1);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int layout = -1;
    for (int i = 0; argc >= 3 && i < layoutCount; ++i) {
        if (std::strcmp(argv[1], layoutNames[i]) == 0) {
            layout = i;
        }
    }
    std::uint64_t size = 0;
    std::uint64_t seed = 1;
    if (argc < 3 || argc > 4 || layout < 0 || !parseSize(argv[2], size) ||
        (argc == 4 && !parseSize(argv[3], seed))) {
        std::fprintf(stderr, "usage: pixstream-gen "
                             "compact|spaced|pretty|keyed|numbered|split|padded|noise|decimal|long|mesh "
                             "SIZE[K|M|G] [SEED]\n"
                             "Writes at least SIZE bytes: whole pixels, then the closing brackets.\n");
        return 2;
    }

    PixelText text(static_cast<Layout>(layout), seed);
    static char block[65536];
    std::uint64_t written = 0;
    while (written < size) {
        // Room for just enough pixels to reach size, so small inputs stay small.
        const std::uint64_t room = size - written + PixelText::maxPixelText - 1;
        // The smaller of the two fits in size_t even where it has 32 bits.
        const std::size_t n =
            text.fill(block, static_cast<std::size_t>(room < sizeof block ? room : sizeof block));
        if (!writeAll(block, n)) {
            return 1;
        }
        written += n;
    }
    return writeAll(block, text.finish(block)) ? 0 : 1;
}
