// archive_check.h -- checks that the fuzz targets apply to the bytes of an archive the component
// has written, independently of the component's own reading where it matters.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::fuzz {

// The position of the end record that a reader searching backwards from the end finds: the
// highest "PK\5\6" at or below size - 22 within the reach of the component's search (its first,
// second and third passes, 256, 1,280 and 65,535 bytes of comment); -1 when there is none.
std::int64_t ReachableEndRecord(const std::string& bytes);

// Raw deflate data inflated; false when it is not a complete deflate stream.
bool Inflate(const std::string& deflated, std::string& out, std::size_t expectedSize);

// The open file descriptors of the process.
int OpenDescriptors();

// Files in folder ("." and ".." not counted); -1 when it cannot be listed.
int FilesIn(const std::string& folder);

}  // namespace tarnwick::fuzz
