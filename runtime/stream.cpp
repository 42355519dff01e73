// stream.cpp -- the abstract stream's helpers and the memory stream.
#include "stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "errors.h"

namespace tarnwick {

std::int64_t TStream::Size()
{
    const std::int64_t here = Seek(0, SeekOrigin::Current);
    const std::int64_t end = Seek(0, SeekOrigin::End);
    Seek(here, SeekOrigin::Beginning);
    return end;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count)
{
    if (count > 0 && Read(buffer, count) != count)
        throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count)
{
    if (count > 0 && Write(buffer, count) != count)
        throw EWriteError();
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (auto* memory = dynamic_cast<TMemoryStream*>(&source)) {
        // Straight from the memory block, no staging copy.
        const std::int64_t at = memory->Position();
        if (at + count > memory->Size())
            throw EReadError();
        WriteBuffer(memory->Memory() + at, count);
        memory->SetPosition(at + count);
        return count;
    }
    constexpr std::int64_t kChunk = 1 << 20;
    std::vector<char> chunk(static_cast<std::size_t>(std::min(count, kChunk)));
    std::int64_t left = count;
    while (left > 0) {
        const std::int64_t n = std::min<std::int64_t>(left, static_cast<std::int64_t>(chunk.size()));
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count)
{
    const std::int64_t size = Size();
    if (count <= 0 || pos_ >= size)
        return 0;
    const std::int64_t n = std::min(count, size - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<std::size_t>(n));
    pos_ += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    const std::int64_t end = pos_ + count;
    if (end > Size())
        data_.resize(static_cast<std::size_t>(end));
    std::memcpy(data_.data() + pos_, buffer, static_cast<std::size_t>(count));
    pos_ = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    std::int64_t base = 0;
    if (origin == SeekOrigin::Current)
        base = pos_;
    else if (origin == SeekOrigin::End)
        base = Size();
    pos_ = std::max<std::int64_t>(0, base + offset);
    return pos_;
}

void TMemoryStream::SetSize(std::int64_t newSize)
{
    data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, newSize)));
    if (pos_ > newSize)
        pos_ = newSize;
}

}  // namespace tarnwick
