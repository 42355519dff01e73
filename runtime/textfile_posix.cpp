// textfile_posix.cpp -- TTextFile over a POSIX descriptor, buffering until Close.
#include "textfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "errors.h"
#include "fault.h"
#include "posix_util.h"

namespace tarnwick {

TTextFile::~TTextFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void TTextFile::open(const std::string& path, int flags)
{
    if (fd_ >= 0)
        Close();
    const bool creating = (flags & O_CREAT) != 0;
    if (int err = fault::Check(creating ? fault::Op::Create : fault::Op::Open, path))
        throw EInOutError(posix::ErrorCodeForPath(err, path));
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        throw EInOutError(posix::ErrorCodeForPath(errno, path));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EInOutError(errcode::kAccessDenied);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    path_ = path;
    pending_.clear();
}

void TTextFile::Rewrite(const std::string& path) { open(path, O_WRONLY | O_CREAT | O_TRUNC); }

void TTextFile::Append(const std::string& path) { open(path, O_WRONLY | O_APPEND); }

void TTextFile::WriteLine(const std::string& line)
{
    if (fd_ < 0)
        throw EInOutError(103);  // file not open
    pending_ += line;
    pending_ += "\r\n";
    if (pending_.size() >= 4096)
        flush();
}

void TTextFile::flush()
{
    if (pending_.empty())
        return;
    std::string bytes;
    bytes.swap(pending_);
    if (int err = fault::Check(fault::Op::Write, path_))
        RaiseOSError(err);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseLastOSError();
        }
        done += static_cast<std::size_t>(n);
    }
}

void TTextFile::Close()
{
    if (fd_ >= 0)
        posix::FlushAndClose(fd_, path_, [this] { flush(); });
}

}  // namespace tarnwick
