// crc_fast.h -- the CRC-32 register update sixteen bytes per step (slicing by 16), for crc.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick::detail {

// Derives the tables of the sixteen-byte step from base, the byte-at-a-time table: entry i of
// table k is the register after byte i followed by k zero bytes. Called by BuildCrc32Table.
void DeriveCrc32Slices(const std::array<std::uint32_t, 256>& base);

// Folds the bytes into the register sixteen at a time and returns the new register together
// with the number of bytes folded (a multiple of 16); the caller folds the rest byte by byte.
// The result is the one that the byte loop over the same bytes gives.
std::uint32_t UpdateCrc32By16(std::uint32_t crc, const unsigned char* bytes, std::size_t length,
                              std::size_t& folded);

}  // namespace tarnwick::detail
