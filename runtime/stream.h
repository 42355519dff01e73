// stream.h -- byte streams: the abstract stream, a buffered file stream and a memory stream.
//
// Positions and sizes are 64-bit. Read and Write return the number of bytes moved and may move
// fewer than asked (a read at the end of the data); ReadBuffer and WriteBuffer raise EReadError /
// EWriteError on a short count. A failing system call raises EInOutError with the documented code.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

enum class SeekOrigin { Beginning, Current, End };

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t newSize) = 0;
    // Pushes buffered writes to their destination; raises on failure. No-op by default.
    virtual void Flush() {}

    std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Beginning); }

    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    void WriteBuffer(const std::string& bytes) { WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size())); }

    // Copies count bytes from source's position, raising on a short count; count 0 copies the
    // whole source from its start. Returns the bytes copied.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

enum class FileMode {
    Create,        // create, or truncate an existing file; read and write
    OpenRead,      // an existing file, read only
    OpenReadWrite, // an existing file, read and write
};

// A file on disk. POSIX does not lock: other processes may read and write it meanwhile.
// Reads and writes go through one 64 KiB buffer; Flush or Close report a failing write, the
// destructor flushes quietly. Only regular files open: a folder, FIFO or device raises the
// open error without blocking.
class TFileStream final : public TStream {
public:
    TFileStream(const std::string& path, FileMode mode);
    ~TFileStream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override;
    void SetSize(std::int64_t newSize) override;
    void Flush() override;
    // Flushes and closes; raises EInOutError if either fails. The stream is closed afterwards
    // in every case.
    void Close();

    const std::string& FileName() const { return path_; }
    bool IsOpen() const { return fd_ >= 0; }

    static constexpr std::int64_t kBufferSize = 65536;

private:
    void flushWrites();
    void dropReadBuffer() { readLen_ = 0; readCursor_ = 0; }
    std::int64_t fileSize();

    std::string path_;
    int fd_ = -1;
    std::int64_t pos_ = 0;          // logical position
    std::string buffer_;            // read cache or pending writes, never both
    std::int64_t bufferStart_ = 0;  // file position of buffer_[0]
    std::int64_t readLen_ = 0;      // valid bytes when caching reads
    std::int64_t readCursor_ = 0;
    std::int64_t writeLen_ = 0;     // pending bytes when buffering writes
};

// Bytes in memory. Capacity can be reserved ahead so that writing does not reallocate.
class TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
    void SetSize(std::int64_t newSize) override;

    void Reserve(std::int64_t capacity) { data_.reserve(static_cast<std::size_t>(capacity)); }
    std::int64_t Capacity() const { return static_cast<std::int64_t>(data_.capacity()); }
    void Clear() { data_.clear(); pos_ = 0; }
    const char* Memory() const { return data_.data(); }
    // The stream's bytes; callers may move them out (the stream is then empty).
    std::string& Bytes() { return data_; }

private:
    std::string data_;
    std::int64_t pos_ = 0;
};

}  // namespace tarnwick
