// crc_slices.h -- the CRC-32 register update sixteen bytes per step (slicing by 16), over
// tables derived from a byte-at-a-time table.
//
// The byte loop costs one dependent table look-up per byte. Here sixteen bytes are looked up
// in sixteen tables at once, table k standing for a byte followed by k zero bytes, and the
// results are combined by XOR: the same function, with the look-ups no longer in one chain.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick {

using CrcTable = std::array<std::uint32_t, 256>;
using CrcSlices = std::array<CrcTable, 16>;

// The tables of the sixteen-byte step, derived from base, the byte-at-a-time table: entry i of
// table k is the register after byte i followed by k zero bytes; table 0 is base itself.
constexpr CrcSlices DeriveCrcSlices(const CrcTable& base)
{
    CrcSlices slices{};
    slices[0] = base;
    for (std::size_t k = 1; k < slices.size(); ++k)
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t v = slices[k - 1][i];
            slices[k][i] = (v >> 8) ^ base[v & 0xFF];
        }
    return slices;
}

// Folds the bytes into the register sixteen at a time and returns the new register; folded is
// set to the number of bytes taken (a multiple of 16), and the caller folds the rest byte by
// byte. The result is the one that the byte loop over the same bytes gives.
std::uint32_t UpdateCrcBy16(const CrcSlices& slices, std::uint32_t crc, const std::uint8_t* bytes,
                            std::size_t length, std::size_t& folded);

}  // namespace tarnwick
