// rebuild.cpp -- rebuilding the archive through a scratch stream (RebuildAll): the writer and
// its three stages, the scratch stream, putting the new content in place, and the rebuilding add.
#include <algorithm>
#include <limits>
#include <optional>

#include "runtime/filesystem.h"
#include "zip/OrvZip.h"
#include "zip/rebuild_internal.h"
#include "zip/record_io.h"

namespace orvzip {

using tarnwick::Exception;
using tarnwick::TFileStream;
using tarnwick::TMemoryStream;

namespace detail {

ScratchStream::ScratchStream(TOrvZip& zip, bool useTempFiles)
{
    if (!useTempFiles) {
        auto memory = std::make_unique<TMemoryStream>();
        memory_ = memory.get();
        stream_ = std::move(memory);
        return;
    }
    const std::string name = zip.MakeTempFileName();
    // MakeTempFileName has created the file, unless it fell back to the current directory.
    if (tarnwick::FileExists(name))
        path_ = name;
    try {
        stream_ = std::make_unique<TFileStream>(name, tarnwick::FileMode::Create);
    } catch (...) {
        if (!path_.empty())
            tarnwick::DeleteFile(path_);
        throw;
    }
}

ScratchStream::~ScratchStream()
{
    stream_.reset();
    if (!path_.empty() && !keep_)
        tarnwick::DeleteFile(path_);
}

std::int64_t MeasureRebuiltArchive(TOrvZip& zip)
{
    TOrvZipEntries& entries = zip.Entries();
    std::int64_t total = 0;
    for (int i = 0; i < entries.Count(); ++i) {
        const TOrvZipEntriesEntry& entry = entries.Items(i);
        total += entry.LocalEntrySize();
        total += entry.CentralEntrySize();
        if (zip.OnRemoveItems)
            zip.OnRemoveItems(&zip, i, entries.Count() - 1);
    }
    return total + static_cast<std::int64_t>(kEndOfCentralDirSize) + zip.EndRecord().CommentLength;
}

void ReserveScratch(TMemoryStream& scratch, std::int64_t measured, std::int64_t archiveSize)
{
    scratch.Reserve(std::min(measured, std::max<std::int64_t>(archiveSize, kEndOfCentralDirSize)));
    scratch.SetPosition(0);
}

std::string ArchiveName(TOrvZip& zip)
{
    if (auto* file = dynamic_cast<TFileStream*>(zip.ArchiveStream()))
        return file->FileName();
    return zip.FileName();
}

void CheckArchiveOffset(std::int64_t position)
{
    if (position > static_cast<std::int64_t>(std::numeric_limits<std::uint32_t>::max()))
        throw Exception("The archive would grow to 4 GiB or more, beyond what its 32-bit offsets can address");
}

}  // namespace detail

namespace {

constexpr std::uint32_t kDataDescriptorSignature = 0x08074B50;

std::string entryLabel(TOrvZip& zip, const TCentralDirectoryFile& central)
{
    return "Entry \"" + central.FileName + "\" of archive \"" + detail::ArchiveName(zip) + "\"";
}

// Copies one local entry from the archive to dest: header, name, extra field and stored data,
// nothing decompressed. The central header gives the data's length: it is the one the
// directory read trusts, and a local header may hold no sizes at all (a descriptor follows the
// data) or a Zip64 marker.
void copyLocalEntry(TOrvZip& zip, TStream& archive, const TCentralDirectoryFile& central, TStream& dest)
{
    const std::uint32_t offset = central.RelativeOffsetOfLocalHeader;
    TLocalFile local;
    zip.Entries().ReadLocalHeader(archive, static_cast<std::int32_t>(offset), local, true);
    if (local.Signature != kLocalFileSignature) {
        // Nothing to copy: the entry becomes an all-zero header, and its central header still
        // points there.
        detail::WriteBlock(dest, TLocalFile{});
        return;
    }

    const bool hasDescriptor = (local.GeneralPurposeBitFlag & 8) != 0;
    const bool encrypted = (central.GeneralPurposeBitFlag & 1) != 0;
    std::int64_t descriptorSize = 0;
    const std::int64_t dataStart =
        static_cast<std::int64_t>(offset) + kLocalFileHeaderSize + local.FileNameLength + local.ExtraFieldLength;
    const std::int64_t dataEnd = dataStart + central.CompressedSize;
    const std::int64_t archiveSize = archive.Size();
    if (hasDescriptor) {
        // The descriptor lies behind the data, as the published format places it. The header
        // block is taken again as stored, since the directory read takes the 16 bytes in front
        // of the data for the descriptor.
        archive.SetPosition(offset);
        detail::ReadBlock(archive, local);
        if (encrypted) {
            // Kept with its descriptor: 12 bytes, or 16 with the optional signature.
            std::uint8_t signature[4] = {};
            archive.SetPosition(dataEnd);
            const bool found = archive.Read(signature, 4) == 4 &&
                               (signature[0] | signature[1] << 8 | signature[2] << 16 |
                                static_cast<std::uint32_t>(signature[3]) << 24) == kDataDescriptorSignature;
            descriptorSize = found ? 16 : 12;
        } else {
            local.GeneralPurposeBitFlag = detail::RebuiltFlag(local.GeneralPurposeBitFlag, false);
            local.Crc32 = central.Crc32;
            local.CompressedSize = central.CompressedSize;
            local.UncompressedSize = central.UncompressedSize;
        }
    }
    if (dataEnd + descriptorSize > archiveSize)
        throw Exception(entryLabel(zip, central) + " is cut short: its data runs past the end of the archive");

    archive.SetPosition(dataStart);
    local.CompressedData.resize(central.CompressedSize);
    archive.ReadBuffer(local.CompressedData.data(), central.CompressedSize);
    std::string descriptor(static_cast<std::size_t>(descriptorSize), '\0');
    archive.ReadBuffer(descriptor.data(), descriptorSize);
    detail::WriteLocalHeader(dest, local);
    dest.WriteBuffer(local.CompressedData);
    dest.WriteBuffer(descriptor);
}

}  // namespace

namespace detail {

void AdoptRebuiltState(TOrvZip& zip, TEndOfCentralDirectoryRecord& endRecord, std::uint32_t& endRecordPos,
                       std::uint32_t& commentPos)
{
    endRecord = zip.RebuildEndRecord();
    endRecordPos = zip.RebuildEndRecordPos();
    commentPos = zip.RebuildCommentPos();
    TOrvZipEntries& entries = zip.Entries();
    for (int i = 0; i < entries.Count(); ++i) {
        TCentralDirectoryFile& central = entries.Items(i).CentralRecord;
        central.RelativeOffsetOfLocalHeader = zip.RebuildLocalOffsets().at(static_cast<std::size_t>(i));
        central.GeneralPurposeBitFlag = RebuiltFlag(central.GeneralPurposeBitFlag, (central.GeneralPurposeBitFlag & 1) != 0);
    }
}

}  // namespace detail

std::string TOrvZip::MakeTempFileName()
{
    std::string result = tarnwick::GetCurrentDir();
    const std::string folder = tarnwick::GetTempFolder();
    if (!folder.empty()) {
        const std::string name = tarnwick::CreateUniqueTempFile(folder);
        if (!name.empty())
            result = name;
    }
    return result;
}

void TOrvZip::WriteRebuiltLocalHeaders(TStream& dest)
{
    RequireOpenArchive();
    const int count = entries_->Count();
    rebuildLocalOffsets_.assign(static_cast<std::size_t>(count) + 1, 0);
    for (int i = 0; i < count; ++i) {
        const std::int64_t at = dest.Position();
        detail::CheckArchiveOffset(at);
        rebuildLocalOffsets_[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(at);
        copyLocalEntry(*this, *archiveStream_, entries_->Items(i).CentralRecord, dest);
        if (OnRebuildZip)
            OnRebuildZip(this, i, count - 1);
    }
}

void TOrvZip::WriteRebuiltCentralDirectory(TStream& dest)
{
    const int count = entries_->Count();
    if (count > detail::kMaxEntries)
        throw Exception("The archive \"" + detail::ArchiveName(*this) + "\" would hold more than 65535 entries");
    rebuildEndRecord_ = endRecord_;
    rebuildEndRecord_.EntriesOnThisDisk = static_cast<std::uint16_t>(count);
    rebuildEndRecord_.TotalEntries = static_cast<std::uint16_t>(count);
    const std::int64_t start = dest.Position();
    detail::CheckArchiveOffset(start);
    rebuildEndRecord_.CentralDirectoryOffset = static_cast<std::uint32_t>(start);
    for (int i = 0; i < count; ++i) {
        TCentralDirectoryFile central = entries_->Items(i).CentralRecord;
        central.RelativeOffsetOfLocalHeader = rebuildLocalOffsets_.at(static_cast<std::size_t>(i));
        central.GeneralPurposeBitFlag =
            detail::RebuiltFlag(central.GeneralPurposeBitFlag, (central.GeneralPurposeBitFlag & 1) != 0);
        detail::WriteCentralHeader(dest, central);
        if (OnRebuildZip)
            OnRebuildZip(this, i, count - 1);
    }
    const std::int64_t end = dest.Position();
    detail::CheckArchiveOffset(end);
    rebuildEndRecord_.CentralDirectorySize = static_cast<std::uint32_t>(end - start);
}

void TOrvZip::WriteRebuiltEndRecord(TStream& dest)
{
    // The comment is read as the Comment property reads it, so that the lines held afterwards
    // are the archive's; what goes behind the record are its own stored bytes, so that
    // CommentLength and the bytes agree whatever the comment's line breaks.
    Comment();
    const std::string comment = StoredCommentBytes();
    rebuildEndRecord_.CommentLength = static_cast<std::uint16_t>(comment.size());
    const std::int64_t at = dest.Position();
    detail::CheckArchiveOffset(at + static_cast<std::int64_t>(kEndOfCentralDirSize + comment.size()));
    rebuildEndRecordPos_ = static_cast<std::uint32_t>(at);
    detail::WriteBlock(dest, rebuildEndRecord_);
    rebuildCommentPos_ = static_cast<std::uint32_t>(dest.Position());
    dest.WriteBuffer(comment);
    if (OnRebuildZip)
        OnRebuildZip(this, 100, 100);
}

void TOrvZip::WriteRebuiltArchive(TStream& dest)
{
    WriteRebuiltLocalHeaders(dest);
    WriteRebuiltCentralDirectory(dest);
    WriteRebuiltEndRecord(dest);
}

namespace {

// Saves a memory scratch stream to a new temporary file; gives its path, or empty on failure.
std::string saveScratchCopy(TOrvZip& zip, TMemoryStream& scratch)
{
    const std::string name = zip.MakeTempFileName();
    if (!tarnwick::FileExists(name))
        return {};
    try {
        TFileStream file(name, tarnwick::FileMode::Create);
        file.WriteBuffer(scratch.Memory(), scratch.Size());
        file.Close();
        return name;
    } catch (const std::exception&) {
        tarnwick::DeleteFile(name);
        return {};
    }
}

}  // namespace

void TOrvZip::ReplaceArchiveContent(TStream& scratch)
{
    RequireOpenArchive();
    TStream& archive = *archiveStream_;
    // A scratch file may still hold writes in its buffer: a failure to write them must show
    // now, while the archive is untouched, and not half-way through the copy below.
    scratch.Flush();
    scratch.SetPosition(0);
    const std::int64_t newSize = scratch.Size();
    const std::int64_t oldSize = archive.Size();
    try {
        archive.SetSize(newSize);
    } catch (...) {
        try {
            archive.SetSize(oldSize);
        } catch (const std::exception&) {
            // The first failure is the one to report.
        }
        throw;
    }

    // From here on the archive's old content is being overwritten, and the scratch stream holds
    // the only complete copy. A failed copy is tried once more from the start; if that fails
    // too, the scratch copy is kept and the error says where.
    auto copy = [&] {
        scratch.SetPosition(0);
        archive.SetPosition(0);
        if (newSize > 0)
            archive.CopyFrom(scratch, newSize);
        archive.Flush();
    };
    try {
        copy();
        return;
    } catch (const std::exception&) {
    }
    try {
        copy();
        return;
    } catch (const std::exception& e) {
        std::string kept;
        if (auto* file = dynamic_cast<TFileStream*>(&scratch)) {
            try {
                file->Flush();
                kept = file->FileName();
            } catch (const std::exception&) {
            }
        } else if (auto* memory = dynamic_cast<TMemoryStream*>(&scratch)) {
            kept = saveScratchCopy(*this, *memory);
        }
        std::string message = "The archive \"" + detail::ArchiveName(*this) + "\" could not be rewritten (" +
                              e.what() + ")";
        if (kept.empty())
            message += " and its new content could not be kept";
        else
            message += "; its complete new content is kept in \"" + kept + "\"";
        throw detail::EArchiveDamaged(message, kept);
    }
}

TOrvZipEntriesEntry* TOrvZipEntries::AddEntryRebuild(const std::string& itemName, std::uint16_t attributes,
                                                     TStream& source, const TDateTime& date)
{
    TOrvZip& zip = *owner_;
    zip.RequireOpenArchive();
    std::optional<detail::ScratchStream> scratch;
    scratch.emplace(zip, zip.useTempFiles_);
    TStream& dest = scratch->Stream();

    const std::string name = StoredName(itemName);
    if (name.size() > 65535)
        throw Exception("The entry name \"" + name.substr(0, 64) + "...\" is longer than 65535 bytes");
    if (const int existing = IndexOfName(name); existing != -1)
        RemoveReplaced(existing);
    if (Count() >= detail::kMaxEntries)
        throw Exception("The archive \"" + detail::ArchiveName(zip) + "\" already holds 65535 entries, the most it can hold");

    if (TMemoryStream* memory = scratch->Memory())
        detail::ReserveScratch(*memory, detail::MeasureRebuiltArchive(zip), zip.archiveStream_->Size());
    zip.WriteRebuiltLocalHeaders(dest);

    PreparedData data;
    PrepareData(name, source, data);
    const std::uint32_t dosDateTime = tarnwick::DateTimeToDosDateTime(date);
    const std::int64_t localOffset = dest.Position();
    detail::CheckArchiveOffset(localOffset + static_cast<std::int64_t>(kLocalFileHeaderSize) +
                               static_cast<std::int64_t>(name.size()) + data.DataSize());

    // The new entry joins the collection now; until the archive holds it, a failure takes it
    // out again, so that the collection keeps describing the file.
    TOrvZipEntriesEntry* entry = &AppendNewEntry(name, attributes, data, dosDateTime,
                                                 static_cast<std::uint32_t>(localOffset));
    try {
        detail::WriteLocalHeader(dest, entry->LocalRecord);
        if (data.DataSize() > 0)
            dest.WriteBuffer(data.Data(), data.DataSize());
        zip.rebuildLocalOffsets_.at(static_cast<std::size_t>(Count() - 1)) = static_cast<std::uint32_t>(localOffset);
        zip.WriteRebuiltCentralDirectory(dest);
        zip.WriteRebuiltEndRecord(dest);
        zip.ReplaceArchiveContent(dest);
    } catch (const detail::EArchiveDamaged& e) {
        // The archive is damaged and its new content is kept elsewhere: the collection
        // describes that copy, which is what the archive must be given back.
        if (!scratch->Path().empty() && e.KeptPath() == scratch->Path())
            scratch->Keep();
        detail::AdoptRebuiltState(zip, zip.endRecord_, zip.endRecordPos_, zip.commentPos_);
        zip.directoryFromScan_ = false;
        entry->DeriveFlags();
        entry->DeriveDate(dosDateTime);
        zip.namesStale_ = true;
        throw;
    } catch (...) {
        Delete(Count() - 1);
        throw;
    }
    detail::AdoptRebuiltState(zip, zip.endRecord_, zip.endRecordPos_, zip.commentPos_);
    zip.directoryFromScan_ = false;  // the rebuilt archive has its directory on disk
    scratch.reset();

    entry->DeriveFlags();
    entry->DeriveDate(dosDateTime);  // the stored two-second value, not Date itself
    zip.namesStale_ = true;
    if (!zip.inBatch_)
        zip.ZipChanged(&zip, change::kAdded);
    return entry;
}

}  // namespace orvzip
