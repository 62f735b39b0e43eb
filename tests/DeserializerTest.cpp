#include "Deserializer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Colors = std::vector<int>;

// Feeds text byte by byte and returns every value of every finished pixel.
Colors scan(const std::string& text) {
    Deserializer deserializer;
    Colors values;
    for (const char ch : text) {
        deserializer.process(ch);
        if (deserializer.hasNext()) {
            const FenwyViewDataPixel pixel = deserializer.next();
            values.insert(values.end(), pixel.colors, pixel.colors + 4);
        }
    }
    return values;
}

struct Case {
    const char* rule;
    std::string input;
    Colors expected;
};

const char withNulText[] = "\x80"
                           "1\xff"
                           "2\0,3,4,5,";
const std::string withNul(withNulText, sizeof withNulText - 1);

// Each input ends in enough plain values to complete its pixel, so every
// value the rule yields shows up in the result.
const Case cases[] = {
    {"plain pixel", "[[255,0,0,255]]", {255, 0, 0, 255}},
    {"third digit ends a value at once", "1234,0,0,", {123, 4, 0, 0}},
    {"stale digits after 1234, are not read", "1234,56,7,", {123, 4, 56, 7}},
    {"terminator after three digits does nothing", "100,200,300,255,", {100, 200, 44, 255}},
    {"terminator with no digit does nothing", ",],[,1,],[2,,3]]4]", {1, 2, 3, 4}},
    {"ignored bytes do not split a value", "1 2,-5,1.5,{\"x\":9,", {12, 5, 15, 9}},
    {"leading zeros", "007,0,00,000", {7, 0, 0, 0}},
    {"low 8 bits", "256,999,511,257", {0, 231, 255, 1}},
    {"digits in keys count", "frame1:[10,2,3,4]", {110, 2, 3, 4}},
    {"grouping by count across brackets", "[[1,2,3],[4,5,6,7,8]]", {1, 2, 3, 4, 5, 6, 7, 8}},
    {"bytes from 0x80 up and NUL are ignored", withNul, {12, 3, 4, 5}},
    {"unfinished value at the end is dropped", "1,2,3,4,5,6,7,8,12", {1, 2, 3, 4, 5, 6, 7, 8}},
    {"three digits at the end finish", "1,2,3,123", {1, 2, 3, 123}},
    {"incomplete pixel is dropped", "1,2,3,", {}},
    {"empty input", "", {}},
};

TEST(Deserializer, ScanningRules) {
    for (const Case& c : cases) {
        EXPECT_EQ(scan(c.input), c.expected) << c.rule;
    }
}

// The pixel is ready right after its last value finishes: at the third digit
// of a three-digit value, at the terminator of a shorter one.
TEST(Deserializer, PixelReadyWhenFourthValueFinishes) {
    const struct {
        std::string input;
        std::size_t readyAt;
    } readiness[] = {{"[[255,0,0,255]]", 12}, {"[[1,2,3,4]]", 9}};
    for (const auto& r : readiness) {
        Deserializer deserializer;
        for (std::size_t i = 0; i < r.input.size(); ++i) {
            deserializer.process(r.input[i]);
            EXPECT_EQ(deserializer.hasNext(), i == r.readyAt) << r.input << " at " << i;
            if (deserializer.hasNext()) {
                deserializer.next();
            }
        }
    }
}

// Plain char is signed on x86-64 and unsigned on arm64; on both, a byte
// other than a digit, ',' or ']' neither adds a digit nor ends a value. Among
// them are 0xB0-0xB9, 0xAC and 0xDD: the digits, ',' and ']' with the top bit
// set, which a scanner that masks or sign-extends would take for them.
TEST(Deserializer, EveryOtherByteIsIgnored) {
    for (int byte = 0; byte < 256; ++byte) {
        if ((byte >= '0' && byte <= '9') || byte == ',' || byte == ']') {
            continue;
        }
        const std::string b(1, static_cast<char>(byte));
        const std::string input =
            b + "1" + b + "2" + b + "," + b + "3" + b + "," + b + "4" + b + "5" + b + "6" + b + "7" + b + ",";
        EXPECT_EQ(scan(input), (Colors{12, 3, 200, 7})) << "byte " << byte;
    }
}

} // namespace
