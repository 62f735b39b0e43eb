#ifndef PIXSTREAM_PACKTABLE_H
#define PIXSTREAM_PACKTABLE_H

#include <cstdint>

// For each 8-bit mask, the places of its set bits in order, then zeros: the
// byte shuffle that packs the bytes a mask selects to the front, for the
// kernels whose instruction set has no byte compress. rows[1] holds the
// same places in the upper half of 16 bytes, for shuffles that index 16
// bytes. Rows of 8 bytes, which an address scales to; a spare one after
// each half lets a shuffle read any row as 16 bytes, only the first 8 of
// which it uses.
struct PackTable {
    std::uint8_t rows[2][256 + 1][8];

    static constexpr PackTable make() {
        PackTable table{};
        for (unsigned mask = 0; mask < 256; ++mask) {
            unsigned at = 0;
            for (unsigned bit = 0; bit < 8; ++bit) {
                if (((mask >> bit) & 1u) != 0) {
                    table.rows[0][mask][at] = static_cast<std::uint8_t>(bit);
                    table.rows[1][mask][at] = static_cast<std::uint8_t>(8 + bit);
                    ++at;
                }
            }
        }
        return table;
    }
};

inline constexpr PackTable packTable = PackTable::make();

#endif
