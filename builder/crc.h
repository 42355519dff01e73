// crc.h -- the CRC-32 of whole files (reflected polynomial 0xEDB88320, the ZIP and zlib CRC).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarnwick {

// Filled by BuildCrc32Table when the unit initialises at program start; read-only afterwards.
extern std::array<std::uint32_t, 256> Crc32Table;

// Fills Crc32Table. Called by the unit's initialisation only.
void BuildCrc32Table();

// Folds length bytes into the register crc and returns the new register. It neither presets nor
// inverts; a null buffer or a length of 0 (or less) leaves the register unchanged.
std::uint32_t UpdateCrc32(std::uint32_t crc, const void* buffer, std::int32_t length);

// The CRC-32 of the whole file at path, read in blocks of 64 KiB; the file is opened read-only
// and others may go on reading and writing it. Raises EInOutError with the code of the failure:
// "Fichier introuvable" for a missing file, "Nom de fichier incorrect" for a missing folder,
// "Accès au fichier refusé" for denied access (or a folder), "Erreur E/S %d" otherwise.
std::uint32_t FileCrc32(const std::string& path);

}  // namespace tarnwick
