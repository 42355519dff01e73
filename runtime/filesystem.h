// filesystem.h -- the file-system calls of the platform layer: listing, look-up, folders,
// temporary files, deletion. Paths use the native separator ("/" here).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datetime.h"

namespace tarnwick {

// Windows attribute bits, as the listing reports them.
namespace attr {
inline constexpr std::uint16_t kReadOnly = 0x01;
inline constexpr std::uint16_t kHidden = 0x02;
inline constexpr std::uint16_t kSystem = 0x04;
inline constexpr std::uint16_t kVolumeId = 0x08;
inline constexpr std::uint16_t kDirectory = 0x10;
inline constexpr std::uint16_t kArchive = 0x20;
}  // namespace attr

inline constexpr char kPathDelim = '/';

// One directory entry: a folder (kDirectory) or a regular file (kArchive), with kReadOnly when
// the owner may not write it and kHidden when its name begins with ".".
struct TSearchRec {
    std::string Name;      // the name alone, as the file system gives its bytes
    std::uint16_t Attr = 0;
    std::int64_t Size = 0; // 0 for folders
    TDateTime Time;        // last write, local time
    bool IsFolder() const { return (Attr & attr::kDirectory) != 0; }
};

// Lists the entries of folder (an empty string is the current directory) in the file system's
// own order, "." and ".." skipped. Only folders and regular files are given (symbolic links are
// followed); a folder that is already on the path being listed (same device and inode as the
// folder or one of its parents) is left out, so that a walk never loops. Returns nothing when
// the folder cannot be listed.
std::optional<std::vector<TSearchRec>> ListFolder(const std::string& folder);

// The entry of exactly this path (following symbolic links), or nothing.
std::optional<TSearchRec> FindPath(const std::string& path);

bool FileExists(const std::string& path);       // a regular file
bool DirectoryExists(const std::string& path);
// True when both paths name the same existing file or folder, however each spells it.
bool SameFile(const std::string& a, const std::string& b);
bool CreateDir(const std::string& path);        // one level; false when it fails or exists
bool ForceDirectories(const std::string& path); // with every missing parent; true when it exists afterwards
bool DeleteFile(const std::string& path);
std::string GetCurrentDir();                    // without a trailing separator, except "/"

// The temporary-files folder ($TMPDIR, else /tmp), ending in a separator; empty if unusable.
std::string GetTempFolder();
// Creates a new, empty file with a unique name in folder; returns its path, or empty on failure.
std::string CreateUniqueTempFile(const std::string& folder);

// The longest path the platform accepts.
std::size_t MaxPathLength();

}  // namespace tarnwick
