// pixstream-filter: the program's own read loop around one chosen scan path,
// so that whole-process benchmarks can compare paths on the same machine.
// Writes what `pixstream 30` writes.

#include "ConvertStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include <unistd.h>

int main(int argc, char** argv) {
    const ScanPath* const end = std::end(allScanPaths);
    const ScanPath* const chosen = std::find_if(std::begin(allScanPaths), end, [&](ScanPath path) {
        return argc == 2 && std::strcmp(argv[1], scanPathName(path)) == 0 && supported(path);
    });
    if (chosen != end) {
        Pipeline pipeline(*chosen);
        return convertStream(pipeline, 30, STDIN_FILENO, STDOUT_FILENO);
    }
    std::fputs("usage: pixstream-filter PATH, one of the scan paths this CPU supports:", stderr);
    for (const ScanPath path : allScanPaths) {
        if (supported(path)) {
            std::fprintf(stderr, " %s", scanPathName(path));
        }
    }
    std::fputc('\n', stderr);
    return 2;
}
