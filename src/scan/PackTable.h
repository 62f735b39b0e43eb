#ifndef PIXSTREAM_PACKTABLE_H
#define PIXSTREAM_PACKTABLE_H

#include <cstdint>

// For each 8-bit mask, the places of its set bits in order, then zeros: the
// byte shuffle that packs the bytes a mask selects to the front, for the
// kernels whose instruction set has no byte compress. The second eight
// bytes of a row are the same places in the upper half of 16 bytes, for
// shuffles that index 16 bytes.
struct PackTable {
    std::uint8_t rows[256][16];

    static constexpr PackTable make() {
        PackTable table{};
        for (unsigned mask = 0; mask < 256; ++mask) {
            unsigned at = 0;
            for (unsigned bit = 0; bit < 8; ++bit) {
                if (((mask >> bit) & 1u) != 0) {
                    table.rows[mask][at] = static_cast<std::uint8_t>(bit);
                    table.rows[mask][8 + at] = static_cast<std::uint8_t>(8 + bit);
                    ++at;
                }
            }
        }
        return table;
    }
};

inline constexpr PackTable packTable = PackTable::make();

#endif
