// pixstream-filter: the program's own read loop around one chosen scan path,
// so that whole-process benchmarks can compare paths on the same machine.
// Writes what `pixstream 30` writes.

#include "ConvertStream.h"

#include <cstdio>
#include <cstring>

#include <unistd.h>

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
    Pipeline pipeline(static_cast<ScanPath>(path));
    return convertStream(pipeline, 30, STDIN_FILENO, STDOUT_FILENO);
}
