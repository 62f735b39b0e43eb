// Arbitrary bytes through the scanner and the reducer, by their calling
// protocol, against the model. Catches writes past digits[3] or colors[3]
// (under the sanitizers), a protocol slip, and any byte read by the wrong
// rule.

#include "Deserializer.h"
#include "ImageProcessor.h"
#include "Model.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

void dump(const char* what, const std::vector<std::uint8_t>& bytes) {
    std::fprintf(stderr, "%s (%zu bytes):", what, bytes.size());
    for (const std::uint8_t b : bytes) {
        std::fprintf(stderr, " %02x", b);
    }
    std::fputc('\n', stderr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // libFuzzer hands over bytes; the program reads chars.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Deserializer deserializer;
    ImageProcessor imageProcessor;
    std::vector<std::uint8_t> got;
    for (const char ch : text) {
        deserializer.process(ch);
        if (!deserializer.hasNext()) {
            continue;
        }
        imageProcessor.process(deserializer.next());
        if (deserializer.hasNext()) {
            std::fputs("Deserializer::hasNext still true after next\n", stderr);
            std::abort();
        }
        if (imageProcessor.hasNext()) {
            const OutputPixel pixel = imageProcessor.next();
            got.insert(got.end(), pixel.channels, pixel.channels + 3);
        }
    }
    const std::vector<std::uint8_t> expected = model::convert(text);
    if (got != expected) {
        dump("program", got);
        dump("model", expected);
        std::abort();
    }
    return 0;
}
