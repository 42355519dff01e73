// update_list.h -- the lines of updates.lst and their writing, one group of lines at a time.
//
// The list is only ever appended to, in whole lines ended by CR LF and without a byte-order
// mark. Each group opens the file, writes its lines and closes it again, so that after a failure
// the file holds every line written before it. Errors are the runtime's EInOutError.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

inline constexpr const char* kUpdateListName = "updates.lst";

// Creates the list, or empties it, and writes its first line, "[self]".
void StartUpdateList(const std::string& listPath);
// Opens the existing list for appending, writes the lines and closes it.
void AppendToUpdateList(const std::string& listPath, const std::vector<std::string>& lines);

// "IAM=" name "|" crc "|" size. CRCs are unsigned, sizes signed (-1 when no archive was found).
std::string IamLine(const std::string& updaterName, std::uint32_t crc, std::int32_t size);
// "[misc]", "Server=...", "ModifyHost=0|1", "[files]", "fcount=...".
std::vector<std::string> MiscLines(const std::string& serverAddress, bool modifyHost, std::int32_t fileCount);
// "F" index "=" path "|" crc "|" size flag, where flag is "|c" or "|n" and path is in list form.
std::string FileLine(std::int32_t index, const std::string& listPath, std::uint32_t crc, std::int32_t size,
                     const std::string& flag);

}  // namespace tarnwick
