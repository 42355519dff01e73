// record_io.cpp -- the variable parts of the ZIP records on a stream.
#include "zip/record_io.h"

#include <algorithm>

namespace orvzip::detail {

std::string ReadBytes(tarnwick::TStream& stream, std::uint32_t count)
{
    if (count == 0)
        return {};
    // Names, extra fields and comments are short: read them through a buffer on the stack and
    // keep what was delivered. Asking the stream for its size costs a system call on a file,
    // two for every entry of an archive being opened.
    constexpr std::uint32_t kShortField = 4096;
    if (count <= kShortField) {
        char shortBuffer[kShortField];
        const std::int64_t got = stream.Read(shortBuffer, count);
        return std::string(shortBuffer, static_cast<std::size_t>(std::max<std::int64_t>(0, got)));
    }
    // A damaged or hostile length field must not make us allocate what the stream cannot hold.
    const std::int64_t remaining = std::max<std::int64_t>(0, stream.Size() - stream.Position());
    std::string bytes(static_cast<std::size_t>(std::min<std::int64_t>(count, remaining)), '\0');
    if (bytes.empty())
        return bytes;
    const std::int64_t got = stream.Read(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, got)));
    return bytes;
}

void RestoreTail(tarnwick::TStream& stream, std::int64_t position, const std::string& bytes,
                 std::int64_t size) noexcept
{
    try {
        stream.SetPosition(position);
        stream.WriteBuffer(bytes);
        stream.SetSize(size);
        stream.Flush();
    } catch (const std::exception&) {
    }
}

void WriteField(tarnwick::TStream& stream, const std::string& bytes, std::uint32_t length)
{
    if (length == 0)
        return;
    if (bytes.size() >= length) {
        stream.WriteBuffer(bytes.data(), length);
        return;
    }
    // A field cut short when it was read: keep the record's length authoritative.
    std::string filled = bytes;
    filled.resize(length, '\0');
    stream.WriteBuffer(filled);
}

void WriteLocalHeader(tarnwick::TStream& stream, const TLocalFile& record)
{
    WriteBlock(stream, record);
    WriteField(stream, record.FileName, record.FileNameLength);
    WriteField(stream, record.ExtraField, record.ExtraFieldLength);
}

void WriteCentralHeader(tarnwick::TStream& stream, const TCentralDirectoryFile& record)
{
    WriteBlock(stream, record);
    WriteField(stream, record.FileName, record.FileNameLength);
    WriteField(stream, record.ExtraField, record.ExtraFieldLength);
    WriteField(stream, record.FileComment, record.FileCommentLength);
}

}  // namespace orvzip::detail
