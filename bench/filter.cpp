// pixstream-filter: the program's own read loop around one chosen scan path,
// so that whole-process benchmarks can compare paths on the same machine.
// Writes what `pixstream 30` writes.

#include "ConvertStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <unistd.h>

int main(int argc, char** argv) {
    const ScanPathList paths = scanPaths();
    const ScanPath* const chosen = std::find_if(paths.begin(), paths.end(), [&](const ScanPath& path) {
        return argc == 2 && std::strcmp(argv[1], path.name) == 0 && path.supported();
    });
    if (chosen != paths.end()) {
        Pipeline pipeline(*chosen);
        return convertStream(pipeline, 30, STDIN_FILENO, STDOUT_FILENO);
    }
    std::fputs("usage: pixstream-filter PATH, one of the scan paths this CPU supports:", stderr);
    for (const ScanPath& path : paths) {
        if (path.supported()) {
            std::fprintf(stderr, " %s", path.name);
        }
    }
    std::fputc('\n', stderr);
    return 2;
}
