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

    void process(char ch);
    bool hasNext() const;
    FenwyViewDataPixel next();

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

#endif
