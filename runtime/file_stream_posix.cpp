// file_stream_posix.cpp -- TFileStream over a POSIX file descriptor, with one buffer.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "errors.h"
#include "fault.h"
#include "posix_util.h"
#include "stream.h"

namespace tarnwick {

TFileStream::TFileStream(const std::string& path, FileMode mode) : path_(path)
{
    const bool creating = mode == FileMode::Create;
    if (int err = fault::Check(creating ? fault::Op::Create : fault::Op::Open, path)) {
        const int code = posix::ErrorCodeForPath(err, path);
        if (creating)
            throw EFCreateError(path, code);
        throw EFOpenError(path, code);
    }
    // O_NONBLOCK keeps a FIFO from blocking the open; it is cleared again for a regular file.
    int flags = O_CLOEXEC | O_NONBLOCK;
    if (creating)
        flags |= O_RDWR | O_CREAT | O_TRUNC;
    else
        flags |= mode == FileMode::OpenRead ? O_RDONLY : O_RDWR;
    fd_ = ::open(path.c_str(), flags, 0666);
    if (fd_ >= 0) {
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd_);
            fd_ = -1;
            errno = EISDIR;
        } else {
            ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        }
    }
    if (fd_ < 0) {
        const int code = posix::ErrorCodeForPath(errno, path);
        if (creating)
            throw EFCreateError(path, code);
        throw EFOpenError(path, code);
    }
}

TFileStream::~TFileStream()
{
    if (fd_ < 0)
        return;
    try {
        flushWrites();
    } catch (...) {
        // A destructor must not throw; callers who need the outcome call Close().
    }
    ::close(fd_);
}

void TFileStream::Close()
{
    if (fd_ >= 0)
        posix::FlushAndClose(fd_, path_, [this] { flushWrites(); });
}

void TFileStream::flushWrites()
{
    if (writeLen_ == 0)
        return;
    const std::int64_t len = writeLen_;
    writeLen_ = 0;  // a failed flush does not retry the same bytes from a destructor
    posix::WriteAll(fd_, buffer_.data(), len, bufferStart_, path_);
}

std::int64_t TFileStream::fileSize()
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        RaiseLastOSError();
    return st.st_size;
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    flushWrites();
    char* out = static_cast<char*>(buffer);
    std::int64_t done = 0;
    // What the read cache holds at the current position.
    if (readLen_ > 0 && pos_ >= bufferStart_ && pos_ < bufferStart_ + readLen_) {
        const std::int64_t at = pos_ - bufferStart_;
        const std::int64_t n = std::min(count, readLen_ - at);
        std::memcpy(out, buffer_.data() + at, static_cast<std::size_t>(n));
        done = n;
        pos_ += n;
    }
    if (done == count)
        return done;
    if (count - done >= kBufferSize) {
        // Large reads go straight to the caller's memory.
        const std::int64_t n = posix::ReadAll(fd_, out + done, count - done, pos_, path_);
        pos_ += n;
        return done + n;
    }
    if (buffer_.size() < static_cast<std::size_t>(kBufferSize))
        buffer_.resize(kBufferSize);
    bufferStart_ = pos_;
    readLen_ = posix::ReadAll(fd_, buffer_.data(), kBufferSize, pos_, path_);
    const std::int64_t n = std::min(count - done, readLen_);
    std::memcpy(out + done, buffer_.data(), static_cast<std::size_t>(n));
    pos_ += n;
    return done + n;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    dropReadBuffer();
    const char* in = static_cast<const char*>(buffer);
    if (writeLen_ > 0 && (bufferStart_ + writeLen_ != pos_ || writeLen_ + count > kBufferSize))
        flushWrites();
    if (count >= kBufferSize) {
        posix::WriteAll(fd_, in, count, pos_, path_);
        pos_ += count;
        return count;
    }
    if (buffer_.size() < static_cast<std::size_t>(kBufferSize))
        buffer_.resize(kBufferSize);
    if (writeLen_ == 0)
        bufferStart_ = pos_;
    std::memcpy(buffer_.data() + writeLen_, in, static_cast<std::size_t>(count));
    writeLen_ += count;
    pos_ += count;
    return count;
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    std::int64_t base = 0;
    if (origin == SeekOrigin::Current)
        base = pos_;
    else if (origin == SeekOrigin::End)
        base = Size();
    const std::int64_t target = base + offset;
    if (target < 0)
        RaiseOSError(EINVAL);
    pos_ = target;
    return pos_;
}

std::int64_t TFileStream::Size()
{
    const std::int64_t onDisk = fileSize();
    return writeLen_ > 0 ? std::max(onDisk, bufferStart_ + writeLen_) : onDisk;
}

void TFileStream::SetSize(std::int64_t newSize)
{
    flushWrites();
    dropReadBuffer();
    if (int err = fault::Check(fault::Op::SetSize, path_))
        RaiseOSError(err);
    const std::int64_t oldSize = fileSize();
    if (::ftruncate(fd_, newSize) != 0)
        RaiseLastOSError();
    // ftruncate does not reserve blocks: a grown file gets its space now, so that a full disk
    // shows here, with the former size restored, and not half-way through the writes that follow.
    if (newSize > oldSize) {
        const int rc = ::posix_fallocate(fd_, oldSize, newSize - oldSize);
        if (rc != 0 && rc != EOPNOTSUPP && rc != EINVAL) {
            (void)::ftruncate(fd_, oldSize);
            RaiseOSError(rc);
        }
    }
    if (pos_ > newSize)
        pos_ = newSize;  // as the memory stream does
}

void TFileStream::Flush() { flushWrites(); }

}  // namespace tarnwick
