// crc_fast.cpp -- the CRC-32 register update sixteen bytes per step (slicing by 16).
//
// The byte loop costs one dependent table look-up per byte. Here sixteen bytes are looked up
// in sixteen tables at once, each table standing for a byte followed by 0 to 15 zero bytes, and
// the results are combined by XOR: the same function, with the look-ups no longer in one chain.
#include "builder/crc_fast.h"

namespace tarnwick::detail {
namespace {

// slices[k] is the base table advanced by k zero bytes; slices[0] is a copy of it.
std::array<std::array<std::uint32_t, 256>, 16> slices{};

// Little-endian from bytes: the same on every host, and one load where unaligned loads are cheap.
inline std::uint32_t le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

void DeriveCrc32Slices(const std::array<std::uint32_t, 256>& base)
{
    slices[0] = base;
    for (std::size_t k = 1; k < slices.size(); ++k)
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t v = slices[k - 1][i];
            slices[k][i] = (v >> 8) ^ base[v & 0xFF];
        }
}

std::uint32_t UpdateCrc32By16(std::uint32_t crc, const unsigned char* p, std::size_t length, std::size_t& folded)
{
    const auto& t = slices;
    std::size_t left = length;
    while (left >= 16) {
        const std::uint32_t a = le32(p) ^ crc;
        const std::uint32_t b = le32(p + 4);
        const std::uint32_t c = le32(p + 8);
        const std::uint32_t d = le32(p + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
        p += 16;
        left -= 16;
    }
    folded = length - left;
    return crc;
}

}  // namespace tarnwick::detail
