#include "scan/ValueMasks.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// The mask arithmetic on single windows, against values worked out by hand
// from the scanning rules: where values end, what they add up to, and what
// is carried into the next window. The differential tests run it through
// every kernel; these name the rule that broke.

namespace {

// Bit i set where text[i] is a digit.
std::uint64_t digitsOf(const std::string& text) {
    std::uint64_t digits = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        digits |= std::uint64_t{text[i] >= '0' && text[i] <= '9' ? 1u : 0u} << i;
    }
    return digits;
}

// The dense stream of text: its digits and terminators, in order.
std::string dense(const std::string& text) {
    std::string kept;
    for (const char c : text) {
        if ((c >= '0' && c <= '9') || c == ',' || c == ']') {
            kept += c;
        }
    }
    return kept;
}

struct Result {
    std::vector<int> values; // finished ones, then the running value of an open group
    unsigned pending;
    unsigned closesPending;
    bool operator==(const Result& o) const {
        return values == o.values && pending == o.pending && closesPending == o.closesPending;
    }
};

// GoogleTest finds a printer by this name.
void PrintTo(const Result& r, std::ostream* os) { // NOLINT(readability-identifier-naming)
    *os << "values";
    for (const int v : r.values) {
        *os << ' ' << v;
    }
    *os << ", pending " << r.pending << ", closes " << r.closesPending;
}

// Reads the dense stream of text (1 to 64 bytes of it), after a group left
// open by `carried`, its digits as text ("" to "12").
Result read(const std::string& input, const std::string& carried) {
    const std::string text = dense(input);
    const ValueMasks m = ValueMasks::of(digitsOf(text), static_cast<unsigned>(text.size()),
                                        static_cast<unsigned>(carried.size()));
    const std::string all = std::string(2 - carried.size(), '0') + carried + text;
    Result result{{}, m.pending, m.closesPending};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (((m.take >> i) & 1u) != 0) {
            const int tens = ((m.tens >> i) & 1u) != 0 ? all[i + 1] - '0' : 0;
            const int hundreds = ((m.hundreds >> i) & 1u) != 0 ? all[i] - '0' : 0;
            result.values.push_back((100 * hundreds + 10 * tens + all[i + 2] - '0') % 256);
        }
    }
    return result;
}

std::vector<int> withLast(std::vector<int> values, int last) {
    values.push_back(last);
    return values;
}

const struct {
    const char* rule;
    std::string text;
    std::string carried;
    Result expected;
} cases[] = {
    {"terminators end short values", "12,3],45]", "", {{12, 3, 45}, 0, 0}},
    {"a third digit ends a value, its terminator nothing", "123,4,", "", {{123, 4}, 0, 0}},
    {"a long run is cut in threes", "1234567,", "", {{123, 456 % 256, 7}, 0, 0}},
    {"the low 8 bits are kept", "999,256,", "", {{231, 0}, 0, 0}},
    {"an open group is taken last, unfinished", "12,34", "", {{12, 34}, 2, 0}},
    {"a group left open by one digit goes on", "23,", "1", {{123}, 0, 0}},
    {"a group left open by two digits ends at once", "3456,", "12", {{123, 456 % 256}, 0, 0}},
    {"a terminator first ends the group left open", ",7,", "12", {{7}, 0, 1}},
    {"a terminator first with nothing open does nothing", ",7,", "", {{7}, 0, 0}},
    {"so does the first terminator after ignored bytes", " \n ,7,", "1", {{7}, 0, 1}},
    {"ignored bytes, dropped, change nothing", " [12 ,\n  3 ]", "", {{12, 3}, 0, 0}},
    {"an open group before ignored bytes stays open", "5,12  ", "", {{5, 12}, 2, 0}},
    // 999 is 231; 21 threes, then the 64th digit, or the 63rd and 64th
    {"a run of the whole window", std::string(64, '9'), "", {withLast(std::vector<int>(21, 231), 9), 1, 0}},
    {"a whole window after one open digit",
     std::string(64, '9'),
     "9",
     {withLast(std::vector<int>(21, 231), 99), 2, 0}},
};

TEST(ValueMasks, FindsTheValuesTheRulesGive) {
    for (const auto& c : cases) {
        EXPECT_EQ(read(c.text, c.carried), c.expected) << c.rule << ": [" << c.text << "]";
    }
}

} // namespace
