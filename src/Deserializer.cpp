#include "Deserializer.h"

#include <cstdlib>

Deserializer::Deserializer() : digits{}, cursor(digits), pixel(), colorCount(0) {}

void Deserializer::process(char ch) {
    if (ch >= '0' && ch <= '9') {
        *cursor++ = ch;
    }
    if (!colorFinished(ch)) {
        return;
    }
    // Stale digits behind the zero are never read: after "1234," the buffer
    // holds "4\0" then "3\0", and the second value reads as 4.
    *cursor = '\0';
    // digits holds one to three ASCII digits and a zero, so atoi cannot fail.
    pixel.colors[colorCount] = static_cast<std::uint8_t>(std::atoi(digits)); // NOLINT(cert-err34-c)
    ++colorCount;
    cursor = digits;
}

bool Deserializer::colorFinished(char ch) const {
    if (cursor == digits) {
        return false; // a terminator with no digit before it changes nothing
    }
    if (cursor >= digits + 3) {
        return true; // three digits end a value at once, terminator or not
    }
    return ch == ',' || ch == ']';
}

bool Deserializer::hasNext() const { return colorCount >= 4; }

FenwyViewDataPixel Deserializer::next() {
    colorCount = 0;
    return pixel;
}
