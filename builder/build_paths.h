// build_paths.h -- paths of a build: the Upload folder, the mirror of a path under it, the
// form a path takes in the update list, and the names that a Windows client cannot hold.
#pragma once

#include <string>

namespace tarnwick {

// The folder with one native separator at its end; an empty folder stays empty.
std::string IncludeTrailingSeparator(const std::string& folder);
// What follows the path's last separator.
std::string ExtractFileName(const std::string& path);

// The folder Upload of the current working directory, which is read afresh on every call.
std::string UploadFolderPath();

// The part of path below root: root may end in a separator or not ("/" included). path is
// expected to start with root, as the walks build it; otherwise it is given back whole.
std::string PathBelow(const std::string& path, const std::string& root);
// Where a path under the chosen folder root lies under the Upload folder.
std::string MirrorPath(const std::string& path, const std::string& root);
// A path below the chosen folder as the update list writes it: "\" between folders, since the
// updater client reads Windows paths.
std::string ListPath(const std::string& pathBelow);

// Why a Windows file system cannot hold this one name (a control character, one of
// \ / : * ? " < > |, a trailing space or dot), in words; empty when it can.
std::string WindowsNameFault(const std::string& name);

// The text with its control characters written as escapes (\n, \r, \t, \xHH), so that a name
// shown in a message stays on one line.
std::string Printable(const std::string& text);

}  // namespace tarnwick
