// packing.h -- the packing passes: one archive per file and its line in updates.lst.
#pragma once

#include <cstdint>
#include <string>

#include "builder/build_command.h"

namespace tarnwick {

// Packs the updater's own file into uploadFolder/<name>.zip and appends the IAM line to
// uploadFolder/listName; advances the progress bar by one.
void PackUpdater(IBuildView& view, orvzip::TOrvZip& zip, const std::string& updaterPath,
                 const std::string& uploadFolder, const std::string& listName);

// Walks folder depth first in listing order and packs every file but those named like the
// updater into its mirror under target, appending one F line per file (flag "|c" or "|n") and
// advancing state.LineIndex and the progress bar. The Upload folder itself is never entered.
void PackFolder(TBuildState& state, IBuildView& view, orvzip::TOrvZip& zip, const std::string& folder,
                const std::string& root, const std::string& target, const std::string& flag);

// Makes the archive zipPath holding sourcePath alone: create, open, add, close. The archive is
// closed again also when a step fails.
void MakeArchive(orvzip::TOrvZip& zip, const std::string& zipPath, const std::string& sourcePath);

// The size of the file at path, -1 when there is none or it is a folder. Raises ERangeError
// ("Erreur de vérification d'étendue") from 2 GiB on, since the list holds signed 32-bit sizes.
std::int32_t ProbeFileSize(const std::string& path);

}  // namespace tarnwick
