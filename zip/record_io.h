// record_io.h -- reading and writing the ZIP records on a stream (internal to the component).
//
// Fixed blocks go in one read or write each. Reads go on with what the stream delivers: fields
// that a short read did not reach stay 0, and a variable part is never allocated beyond the
// bytes the stream still holds, whatever its length field claims. Writes put out each variable
// part with exactly as many bytes as its length field says.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/stream.h"
#include "zip/records.h"

namespace orvzip::detail {

// Reads the fixed block at the stream's position into record; returns the bytes delivered.
template <typename Record>
std::int64_t ReadBlock(tarnwick::TStream& stream, Record& record)
{
    typename Record::Block block{};
    const std::int64_t got = stream.Read(block.data(), static_cast<std::int64_t>(block.size()));
    record.Decode(block.data());
    return got;
}

template <typename Record>
void WriteBlock(tarnwick::TStream& stream, const Record& record)
{
    const typename Record::Block block = record.Encode();
    stream.WriteBuffer(block.data(), static_cast<std::int64_t>(block.size()));
}

// Up to count bytes from the stream's position, clamped to what remains in the stream.
std::string ReadBytes(tarnwick::TStream& stream, std::uint32_t count);

// Puts a saved tail back: writes bytes at position, cuts the stream to size and flushes. Called
// while a failure is on its way out, so it never raises: that failure is the one to report.
void RestoreTail(tarnwick::TStream& stream, std::int64_t position, const std::string& bytes,
                 std::int64_t size) noexcept;

// Writes exactly length bytes: the field's bytes, cut or filled up with zeros to length.
void WriteField(tarnwick::TStream& stream, const std::string& bytes, std::uint32_t length);

// The 30-byte header, then FileName and ExtraField (each only when its length is above 0).
void WriteLocalHeader(tarnwick::TStream& stream, const TLocalFile& record);
// The 46-byte header, then FileName, ExtraField and FileComment (each only when above 0).
void WriteCentralHeader(tarnwick::TStream& stream, const TCentralDirectoryFile& record);

}  // namespace orvzip::detail
