// Stands in for libFuzzer when the fuzzers are built with any compiler: runs
// the fuzz target once on every file named, or in a directory named, so the
// committed corpus replays in every test run and the targets never go stale.
// A target may report what its inputs reached, and fail the replay with it
// (Replay.h).

#include "Replay.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.is_open() || in.bad()) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    // Handed over in a buffer of exactly the input's size, so that a read
    // past its end shows under the address sanitizer.
    const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    LLVMFuzzerTestOneInput(exact.get(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> files{argv[i]};
        if (std::filesystem::is_directory(argv[i])) {
            files.assign(std::filesystem::directory_iterator(argv[i]), std::filesystem::directory_iterator());
            std::sort(files.begin(), files.end());
        }
        for (const auto& file : files) {
            if (!replay(file)) {
                return 1;
            }
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    const bool reached = replayReport == nullptr || replayReport();
    // An empty corpus would pass while proving nothing.
    return replayed > 0 && reached ? 0 : 1;
}
