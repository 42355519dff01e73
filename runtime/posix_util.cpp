// posix_util.cpp -- loops over pread/pwrite and errno mapping that looks at the path.
#include "posix_util.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "errors.h"
#include "fault.h"

namespace tarnwick::posix {

std::int64_t ReadAll(int fd, char* out, std::int64_t count, std::int64_t at, const std::string& path)
{
    if (int err = fault::Check(fault::Op::Read, path))
        RaiseOSError(err);
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, static_cast<std::size_t>(count - done), at + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseLastOSError();
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

void WriteAll(int fd, const char* in, std::int64_t count, std::int64_t at, const std::string& path)
{
    if (int err = fault::Check(fault::Op::Write, path))
        RaiseOSError(err);
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, in + done, static_cast<std::size_t>(count - done), at + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseLastOSError();
        }
        if (n == 0)
            RaiseOSError(ENOSPC);
        done += n;
    }
}

void FlushAndClose(int& fd, const std::string& path, const std::function<void()>& flush)
{
    try {
        flush();
    } catch (const EInOutError&) {
        ::close(fd);
        fd = -1;
        throw;
    }
    int err = fault::Check(fault::Op::Close, path);
    if (::close(fd) != 0 && err == 0)
        err = errno;
    fd = -1;
    if (err != 0)
        RaiseOSError(err);
}

int ErrorCodeForPath(int err, const std::string& path)
{
    if (err == ENOENT) {
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos && slash > 0) {
            struct stat st {};
            const std::string parent = path.substr(0, slash);
            if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                return errcode::kPathNotFound;
        }
    }
    return ErrorCodeFromErrno(err);
}

}  // namespace tarnwick::posix
