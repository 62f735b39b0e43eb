#ifndef PIXSTREAM_SCAN_BLOCKSCANSTATE_H
#define PIXSTREAM_SCAN_BLOCKSCANSTATE_H

#include <cstdint>

// What a block scanner carries from one call to the next: everything the
// bytewise scanner and the reducer would hold between two bytes, in the
// block scanner's own form, so input may be cut anywhere.
struct BlockScanState {
    // Values not yet averaged, fewer than the 24 of an output pixel, then
    // the running value of the group still open, if pending says there is one.
    std::uint8_t values[24];
    std::uint8_t count;
    // Digits of the group still open (0 to 2), and the last two bytes of the
    // dense stream (digits and terminators), whose digits that group may
    // still need, the earlier first.
    std::uint8_t pending;
    std::uint8_t lastTwo[2];
};

#endif
