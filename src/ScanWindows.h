#ifndef PIXSTREAM_SCANWINDOWS_H
#define PIXSTREAM_SCANWINDOWS_H

#include "ImageProcessor.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// Hands one pixel to the reducer and writes the output pixel it may finish.
inline void emit(ImageProcessor& imageProcessor, FenwyViewDataPixel pixel, std::uint8_t*& out) {
    imageProcessor.process(pixel);
    if (imageProcessor.hasNext()) {
        const OutputPixel result = imageProcessor.next();
        *out++ = result.channels[0];
        *out++ = result.channels[1];
        *out++ = result.channels[2];
    }
}

// What a vector kernel reports about one 64-byte window: bit i of each mask
// describes byte i.
struct WindowClasses {
    std::uint64_t digits;      // '0' to '9'
    std::uint64_t terminators; // ',' or ']'
};

// Takes 64-byte windows from p while they hold well-formed values: runs of
// one to three adjacent digits, where after a run of one or two the next
// byte that is not ignored is ',' or ']'. There each run is one value,
// exactly as the bytewise scanner reads it, because every other byte is one
// it ignores, or a terminator that ends the value before it or finds no
// digit. A window is cut short at the first run that breaks the pattern,
// and scanning stops there:
//   "1 2,"   digits parted by ignored bytes (the scanner joins them: 12)
//   "1234,"  four adjacent digits or more (the scanner reads 123, then 4)
// A short run with only ignored bytes after it in the window is no fault:
// the next window starts with it, to see what follows.
//
// Must start where the bytewise scanner holds nothing: no digit, no value of
// an unfinished pixel. Sends only whole pixels to the reducer, and returns
// where the bytewise scanner must resume: the first byte of the first value
// of an unfinished pixel, or of the run that broke the pattern, or of the
// tail shorter than a window. There the bytewise scanner again holds nothing,
// exactly as if it had read every byte before.
//
// Kernel supplies, compiled for its instruction set:
//   classify(window, queue, carry, waiting): the classes of the 64 bytes;
//     into queue, 64 bytes aligned to 64, the waiting low bytes of carry,
//     then in order, for every run of digits that ends in the window, the
//     low 8 bits of its decimal value (runs begin no earlier than the
//     window). The pixels are then read from queue four bytes at a time at
//     multiples of four, which a kernel that writes it in one store lets
//     the CPU forward from that store.
//   count(mask): the number of bits set.
// The start of the run of digits that holds bit at.
inline int startOfRun(std::uint64_t starts, int at) {
    // 2 << 63 wraps to 0, so the mask is then every bit, as it should be.
    return 63 - __builtin_clzll(starts & ((std::uint64_t{2} << at) - 1));
}

template <class Kernel>
inline const char* scanWindows(const char* p, const char* end, ImageProcessor& imageProcessor,
                               std::uint8_t*& output) {
    std::uint8_t* out = output; // local, so that it may live in a register
    // Values not yet sent on: at most three left from earlier windows, then
    // this window's, at most 32 (each takes two bytes or more). Where the
    // first of those left waiting begins is kept as a window and the number
    // of runs before it there, resolved on return.
    alignas(64) std::uint8_t queue[64];
    std::uint32_t carry = 0; // the values left waiting, first in the low byte
    std::size_t waiting = 0;
    const char* startWindow = p;
    std::uint64_t startRuns = 0;
    std::size_t startSkip = 0;
    while (end - p >= 64) {
        const WindowClasses classes = Kernel::classify(p, queue, carry, waiting);
        const std::uint64_t digits = classes.digits;
        const std::uint64_t ignored = ~(digits | classes.terminators);
        const std::uint64_t starts = digits & ~(digits << 1);
        const std::uint64_t third = digits & (digits << 1) & (digits << 2); // third digit of a run
        const std::uint64_t fourth = third & (digits << 3);                 // a run too long
        const std::uint64_t last = digits & ~(digits >> 1); // last digit of a run, or of the window
        const std::uint64_t shortLast = last & ~third;      // last digit of a run of one or two
        // The first byte that is not ignored after each short run: the carry
        // runs through the ignored bytes and stops there. A terminator ends
        // the value ("12 ,", "12\n  ]"); a digit joins it ("1 2,").
        const std::uint64_t joined = ((shortLast << 1) + ignored) & ~ignored & digits;
        int length = 64;
        bool declined = false;
        if ((fourth | joined) != 0) {
            // Cut before the run holding the first fourth digit, or before
            // the short run that the first joining digit belongs to.
            length = fourth != 0 ? startOfRun(starts, __builtin_ctzll(fourth)) : 64;
            if (joined != 0) {
                const std::uint64_t before = last & ((std::uint64_t{1} << __builtin_ctzll(joined)) - 1);
                const int joining = startOfRun(starts, 63 - __builtin_clzll(before));
                length = joining < length ? joining : length;
            }
            declined = true;
        } else if (~ignored != 0) {
            // A short run with only ignored bytes after it in the window may
            // yet be joined or ended: the next window starts with it.
            const int lastSignificant = 63 - __builtin_clzll(~ignored);
            if (((shortLast >> lastSignificant) & 1) != 0) {
                length = startOfRun(starts, lastSignificant);
                declined = length == 0; // the run and its gap fill the window
            }
        }
        const std::uint64_t taken = length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
        // Runs start and end in the same order, so the values taken are the
        // first `found` in the queue's new part.
        const std::size_t found = Kernel::count(last & taken);
        waiting += found;
        std::size_t sent = 0;
        for (; waiting - sent >= 4; sent += 4) {
            FenwyViewDataPixel pixel; // NOLINT(cppcoreguidelines-pro-type-member-init): filled at once
            std::memcpy(pixel.colors, queue + sent, 4);
            emit(imageProcessor, pixel, out);
        }
        waiting -= sent;
        std::memcpy(&carry, queue + sent, 4);
        if (waiting != 0 && waiting <= found) {
            startWindow = p;
            startRuns = starts & taken;
            startSkip = found - waiting;
        }
        p += length;
        if (declined) {
            break;
        }
    }
    output = out;
    if (waiting == 0) {
        return p;
    }
    for (; startSkip != 0; --startSkip) {
        startRuns &= startRuns - 1;
    }
    return startWindow + __builtin_ctzll(startRuns);
}

#endif
