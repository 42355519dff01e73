// posix_util.h -- small POSIX helpers shared by the layer's file code (not part of its interface).
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::posix {

// pread / pwrite until done (or the end of the file, for reads); EINTR is retried. Failures
// raise EInOutError with the documented code; writes consult the fault seam first.
std::int64_t ReadAll(int fd, char* out, std::int64_t count, std::int64_t at, const std::string& path);
void WriteAll(int fd, const char* in, std::int64_t count, std::int64_t at, const std::string& path);

// The documented code for an errno met on path: a missing file is 2, but a missing folder on the
// way to it is 3, as Windows tells the two apart.
int ErrorCodeForPath(int err, const std::string& path);

}  // namespace tarnwick::posix
