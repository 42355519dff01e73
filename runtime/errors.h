// errors.h -- the runtime's exception classes and their exact message texts.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarnwick {

// The general exception class: any message, carried as the bytes given (UTF-8).
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    std::string Message() const { return what(); }
};

// I/O error of text files and untyped files; the message follows the system's code.
class EInOutError : public Exception {
public:
    explicit EInOutError(int errorCode);
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

class EIntOverflow : public Exception {
public:
    EIntOverflow();
};

class ERangeError : public Exception {
public:
    ERangeError();
};

// File-stream errors; the path stands in the message. ErrorCode() keeps the documented code of
// the failure behind it (2 for a missing file, 5 for denied access...), 0 when none is known, so
// that a caller can report it as the I/O error of that code.
class EFCreateError : public Exception {
public:
    explicit EFCreateError(const std::string& path, int errorCode = 0);
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

class EFOpenError : public Exception {
public:
    explicit EFOpenError(const std::string& path, int errorCode = 0);
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

// Raised by ReadBuffer / WriteBuffer when a stream delivers fewer bytes than asked.
class EReadError : public Exception {
public:
    EReadError();
};

class EWriteError : public Exception {
public:
    EWriteError();
};

// A list or collection index outside 0 .. Count - 1.
class EListError : public Exception {
public:
    explicit EListError(std::int64_t index);
};

// A value that cannot be converted (an invalid DOS date-time, a property text).
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The message of EInOutError for a system error code, as the runtime words it.
std::string IoErrorMessage(int errorCode);

// Documented error codes of the runtime, mapped from errno by ErrorCodeFromErrno.
namespace errcode {
inline constexpr int kFileNotFound = 2;
inline constexpr int kPathNotFound = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kDiskFull = 101;
}  // namespace errcode

// Maps a POSIX errno to the documented code: ENOENT 2, ENOTDIR/ENAMETOOLONG 3, EMFILE/ENFILE 4,
// EACCES/EPERM/EISDIR/EROFS 5, ENOSPC/EDQUOT 101; EIO and the few others whose number is a
// documented code become 1117 (a device I/O error); any other errno is passed on as it is.
int ErrorCodeFromErrno(int err);

// Throws EInOutError for the current errno (or the given one).
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseOSError(int err);

}  // namespace tarnwick
