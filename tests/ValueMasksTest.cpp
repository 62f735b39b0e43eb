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

// Bit i set where text[i] is a digit, and where it is a digit or terminator.
struct Masks {
    std::uint64_t digits = 0;
    std::uint64_t kept = 0;
};

Masks masksOf(const std::string& text) {
    Masks m;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        m.digits |= std::uint64_t{digit ? 1u : 0u} << i;
        m.kept |= std::uint64_t{digit || text[i] == ',' || text[i] == ']' ? 1u : 0u} << i;
    }
    return m;
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

// Reads text (at most 64 bytes) in place, after a group left open by
// `carried`, its digits as text ("" to "12").
Result read(const std::string& text, const std::string& carried) {
    const Masks masks = masksOf(text);
    const ValueMasks m = ValueMasks::of(masks.digits, masks.kept, static_cast<unsigned>(carried.size()));
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
    {"ignored bytes in place change nothing", " [12 ,\n  3 ]", "", {{12, 3}, 0, 0}},
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

// In place the digits of a run must be adjacent, and a group left open
// must go on at byte 0 if anywhere.
TEST(ValueMasks, InPlaceOnlyWhereDigitsAreAdjacent) {
    const struct {
        std::string text;
        unsigned pending;
        bool inPlace;
    } windows[] = {
        {"[12, 3]", 0, true}, {"1 2,", 0, false}, {"1.5,", 0, false}, {"123 4,", 0, false},
        {"12 ,3", 0, true},   {" 5,", 1, false},  {"5,", 1, true},    {" ,5", 1, true},
    };
    for (const auto& w : windows) {
        const Masks masks = masksOf(w.text);
        EXPECT_EQ(ValueMasks::inPlace(masks.digits, masks.kept, w.pending), w.inPlace)
            << "[" << w.text << "] after " << w.pending << " open digits";
    }
}

// A one-byte gap within a group closes by moving the digits after it down
// one place; the closed window reads in place as the packed one would.
// Shown with ' ' where a byte is no longer kept; "" where closing cannot
// make the window readable in place.
TEST(ValueMasks, GapClosersMoveDigitsDownOverOneByteGaps) {
    const struct {
        const char* rule;
        std::string text;
        unsigned pending;
        std::string closed;
    } windows[] = {
        {"a decimal point", "12.5,", 0, "125 ,"},
        {"a space in a value", "2 55,", 0, "255 ,"},
        {"several groups, a sign left as it is", "-0.75,1.5]", 0, "-075 ,15 ]"},
        {"byte 0 between the open group and byte 1", ".5,", 1, "5 ,"},
        {"a second gap in the same run", "1.2.3,", 0, ""},
        {"a gap of two bytes", "12  5,", 0, ""},
        {"an exponent after a decimal point", "1.25e-05,", 0, ""},
        {"the open group goes on two bytes in", "  5,", 2, ""},
    };
    for (const auto& w : windows) {
        const Masks m = masksOf(w.text);
        const std::uint64_t stray = ValueMasks::strays(m.digits, m.kept, w.pending);
        ASSERT_NE(stray, 0u) << w.rule;
        const std::uint64_t movers = ValueMasks::gapClosers(m.digits, m.kept, w.pending, stray);
        std::string closed;
        if (movers != 0) {
            const std::uint64_t vacated = movers & ~(movers >> 1);
            for (std::size_t i = 0; i < w.text.size(); ++i) {
                closed += ((vacated >> i) & 1u) != 0 ? ' ' : w.text[i + (((movers >> 1) >> i) & 1u)];
            }
            const Masks c = masksOf(closed);
            EXPECT_EQ(ValueMasks::closed(m.digits, movers), c.digits) << w.rule;
            EXPECT_EQ(ValueMasks::closed(m.kept, movers), c.kept) << w.rule;
            EXPECT_TRUE(ValueMasks::inPlace(c.digits, c.kept, w.pending)) << w.rule;
        }
        EXPECT_EQ(closed, w.closed) << w.rule << ": [" << w.text << "]";
    }
}

} // namespace
