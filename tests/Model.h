#ifndef PIXSTREAM_MODEL_H
#define PIXSTREAM_MODEL_H

// The whole conversion written the slow, obvious way, for the property test
// and the fuzzers to check the program against. It shares no code with the
// scanner or the reducer and works on the whole input at once: first every
// value, then pixels by four, then averages by six. Keep it plain; its worth
// is that it is easy to check by eye.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace model {

// Every finished value in the text, low 8 bits kept.
inline std::vector<int> values(std::string_view text) {
    std::vector<int> found;
    std::string pending;
    for (const char ch : text) {
        const bool digit = ch >= '0' && ch <= '9';
        if (digit) {
            pending += ch;
        }
        const bool terminator = ch == ',' || ch == ']';
        if (pending.size() == 3 || (!pending.empty() && terminator)) {
            found.push_back(std::stoi(pending) % 256);
            pending.clear();
        }
    }
    return found;
}

// The output bytes after the header: for every 24 values (six pixels of
// four), the floor of the mean of colours 1, 0 and 2, in that order.
inline std::vector<std::uint8_t> convert(std::string_view text) {
    const std::vector<int> all = values(text);
    std::vector<std::uint8_t> out;
    for (std::size_t first = 0; first + 24 <= all.size(); first += 24) {
        for (const std::size_t color : {1u, 0u, 2u}) {
            int sum = 0;
            for (std::size_t pixel = 0; pixel < 6; ++pixel) {
                sum += all[first + 4 * pixel + color];
            }
            out.push_back(static_cast<std::uint8_t>(sum / 6));
        }
    }
    return out;
}

} // namespace model

#endif
