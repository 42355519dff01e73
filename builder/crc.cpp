// crc.cpp -- the CRC-32 table, the register update and the CRC of a file.
#include "builder/crc.h"

#include <memory>

#include "runtime/crc_slices.h"
#include "runtime/errors.h"
#include "runtime/stream.h"

namespace tarnwick {

std::array<std::uint32_t, 256> Crc32Table{};

namespace {
// Crc32Table advanced by 0 to 15 zero bytes, for UpdateCrc32's sixteen-byte step.
CrcSlices crc32Slices{};
}  // namespace

void BuildCrc32Table()
{
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t v = i;
        for (int bit = 0; bit < 8; ++bit)
            v = (v & 1) != 0 ? (v >> 1) ^ 0xEDB88320u : v >> 1;
        Crc32Table[i] = v;
    }
    crc32Slices = DeriveCrcSlices(Crc32Table);
}

namespace {
// The unit's initialisation: the table is ready before main runs.
const bool kTableBuilt = (BuildCrc32Table(), true);
}  // namespace

std::uint32_t UpdateCrc32(std::uint32_t crc, const void* buffer, std::int32_t length)
{
    if (buffer == nullptr || length <= 0)
        return crc;
    const auto* p = static_cast<const unsigned char*>(buffer);
    const auto n = static_cast<std::size_t>(length);
    // Sixteen bytes per step through tables derived from Crc32Table, then the rest one by one.
    std::size_t i = 0;
    crc = UpdateCrcBy16(crc32Slices, crc, p, n, i);
    for (; i < n; ++i)
        crc = (crc >> 8) ^ Crc32Table[(crc ^ p[i]) & 0xFF];
    return crc;
}

std::uint32_t FileCrc32(const std::string& path)
{
    constexpr std::int32_t kBlockSize = 65536;
    std::unique_ptr<TFileStream> file;
    try {
        file = std::make_unique<TFileStream>(path, FileMode::OpenRead);
    } catch (const EFOpenError& e) {
        // The file is read as an untyped file would be: a failed open is an I/O error by code.
        throw EInOutError(e.ErrorCode() != 0 ? e.ErrorCode() : errcode::kAccessDenied);
    }
    const auto buffer = std::make_unique<unsigned char[]>(kBlockSize);
    std::uint32_t crc = 0xFFFFFFFFu;
    for (;;) {
        const auto got = static_cast<std::int32_t>(file->Read(buffer.get(), kBlockSize));
        if (got == 0)
            break;
        crc = UpdateCrc32(crc, buffer.get(), got);
    }
    file->Close();
    return ~crc;
}

}  // namespace tarnwick
