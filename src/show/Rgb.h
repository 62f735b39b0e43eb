#ifndef PIXSTREAM_SHOW_RGB_H
#define PIXSTREAM_SHOW_RGB_H

#include <cstdint>

// One LED's colour in the order the JSON input gave it: red, green, blue.
// pixstream writes an LED's three bytes in the order many strips take them,
// input colours 1, 0, 2 (green, red, blue); fromWire undoes that, and is the
// one place the preview knows the order.
struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;

    // led: the three bytes of one LED as pixstream wrote them.
    static Rgb fromWire(const std::uint8_t* led) { return {led[1], led[0], led[2]}; }
};

#endif
