// posix_util.h -- small POSIX helpers shared by the layer's file code (not part of its interface).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tarnwick::posix {

// pread / pwrite until done (or the end of the file, for reads); EINTR is retried. Failures
// raise EInOutError with the documented code; writes consult the fault seam first.
std::int64_t ReadAll(int fd, char* out, std::int64_t count, std::int64_t at, const std::string& path);
void WriteAll(int fd, const char* in, std::int64_t count, std::int64_t at, const std::string& path);

// Runs flush, then closes fd whatever happened, and sets it to -1. A failing flush or close
// (or a close failure armed in the fault seam) raises EInOutError afterwards.
void FlushAndClose(int& fd, const std::string& path, const std::function<void()>& flush);

// The documented code for an errno met on path: a missing file is 2, but a missing folder on the
// way to it is 3, as Windows tells the two apart.
int ErrorCodeForPath(int err, const std::string& path);

}  // namespace tarnwick::posix
