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

namespace {

// zlib's deflate state at level 9 takes about 260 KiB in five blocks, and the output buffer
// 64 KiB. The update-set build makes one compression stream per archive, thousands in a row:
// allocating and freeing these blocks for each let the allocator give the memory back to the
// system and fault it in again for the next file, which cost more than deflating a small file.
// So the state of the last stream released is reset and kept for the next stream of the same
// level. deflateReset leaves it as deflateInit2 does, so the output is the same byte for byte.
struct DeflateState {
    explicit DeflateState(int zlibLevel) : level(zlibLevel), output(TCompressionStream::kOutputBufferSize) {}
    ~DeflateState()
    {
        if (initialised)
            deflateEnd(&zs);
    }
    DeflateState(const DeflateState&) = delete;  // zlib's state points back at zs: never moved
    DeflateState& operator=(const DeflateState&) = delete;

    int level;
    std::vector<Bytef> output;
    z_stream zs{};
    bool initialised = false;
};

// The kept state, one per thread; the component is used from one thread at a time.
thread_local std::unique_ptr<DeflateState> spareState;

std::unique_ptr<DeflateState> takeState(int zlibLevel)
{
    if (spareState && spareState->level == zlibLevel)
        return std::move(spareState);
    auto state = std::make_unique<DeflateState>(zlibLevel);
    constexpr int kWindowBits = 15;  // zlib format: 2-byte header, Adler-32 trailer
    constexpr int kMemLevel = 8;
    if (deflateInit2(&state->zs, zlibLevel, Z_DEFLATED, kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        throw ECompressionError();
    state->initialised = true;
    return state;
}

void keepState(std::unique_ptr<DeflateState> state)
{
    // A state that zlib will not reset is released; the next stream initialises its own.
    if (state && state->initialised && deflateReset(&state->zs) == Z_OK)
        spareState = std::move(state);
}

}  // namespace

struct TCompressionStream::Impl {
    Impl(tarnwick::TStream& dest, std::unique_ptr<DeflateState> deflateState)
        : destination(dest), state(std::move(deflateState)), output(state->output), zs(state->zs)
    {
    }

    tarnwick::TStream& destination;
    std::unique_ptr<DeflateState> state;
    std::vector<Bytef>& output;
    z_stream& zs;

    void resetOutput()
    {
        zs.next_out = output.data();
        zs.avail_out = static_cast<uInt>(output.size());
    }
};

TCompressionStream::TCompressionStream(TCompressionLevel level, tarnwick::TStream& destination)
    : impl_(std::make_unique<Impl>(destination, takeState(ZlibLevel(level))))
{
    impl_->resetOutput();
}

TCompressionStream::~TCompressionStream() { keepState(std::move(impl_->state)); }

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
