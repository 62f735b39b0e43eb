// Bytes per second of the in-memory conversion, without the system calls:
// every scan path the CPU has against every layout, fed in chunks of the
// program's read size. Runs layout by layout, so only one input is held.

#include "Pipeline.h"
#include "PixelText.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::size_t inputSize = std::size_t{16} << 20;
// The read size of the program's read loop (readSize in src/ConvertStream.cpp).
constexpr std::size_t chunkSize = std::size_t{64} << 10;

const std::string& input(Layout layout) {
    static std::string text;
    static int made = -1;
    if (made != static_cast<int>(layout)) {
        PixelText generator(layout, 1);
        text.resize(inputSize + PixelText::maxPixelText);
        text.resize(generator.fill(text.data(), text.size()));
        made = static_cast<int>(layout);
    }
    return text;
}

void run(benchmark::State& state, const ScanPath& path, Layout layout) {
    const std::string& text = input(layout);
    std::vector<std::uint8_t> out(Pipeline::maxOutput(chunkSize));
    for (auto _ : state) {
        Pipeline pipeline(path);
        for (std::size_t at = 0; at < text.size(); at += chunkSize) {
            const std::size_t n = std::min(chunkSize, text.size() - at);
            benchmark::DoNotOptimize(pipeline.convert(text.data() + at, n, out.data()));
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

const bool registered = [] {
    for (int l = 0; l < layoutCount; ++l) {
        for (const ScanPath& path : scanPaths()) {
            if (path.supported()) {
                benchmark::RegisterBenchmark((std::string(path.name) + "/" + layoutNames[l]).c_str(), run,
                                             path, static_cast<Layout>(l));
            }
        }
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
