#ifndef PIXSTREAM_SHOW_TERMINALVIEW_H
#define PIXSTREAM_SHOW_TERMINALVIEW_H

#include <cstddef>
#include <cstdint>

// Draws frames as lines of coloured cells on a terminal with 24-bit colour.
// Each LED is a background colour, ESC [48;2;R;G;Bm, then scale spaces; each
// line ends with ESC [0m, so that no colour runs past it, and a newline; a
// frame is scale such lines. An LED is so scale cells wide and scale lines
// tall, a K x K square of cells as --png draws K x K pixels (cells are taller
// than wide on most terminals, so it looks twice as tall as wide).
//
// draw writes the whole frame before it returns: nothing is held back, so a
// live pipe shows each frame as soon as its last LED has come.
class TerminalView {
public:
    TerminalView(int fd, std::size_t cells) : output(fd), scale(cells) {}

    // Draws the leds LEDs of frame, three bytes each as pixstream wrote them;
    // false when a write fails (errno says why).
    bool draw(const std::uint8_t* frame, std::size_t leds);

private:
    bool put(const char* text, std::size_t n);
    bool putSpaces(std::size_t n);
    bool flush();

    int output;
    std::size_t scale;
    std::size_t used = 0;
    // Large enough for a frame of a few hundred LEDs in one write; a longer
    // one goes out in pieces, all before draw returns.
    char buffer[16384] = {};
};

#endif
