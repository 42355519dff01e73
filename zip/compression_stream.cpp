// compression_stream.cpp -- TCompressionStream: zlib's deflate behind a write-only stream.
#include "zip/compression_stream.h"

#include <algorithm>
#include <climits>
#include <vector>

#include <zlib.h>

namespace orvzip {

int ZlibLevel(TCompressionLevel level)
{
    switch (level) {
    case TCompressionLevel::clNone:
        return Z_NO_COMPRESSION;
    case TCompressionLevel::clFastest:
        return Z_BEST_SPEED;
    case TCompressionLevel::clMax:
        return Z_BEST_COMPRESSION;
    case TCompressionLevel::clDefault:
        break;
    }
    return Z_DEFAULT_COMPRESSION;
}

struct TCompressionStream::Impl {
    explicit Impl(tarnwick::TStream& dest) : destination(dest), output(kOutputBufferSize) {}

    tarnwick::TStream& destination;
    std::vector<Bytef> output;
    z_stream zs{};
    bool initialised = false;

    void resetOutput()
    {
        zs.next_out = output.data();
        zs.avail_out = static_cast<uInt>(output.size());
    }
};

TCompressionStream::TCompressionStream(TCompressionLevel level, tarnwick::TStream& destination)
    : impl_(std::make_unique<Impl>(destination))
{
    constexpr int kWindowBits = 15;  // zlib format: 2-byte header, Adler-32 trailer
    constexpr int kMemLevel = 8;
    if (deflateInit2(&impl_->zs, ZlibLevel(level), Z_DEFLATED, kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        throw ECompressionError();
    impl_->initialised = true;
    impl_->resetOutput();
}

TCompressionStream::~TCompressionStream()
{
    if (impl_->initialised)
        deflateEnd(&impl_->zs);
}

std::int64_t TCompressionStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    z_stream& zs = impl_->zs;
    auto* in = static_cast<Bytef*>(const_cast<void*>(buffer));  // zlib's API is not const-correct
    std::int64_t left = count;
    while (left > 0) {
        const uInt chunk = static_cast<uInt>(std::min<std::int64_t>(left, UINT_MAX));
        zs.next_in = in;
        zs.avail_in = chunk;
        while (zs.avail_in > 0) {
            if (deflate(&zs, Z_NO_FLUSH) != Z_OK)
                throw ECompressionError();
            if (zs.avail_out == 0) {
                impl_->destination.WriteBuffer(impl_->output.data(), kOutputBufferSize);
                impl_->resetOutput();
                if (OnProgress)
                    OnProgress(*this);
            }
        }
        in += chunk;
        left -= chunk;
    }
    return count;
}

void TCompressionStream::Finish()
{
    z_stream& zs = impl_->zs;
    zs.next_in = nullptr;
    zs.avail_in = 0;
    for (;;) {
        const int rc = deflate(&zs, Z_FINISH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            throw ECompressionError();
        const std::int64_t produced = kOutputBufferSize - static_cast<std::int64_t>(zs.avail_out);
        if (produced > 0)
            impl_->destination.WriteBuffer(impl_->output.data(), produced);
        impl_->resetOutput();
        if (rc == Z_STREAM_END)
            return;
    }
}

std::int64_t TCompressionStream::Seek(std::int64_t offset, tarnwick::SeekOrigin origin)
{
    // Only the position can be asked for: the uncompressed bytes consumed so far.
    if (offset == 0 && origin == tarnwick::SeekOrigin::Current)
        return static_cast<std::int64_t>(impl_->zs.total_in);
    throw tarnwick::Exception("Invalid stream operation");
}

std::int64_t TCompressionStream::Read(void*, std::int64_t)
{
    throw tarnwick::Exception("Invalid stream operation");
}

void TCompressionStream::SetSize(std::int64_t) { throw tarnwick::Exception("Invalid stream operation"); }

}  // namespace orvzip
