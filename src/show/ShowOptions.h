#ifndef PIXSTREAM_SHOW_SHOWOPTIONS_H
#define PIXSTREAM_SHOW_SHOWOPTIONS_H

#include <cstddef>

// What the command line asks for:
//   pixstream-show --leds N [--scale K] [--png FILE]
// Options take their value as the next argument or after '=' (--leds=60);
// a repeated option's last value wins, as with getopt.
struct ShowOptions {
    // The widest row, in pixels (--png) or terminal cells: leds x scale. It
    // bounds the buffers, which are allocated once, and is the most a PNG
    // reader takes by default (libpng's user limit).
    static constexpr std::size_t maxRow = 1000000;

    std::size_t leds = 0;
    std::size_t scale = 1;
    const char* png = nullptr; // the picture's file name; "-" is standard output
    bool help = false;

    // Reads argv into options. On bad use it writes one line naming the fault
    // and the usage line to standard error and returns false.
    static bool parse(int argc, char** argv, ShowOptions& options);
};

// The usage line, as SYNOPSIS gives it, with a newline.
extern const char showUsage[];

#endif
