#include "TerminalView.h"

#include "RawIo.h"
#include "Rgb.h"

#include <cstring>

namespace {

// Appends value in decimal, without leading zeros.
char* decimal(char* out, std::uint8_t value) {
    if (value >= 100) {
        *out++ = static_cast<char>('0' + value / 100);
    }
    if (value >= 10) {
        *out++ = static_cast<char>('0' + value / 10 % 10);
    }
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

} // namespace

bool TerminalView::put(const char* text, std::size_t n) {
    if (used + n > sizeof buffer && !flush()) {
        return false;
    }
    std::memcpy(buffer + used, text, n);
    used += n;
    return true;
}

bool TerminalView::putSpaces(std::size_t n) {
    while (n > 0) {
        if (used == sizeof buffer && !flush()) {
            return false;
        }
        const std::size_t room = sizeof buffer - used;
        const std::size_t now = n < room ? n : room;
        std::memset(buffer + used, ' ', now);
        used += now;
        n -= now;
    }
    return true;
}

bool TerminalView::flush() {
    const bool written = writeAll(output, buffer, used);
    used = 0;
    return written;
}

bool TerminalView::draw(const std::uint8_t* frame, std::size_t leds) {
    for (std::size_t line = 0; line < scale; ++line) {
        for (std::size_t i = 0; i < leds; ++i) {
            const Rgb colour = Rgb::fromWire(frame + 3 * i);
            // ESC [48;2;255;255;255m at the longest
            char cell[32] = "\033[48;2;";
            char* end = cell + 7;
            end = decimal(end, colour.red);
            *end++ = ';';
            end = decimal(end, colour.green);
            *end++ = ';';
            end = decimal(end, colour.blue);
            *end++ = 'm';
            if (!put(cell, static_cast<std::size_t>(end - cell)) || !putSpaces(scale)) {
                return false;
            }
        }
        if (!put("\033[0m\n", 5)) {
            return false;
        }
    }
    return flush();
}
