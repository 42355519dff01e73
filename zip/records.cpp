// records.cpp -- little-endian encoding of the fixed blocks of the ZIP records.
#include "zip/records.h"

namespace orvzip {
namespace {

// A cursor over a fixed block: every field advances it, so no offset is written twice.
class BlockWriter {
public:
    explicit BlockWriter(std::uint8_t* out) : out_(out) {}
    void u16(std::uint16_t v)
    {
        *out_++ = static_cast<std::uint8_t>(v);
        *out_++ = static_cast<std::uint8_t>(v >> 8);
    }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) {
            *out_++ = static_cast<std::uint8_t>(v);
            v >>= 8;
        }
    }

private:
    std::uint8_t* out_;
};

class BlockReader {
public:
    explicit BlockReader(const std::uint8_t* in) : in_(in) {}
    std::uint16_t u16()
    {
        const std::uint16_t v = static_cast<std::uint16_t>(in_[0] | (in_[1] << 8));
        in_ += 2;
        return v;
    }
    std::uint32_t u32()
    {
        const std::uint32_t v = static_cast<std::uint32_t>(in_[0]) | (static_cast<std::uint32_t>(in_[1]) << 8) |
                                (static_cast<std::uint32_t>(in_[2]) << 16) |
                                (static_cast<std::uint32_t>(in_[3]) << 24);
        in_ += 4;
        return v;
    }

private:
    const std::uint8_t* in_;
};

}  // namespace

TLocalFile::Block TLocalFile::Encode() const
{
    Block b{};
    BlockWriter w(b.data());
    w.u32(Signature);
    w.u16(VersionNeededToExtract);
    w.u16(GeneralPurposeBitFlag);
    w.u16(CompressionMethod);
    w.u32(LastModFileTimeDate);
    w.u32(Crc32);
    w.u32(CompressedSize);
    w.u32(UncompressedSize);
    w.u16(FileNameLength);
    w.u16(ExtraFieldLength);
    return b;
}

void TLocalFile::Decode(const std::uint8_t* block)
{
    BlockReader r(block);
    Signature = r.u32();
    VersionNeededToExtract = r.u16();
    GeneralPurposeBitFlag = r.u16();
    CompressionMethod = r.u16();
    LastModFileTimeDate = r.u32();
    Crc32 = r.u32();
    CompressedSize = r.u32();
    UncompressedSize = r.u32();
    FileNameLength = r.u16();
    ExtraFieldLength = r.u16();
}

TDataDescriptor::Block TDataDescriptor::Encode() const
{
    Block b{};
    BlockWriter w(b.data());
    w.u32(Signature);
    w.u32(Crc32);
    w.u32(CompressedSize);
    w.u32(UncompressedSize);
    return b;
}

void TDataDescriptor::Decode(const std::uint8_t* block)
{
    BlockReader r(block);
    Signature = r.u32();
    Crc32 = r.u32();
    CompressedSize = r.u32();
    UncompressedSize = r.u32();
}

TCentralDirectoryFile::Block TCentralDirectoryFile::Encode() const
{
    Block b{};
    BlockWriter w(b.data());
    w.u32(Signature);
    w.u16(VersionMadeBy);
    w.u16(VersionNeededToExtract);
    w.u16(GeneralPurposeBitFlag);
    w.u16(CompressionMethod);
    w.u32(LastModFileTimeDate);
    w.u32(Crc32);
    w.u32(CompressedSize);
    w.u32(UncompressedSize);
    w.u16(FileNameLength);
    w.u16(ExtraFieldLength);
    w.u16(FileCommentLength);
    w.u16(DiskNumberStart);
    w.u16(InternalFileAttributes);
    w.u32(ExternalFileAttributes);
    w.u32(RelativeOffsetOfLocalHeader);
    return b;
}

void TCentralDirectoryFile::Decode(const std::uint8_t* block)
{
    BlockReader r(block);
    Signature = r.u32();
    VersionMadeBy = r.u16();
    VersionNeededToExtract = r.u16();
    GeneralPurposeBitFlag = r.u16();
    CompressionMethod = r.u16();
    LastModFileTimeDate = r.u32();
    Crc32 = r.u32();
    CompressedSize = r.u32();
    UncompressedSize = r.u32();
    FileNameLength = r.u16();
    ExtraFieldLength = r.u16();
    FileCommentLength = r.u16();
    DiskNumberStart = r.u16();
    InternalFileAttributes = r.u16();
    ExternalFileAttributes = r.u32();
    RelativeOffsetOfLocalHeader = r.u32();
}

TEndOfCentralDirectoryRecord::Block TEndOfCentralDirectoryRecord::Encode() const
{
    Block b{};
    BlockWriter w(b.data());
    w.u32(Signature);
    w.u16(NumberOfThisDisk);
    w.u16(DiskWithCentralDirectoryStart);
    w.u16(EntriesOnThisDisk);
    w.u16(TotalEntries);
    w.u32(CentralDirectorySize);
    w.u32(CentralDirectoryOffset);
    w.u16(CommentLength);
    return b;
}

void TEndOfCentralDirectoryRecord::Decode(const std::uint8_t* block)
{
    BlockReader r(block);
    Signature = r.u32();
    NumberOfThisDisk = r.u16();
    DiskWithCentralDirectoryStart = r.u16();
    EntriesOnThisDisk = r.u16();
    TotalEntries = r.u16();
    CentralDirectorySize = r.u32();
    CentralDirectoryOffset = r.u32();
    CommentLength = r.u16();
}

}  // namespace orvzip
