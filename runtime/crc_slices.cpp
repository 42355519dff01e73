// crc_slices.cpp -- the CRC-32 register update sixteen bytes per step (slicing by 16).
#include "runtime/crc_slices.h"

namespace tarnwick {
namespace {

// Little-endian from bytes: the same on every host, and one load where unaligned loads are cheap.
inline std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

std::uint32_t UpdateCrcBy16(const CrcSlices& t, std::uint32_t crc, const std::uint8_t* p, std::size_t length,
                            std::size_t& folded)
{
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

}  // namespace tarnwick
