#ifndef PIXSTREAM_DESERIALIZER_H
#define PIXSTREAM_DESERIALIZER_H

#include "Pixels.h"

#include <cstdint>

// Turns input text, one byte at a time, into pixels of four colour values.
//
// Only the digits 0-9 and the two bytes ',' and ']' mean anything; every
// other byte is skipped, so the text need not be valid JSON. A value ends at
// its third digit or at the next ',' or ']' after at least one digit, and
// keeps the low 8 bits of its decimal value. Every four values make a pixel,
// whatever brackets stand between them.
//
// Calling order: after every process(), ask hasNext(); when it is true, take
// the pixel with next() before the next process(). A caller that skips next()
// makes the following value land past the end of pixel.colors.
class Deserializer {
public:
    Deserializer();
    // cursor points into this object's own digits, so a copy would go on
    // writing into the original's.
    Deserializer(const Deserializer&) = delete;
    Deserializer& operator=(const Deserializer&) = delete;

    // Defined below: Pipeline's bytewise path calls these once per input
    // byte, so the compiler must see them to inline them into its loop.
    void process(char ch);
    bool hasNext() const { return colorCount >= 4; }
    FenwyViewDataPixel next() {
        colorCount = 0;
        return pixel;
    }

private:
    bool colorFinished(char ch) const;

    // At most three digits and the zero that ends them. cursor never rests
    // past digits[2] between calls: a third digit finishes its value in the
    // same call, so the zero always fits.
    char digits[4];
    char* cursor;
    FenwyViewDataPixel pixel;
    std::int32_t colorCount;
};

inline void Deserializer::process(char ch) {
    if (ch >= '0' && ch <= '9') {
        *cursor++ = ch;
    }
    if (!colorFinished(ch)) {
        return;
    }
    // Stale digits behind the zero never count: after "1234," the buffer
    // holds "4\0" then "3\0", and the second value reads as 4.
    *cursor = '\0';
    // The decimal value of the one to three digits before the zero, exactly
    // as atoi reads them, chosen by length rather than looped over, since the
    // length is what the branch predictor cannot guess.
    const auto length = cursor - digits;
    const unsigned one = static_cast<unsigned>(digits[0] - '0');
    const unsigned two = one * 10 + static_cast<unsigned>(digits[1] - '0');
    const unsigned three = two * 10 + static_cast<unsigned>(digits[2] - '0');
    const unsigned value = length == 1 ? one : length == 2 ? two : three;
    pixel.colors[colorCount] = static_cast<std::uint8_t>(value);
    ++colorCount;
    cursor = digits;
}

inline bool Deserializer::colorFinished(char ch) const {
    if (cursor == digits) {
        return false; // a terminator with no digit before it changes nothing
    }
    if (cursor >= digits + 3) {
        return true; // three digits end a value at once, terminator or not
    }
    return ch == ',' || ch == ']';
}

#endif
