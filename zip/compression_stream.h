// compression_stream.h -- a write-only deflate stream over zlib, writing zlib format
// (2-byte header, raw deflate data, Adler-32 trailer) to a destination stream.
#pragma once

#include <functional>
#include <memory>

#include "runtime/errors.h"
#include "runtime/stream.h"

namespace orvzip {

// The compression stream's four levels.
enum class TCompressionLevel { clNone, clFastest, clDefault, clMax };

int ZlibLevel(TCompressionLevel level);  // 0, 1, -1 (zlib's default), 9

// Raised with the message "error" when zlib reports a failure.
class ECompressionError : public tarnwick::Exception {
public:
    ECompressionError() : tarnwick::Exception("error") {}
};

class TCompressionStream final : public tarnwick::TStream {
public:
    static constexpr std::int64_t kOutputBufferSize = 65536;

    // Initialises deflate with the level, method 8, window bits 15, memory level 8, default strategy.
    TCompressionStream(TCompressionLevel level, tarnwick::TStream& destination);
    ~TCompressionStream() override;  // releases zlib; does not finish (call Finish)

    // Deflates without flushing; after each full 64 KiB output buffer is written to the
    // destination, OnProgress is called with this stream.
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    // Finishes the deflate stream and writes what remains; calls no progress handler.
    void Finish();

    // The number of uncompressed bytes consumed so far.
    std::int64_t Seek(std::int64_t offset, tarnwick::SeekOrigin origin) override;
    std::int64_t Read(void* buffer, std::int64_t count) override;  // not supported: raises
    void SetSize(std::int64_t newSize) override;                   // not supported: raises

    std::function<void(TCompressionStream&)> OnProgress;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvzip
