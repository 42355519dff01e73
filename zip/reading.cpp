// reading.cpp -- reading an archive's directory: the end record, the central directory, the
// local headers, and the walk over local headers when no end record is found.
#include <algorithm>
#include <cstring>
#include <exception>

#include "zip/OrvZip.h"
#include "zip/record_io.h"

namespace orvzip {
namespace {

constexpr std::uint8_t kEndSignatureBytes[4] = {0x50, 0x4B, 0x05, 0x06};

std::uint32_t le32(const std::uint8_t* b)
{
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

// Four bytes at the stream's position that are a local header's signature; fewer than four
// never count. Returns the bytes delivered.
std::int64_t readSignature(TStream& stream, bool& isLocalHeader)
{
    std::uint8_t sig[4] = {};
    const std::int64_t got = stream.Read(sig, 4);
    isLocalHeader = got == 4 && le32(sig) == kLocalFileSignature;
    return got;
}

// A local header from the stream's position: the fixed block, the name, the extra field and,
// when bit 3 is set, the 16-byte descriptor that this component takes from in front of the data.
void readLocalParts(TStream& stream, TLocalFile& record)
{
    detail::ReadBlock(stream, record);
    record.FileName = detail::ReadBytes(stream, record.FileNameLength);
    record.ExtraField = detail::ReadBytes(stream, record.ExtraFieldLength);
    if ((record.GeneralPurposeBitFlag & 8) != 0) {
        TDataDescriptor descriptor;
        detail::ReadBlock(stream, descriptor);
        record.Crc32 = descriptor.Crc32;
        record.CompressedSize = descriptor.CompressedSize;
        record.UncompressedSize = descriptor.UncompressedSize;
    }
}

}  // namespace

void TOrvZipEntries::ReadDirectory(TStream& stream)
{
    archiveValid_ = false;
    Clear();
    owner_->directoryFromScan_ = false;
    if (FindEndRecord(stream)) {
        if (ReadCentralDirectory(stream)) {
            archiveValid_ = true;
            ReadAllLocalHeaders(stream);
        }
    } else if (ScanLocalHeaders(stream) && Count() > 0) {
        archiveValid_ = true;
        owner_->hasDamagedEntries_ = true;
        owner_->directoryFromScan_ = true;
    }
}

bool TOrvZipEntries::FindEndRecord(TStream& stream)
{
    const std::int64_t size = stream.Size();
    if (size < static_cast<std::int64_t>(kEndOfCentralDirSize))
        return false;

    // The three passes examine positions within the last 66,582 bytes only. They are read once
    // and searched in memory: the same positions in the same order, without a seek and a read
    // for each of them.
    constexpr std::int64_t kReach = 1046 + 65536;
    const std::int64_t windowStart = std::max<std::int64_t>(0, size - kReach);
    std::string window(static_cast<std::size_t>(size - windowStart), '\0');
    stream.SetPosition(windowStart);
    const std::int64_t delivered = std::max<std::int64_t>(0, stream.Read(window.data(), size - windowStart));
    auto bytesAt = [&](std::int64_t p, std::uint8_t* out) {
        std::memset(out, 0, 4);
        const std::int64_t from = p - windowStart;
        const std::int64_t n = std::clamp<std::int64_t>(delivered - from, 0, 4);
        if (from >= 0 && n > 0)
            std::memcpy(out, window.data() + from, static_cast<std::size_t>(n));
        return from >= 0 ? n : 0;
    };

    std::int64_t w = size < 256 ? size : 256;
    std::int64_t p = size - static_cast<std::int64_t>(kEndOfCentralDirSize);
    std::int64_t c = w;
    for (;;) {
        std::uint8_t b[4];
        if (bytesAt(p, b) == 4 && std::memcmp(b, kEndSignatureBytes, 4) == 0) {
            stream.SetPosition(p);
            TEndOfCentralDirectoryRecord record;
            detail::ReadBlock(stream, record);
            owner_->endRecordPos_ = static_cast<std::uint32_t>(p);
            owner_->endRecord_ = record;
            owner_->commentPos_ = static_cast<std::uint32_t>(p + static_cast<std::int64_t>(kEndOfCentralDirSize));
            owner_->commentLines_->Clear();
            return true;
        }
        // A 50 that starts no signature: the three bytes behind a signature's first byte are
        // never 50, so none of the three positions below it can start one either.
        const std::int64_t step = b[0] == 0x50 ? 4 : 1;
        p -= step;
        c -= step;
        if (c < 0) {
            if (w == 256) {
                w = 1024;
                p = size - 278;
                c = 1024;
            } else if (w == 1024) {
                w = 65536;
                p = size - 1046;
                c = 65536;
            } else {
                return false;
            }
        }
        if (w > size || p < 0)
            return false;
    }
}

bool TOrvZipEntries::ReadCentralDirectory(TStream& stream)
{
    const std::int32_t total = owner_->endRecord_.EntriesOnThisDisk;
    try {
        // Positions are read as signed 32-bit numbers: an offset from 2 GiB up names none.
        const auto offset = static_cast<std::int32_t>(owner_->endRecord_.CentralDirectoryOffset);
        if (offset < 0)
            return false;
        stream.SetPosition(offset);
        for (std::int32_t i = 0; i < total; ++i) {
            // Each header is read right behind the variable parts of the one before it.
            TCentralDirectoryFile buffer;
            detail::ReadBlock(stream, buffer);
            TOrvZipEntriesEntry& entry = Add();
            entry.DeriveDate(buffer.LastModFileTimeDate);  // a cleared header (date 0) ends the read
            buffer.FileName = detail::ReadBytes(stream, buffer.FileNameLength);
            buffer.ExtraField = detail::ReadBytes(stream, buffer.ExtraFieldLength);
            buffer.FileComment = detail::ReadBytes(stream, buffer.FileCommentLength);
            entry.CentralRecord = std::move(buffer);
            entry.DeriveFlags();
            if (owner_->OnZipOpen)
                owner_->OnZipOpen(owner_, i, total);
        }
    } catch (const std::exception&) {
        // Whatever goes wrong in here, an event handler included, makes the file no archive.
        return false;
    }
    return Count() == total;
}

void TOrvZipEntries::ReadLocalHeader(TStream& stream, std::int32_t offset, TLocalFile& record, bool headerOnly)
{
    record = TLocalFile{};
    if (offset < 0)
        return;  // no position of an archive below 2 GiB: no local header there
    stream.SetPosition(offset);
    bool isLocalHeader = false;
    readSignature(stream, isLocalHeader);
    if (!isLocalHeader)
        return;
    stream.SetPosition(offset);
    readLocalParts(stream, record);
    if (!headerOnly && record.CompressedSize > 0)
        record.CompressedData = detail::ReadBytes(stream, record.CompressedSize);
}

void TOrvZipEntries::ReadAllLocalHeaders(TStream& stream)
{
    owner_->hasDamagedEntries_ = false;
    const std::int32_t total = owner_->endRecord_.EntriesOnThisDisk;
    for (int i = 0; i < Count(); ++i) {
        if (owner_->OnZipOpen)
            owner_->OnZipOpen(owner_, i, total);
        TOrvZipEntriesEntry& entry = Items(i);
        TLocalFile buffer;
        ReadLocalHeader(stream, static_cast<std::int32_t>(entry.CentralRecord.RelativeOffsetOfLocalHeader), buffer,
                        true);
        entry.LocalRecord = std::move(buffer);
        if (entry.LocalRecord.Signature != kLocalFileSignature)
            owner_->hasDamagedEntries_ = true;
    }
}

bool TOrvZipEntries::ScanLocalHeaders(TStream& stream)
{
    bool result = false;
    Clear();
    std::int64_t p = 0;
    try {
        for (;;) {
            stream.SetPosition(p);
            bool isLocalHeader = false;
            const std::int64_t got = readSignature(stream, isLocalHeader);
            if (!isLocalHeader) {
                // The central directory is taken to begin behind the four bytes just read.
                DescribeScannedEntries(p + std::max<std::int64_t>(0, got));
                break;
            }
            result = true;
            TLocalFile local;
            stream.SetPosition(p);
            readLocalParts(stream, local);
            stream.Seek(local.CompressedSize, tarnwick::SeekOrigin::Current);

            TCentralDirectoryFile central;
            central.Signature = kCentralFileSignature;
            central.VersionMadeBy = 20;
            central.VersionNeededToExtract = local.VersionNeededToExtract;
            central.GeneralPurposeBitFlag = local.GeneralPurposeBitFlag;
            central.CompressionMethod = local.CompressionMethod;
            central.LastModFileTimeDate = local.LastModFileTimeDate;
            central.Crc32 = local.Crc32;
            central.CompressedSize = local.CompressedSize;
            central.UncompressedSize = local.UncompressedSize;
            central.FileNameLength = local.FileNameLength;
            central.ExtraFieldLength = local.ExtraFieldLength;
            central.InternalFileAttributes = local.VersionNeededToExtract;  // the same value, as documented
            central.ExternalFileAttributes = !local.FileName.empty() && local.FileName.back() == '/' ? 0x10 : 0x20;
            central.RelativeOffsetOfLocalHeader = static_cast<std::uint32_t>(p);
            central.FileName = std::move(local.FileName);
            central.ExtraField = std::move(local.ExtraField);

            TOrvZipEntriesEntry& entry = Add();
            entry.DeriveDate(central.LastModFileTimeDate);
            entry.CentralRecord = std::move(central);
            entry.DeriveFlags();
            p = stream.Position();
        }
    } catch (const std::exception&) {
        // The walk ends here. An entry whose header could not be taken over (an invalid date)
        // does not stay with a cleared header, which a later add would write into the central
        // directory; the end record describes the entries kept and puts the directory behind
        // everything the stream holds, so that no byte of the damaged part is overwritten.
        if (Count() > 0 && Items(Count() - 1).CentralRecord.Signature == 0)
            Delete(Count() - 1);
        std::int64_t end = p;
        try {
            end = std::max(p, stream.Size());
        } catch (const std::exception&) {
        }
        DescribeScannedEntries(end);
    }
    return result;
}

void TOrvZipEntries::DescribeScannedEntries(std::int64_t end)
{
    std::uint32_t directorySize = 0;
    for (int i = 0; i < Count(); ++i)
        directorySize += Items(i).CentralEntrySize();
    TEndOfCentralDirectoryRecord& record = owner_->endRecord_;
    record = TEndOfCentralDirectoryRecord{};
    record.Signature = kEndOfCentralDirSignature;
    record.EntriesOnThisDisk = static_cast<std::uint16_t>(Count());
    record.TotalEntries = static_cast<std::uint16_t>(Count());
    record.CentralDirectorySize = directorySize;
    // A hostile stored size can carry the walk past 4 GiB; cut to 32 bits, that position would
    // land inside the entries. The highest offset still says "behind the end of the stream".
    record.CentralDirectoryOffset = static_cast<std::uint32_t>(std::min<std::int64_t>(end, 0xFFFFFFFF));
    record.CommentLength = 0;
}

}  // namespace orvzip
