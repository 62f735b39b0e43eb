#ifndef PIXSTREAM_PACKTABLE_H
#define PIXSTREAM_PACKTABLE_H

#include <cstdint>

// For each 8-bit mask, the places of its set bits in order, then zeros: the
// byte shuffle that packs the bytes a mask selects to the front, for the
// kernels whose instruction set has no byte compress (AVX2, NEON).
struct PackTable {
    std::uint8_t rows[256][8];

    static constexpr PackTable make() {
        PackTable table{};
        for (unsigned mask = 0; mask < 256; ++mask) {
            unsigned at = 0;
            for (unsigned bit = 0; bit < 8; ++bit) {
                if (((mask >> bit) & 1u) != 0) {
                    table.rows[mask][at++] = static_cast<std::uint8_t>(bit);
                }
            }
        }
        return table;
    }
};

inline constexpr PackTable packTable = PackTable::make();

#endif
