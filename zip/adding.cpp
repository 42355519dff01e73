// adding.cpp -- adding entries: from files and streams, folder entries, and the FastSave
// writer that puts a new entry where the central directory stood and rewrites the tail.
#include <array>
#include <climits>

#include <zlib.h>

#include "runtime/compare.h"
#include "runtime/filesystem.h"
#include "zip/OrvZip.h"
#include "runtime/crc_slices.h"
#include "zip/rebuild_internal.h"
#include "zip/record_io.h"

namespace orvzip {
namespace {

constexpr std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int k = 0; k < 8; ++k)
            r = (r & 1) != 0 ? (r >> 1) ^ 0xEDB88320u : r >> 1;
        table[i] = r;
    }
    return table;
}

// The component's own CRC-32 table (reflected polynomial 0xEDB88320), fixed at compile time.
constexpr std::array<std::uint32_t, 256> kCrcTable = makeCrcTable();
static_assert(kCrcTable[1] == 0x77073096u && kCrcTable[255] == 0x2D02EF8Du);
// The same table advanced by 1 to 15 zero bytes, for the sixteen-byte step of DataCrc32.
constexpr tarnwick::CrcSlices kCrcSlices = tarnwick::DeriveCrcSlices(kCrcTable);

TCompressionLevel levelFor(TZipCompressionType type)
{
    switch (type) {
    case TZipCompressionType::ctMaximum:
        return TCompressionLevel::clMax;
    case TZipCompressionType::ctFast:
    case TZipCompressionType::ctSuperFast:
        return TCompressionLevel::clFastest;
    case TZipCompressionType::ctNone:
        return TCompressionLevel::clNone;
    case TZipCompressionType::ctNormal:
    case TZipCompressionType::ctUnknown:
        break;
    }
    return TCompressionLevel::clDefault;
}

constexpr std::uint16_t kVersion20 = 20;
constexpr std::uint32_t kMaxFieldLength = 0xFFFF;
constexpr std::uint16_t kMaxEntries = 0xFFFF;

}  // namespace

std::uint32_t TOrvZipEntries::DataCrc32(const void* data, std::size_t length)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t i = 0;
    std::uint32_t crc = tarnwick::UpdateCrcBy16(kCrcSlices, 0xFFFFFFFFu, bytes, length, i);
    for (; i < length; ++i)
        crc = kCrcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t TOrvZipEntries::DataCrc32(const std::string& data) { return DataCrc32(data.data(), data.size()); }

int TOrvZipEntries::IndexOfName(const std::string& name) const
{
    const std::string wanted = ToZipName(name);
    for (int i = 0; i < Count(); ++i)
        if (tarnwick::AnsiSameText(wanted, ToZipName(Items(i).CentralRecord.FileName)))
            return i;
    return -1;
}

TOrvZipEntriesEntry* TOrvZipEntries::AddFileEntry(const std::string& fileName)
{
    return AddFileEntryAs(fileName, fileName);
}

TOrvZipEntriesEntry* TOrvZipEntries::AddFileEntryAs(const std::string& fileName, const std::string& itemName)
{
    const std::optional<tarnwick::TSearchRec> found = tarnwick::FindPath(fileName);
    if (!found)
        return nullptr;
    tarnwick::TFileStream source(fileName, tarnwick::FileMode::OpenRead);
    source.SetPosition(0);
    // The last-write time at the two-second resolution of the archive's date-time.
    const TDateTime date = tarnwick::DosDateTimeToDateTime(tarnwick::DateTimeToDosDateTime(found->Time));
    return AddStreamEntry(itemName, found->Attr, source, date);
}

TOrvZipEntriesEntry* TOrvZipEntries::AddStreamEntry(const std::string& itemName, std::uint16_t attributes,
                                                    TStream& source, const TDateTime& date)
{
    owner_->RequireOpenArchive();
    if (owner_->StoreFolders() && owner_->StoreRelativePath())
        AddFolderEntries(itemName);
    TOrvZipEntriesEntry* entry = owner_->SaveMethod() == TZipSaveMethod::FastSave
                                     ? AppendEntryFast(itemName, attributes, source, date)
                                     : AddEntryRebuild(itemName, attributes, source, date);
    if (owner_->OnAddItem)
        owner_->OnAddItem(owner_, itemName);
    return entry;
}

bool TOrvZipEntries::AddFolderEntries(const std::string& itemName)
{
    const std::string dosName = ToDosName(ToZipName(itemName));
    const std::size_t last = dosName.find_last_of("\\:");
    std::string folders = last == std::string::npos ? std::string() : dosName.substr(0, last + 1);
    const TDateTime now = tarnwick::Now();
    std::string prefix;
    tarnwick::TMemoryStream empty;
    for (std::size_t sep = folders.find('\\'); sep != std::string::npos; sep = folders.find('\\')) {
        prefix += folders.substr(0, sep + 1);
        folders.erase(0, sep + 1);
        empty.Clear();
        if (IndexOfName(prefix) != -1)
            continue;
        if (owner_->SaveMethod() == TZipSaveMethod::FastSave)
            AppendEntryFast(prefix, tarnwick::attr::kDirectory, empty, now);
        else
            AddEntryRebuild(prefix, tarnwick::attr::kDirectory, empty, now);
    }
    return true;
}

void TOrvZipEntries::RemoveReplaced(int index)
{
    // The replacement is part of the add: its removal raises no change notification.
    struct BatchGuard {
        TOrvZip& zip;
        bool before;
        ~BatchGuard() { zip.inBatch_ = before; }
    } guard{*owner_, owner_->inBatch_};
    owner_->inBatch_ = true;
    RemoveEntry(index);
}

void TOrvZipEntries::PrepareData(const std::string& name, TStream& source, PreparedData& data)
{
    const std::int64_t available = source.Size() - source.Position();
    if (available > INT32_MAX)
        throw tarnwick::Exception("\"" + name + "\" holds 2 GiB or more, which an archive entry cannot store");
    const auto size = static_cast<std::uint32_t>(available > 0 ? available : 0);
    std::string bytes(size, '\0');
    data.Method = 0;
    if (size > 0) {
        source.ReadBuffer(bytes.data(), size);  // a source that delivers less raises here
        data.Method = 8;
    }
    data.Crc = DataCrc32(bytes);
    data.UncompressedSize = size;
    data.CompressedSize = 0;
    owner_->currentDataSize_ = size;
    const TCompressionLevel level = levelFor(owner_->CompressionType());
    data.Zlib.Clear();
    if (data.Method != 8)
        return;
    data.Zlib.Reserve(static_cast<std::int64_t>(compressBound(size)));
    TCompressionStream deflater(level, data.Zlib);
    deflater.OnProgress = [this](TCompressionStream& sender) { owner_->CompressProgress(sender); };
    deflater.WriteBuffer(bytes.data(), size);
    deflater.Finish();
    // Behind the 2-byte zlib header and ahead of the 4-byte Adler-32 trailer: the raw deflate data.
    data.CompressedSize = static_cast<std::uint32_t>(data.Zlib.Size() - 6);
}

TOrvZipEntriesEntry& TOrvZipEntries::AppendNewEntry(const std::string& name, std::uint16_t attributes,
                                                    const PreparedData& data, std::uint32_t dosDateTime,
                                                    std::uint32_t localHeaderOffset)
{
    TOrvZipEntriesEntry& entry = Add();
    const auto nameLength = static_cast<std::uint16_t>(name.size());

    TLocalFile& local = entry.LocalRecord;
    local.Signature = kLocalFileSignature;
    local.VersionNeededToExtract = kVersion20;
    local.GeneralPurposeBitFlag = 0;  // also at maximum or fastest compression; no descriptor
    local.CompressionMethod = data.Method;
    local.LastModFileTimeDate = dosDateTime;
    local.Crc32 = data.Crc;
    local.CompressedSize = data.DataSize();
    local.UncompressedSize = data.UncompressedSize;
    local.FileNameLength = nameLength;
    local.ExtraFieldLength = 0;
    local.FileName = name;

    TCentralDirectoryFile& central = entry.CentralRecord;
    central.Signature = kCentralFileSignature;
    central.VersionMadeBy = kVersion20;  // high byte 0: MS-DOS host
    central.VersionNeededToExtract = kVersion20;
    central.GeneralPurposeBitFlag = 0;
    central.CompressionMethod = data.Method;
    central.LastModFileTimeDate = dosDateTime;
    central.Crc32 = data.Crc;
    central.CompressedSize = data.DataSize();
    central.UncompressedSize = data.UncompressedSize;
    central.FileNameLength = nameLength;
    central.ExternalFileAttributes = attributes;
    central.RelativeOffsetOfLocalHeader = localHeaderOffset;
    central.FileName = name;

    entry.DeriveFlags();
    return entry;
}

TOrvZipEntriesEntry* TOrvZipEntries::AppendEntryFast(const std::string& itemName, std::uint16_t attributes,
                                                     TStream& source, const TDateTime& date)
{
    TOrvZip& zip = *owner_;
    zip.RequireOpenArchive();
    TStream& archive = *zip.archiveStream_;

    // The comment goes behind the new end record as the bytes it is. Comment() is read as well,
    // so that the lines held afterwards are those of the archive.
    zip.Comment();
    const std::string comment = zip.StoredCommentBytes();

    const std::string name = StoredName(itemName);
    if (name.size() > kMaxFieldLength)
        throw tarnwick::Exception("The entry name \"" + name.substr(0, 64) + "...\" is longer than 65535 bytes");

    // A directory said to begin behind the end of the file (an entry cut short, or a hostile
    // offset) would make the file grow by whatever the gap is, up to 4 GiB of zeros. A rebuild
    // refuses such an archive as cut short; so does this writer, before anything changes.
    if (zip.endRecord_.CentralDirectoryOffset > archive.Size())
        throw tarnwick::Exception("The archive \"" + detail::ArchiveName(zip) + "\" is damaged: its directory would begin at " +
                                  std::to_string(zip.endRecord_.CentralDirectoryOffset) + ", behind its end at " +
                                  std::to_string(archive.Size()));

    const int existing = IndexOfName(name);
    if (existing != -1)
        RemoveReplaced(existing);

    PreparedData data;
    PrepareData(name, source, data);

    // What the records can describe: 16-bit counts and 32-bit offsets.
    if (Count() >= kMaxEntries || zip.endRecord_.EntriesOnThisDisk >= kMaxEntries ||
        zip.endRecord_.TotalEntries >= kMaxEntries)
        throw tarnwick::Exception("The archive already holds 65535 entries; \"" + name + "\" cannot be added");
    const std::uint32_t offset = zip.endRecord_.CentralDirectoryOffset;
    const std::uint64_t nameLength = name.size();
    std::uint64_t directorySize = kCentralFileHeaderSize + nameLength;
    for (int i = 0; i < Count(); ++i)
        directorySize += Items(i).CentralEntrySize();
    const std::uint64_t end = std::uint64_t{offset} + kLocalFileHeaderSize + nameLength + data.DataSize() +
                              directorySize + kEndOfCentralDirSize + comment.size();
    if (end > 0xFFFFFFFFu)
        throw tarnwick::Exception("Adding \"" + name + "\" would make the archive 4 GiB or larger");

    TOrvZipEntriesEntry& entry = AppendNewEntry(name, attributes, data, tarnwick::DateTimeToDosDateTime(date), offset);

    // What the writes below overwrite (the old directory, end record and comment), and the
    // state that describes it: a failing write puts both back, so that a failed add leaves the
    // archive readable as it was.
    const std::int64_t oldSize = archive.Size();
    std::string oldTail(static_cast<std::size_t>(oldSize - offset), '\0');
    archive.SetPosition(offset);
    archive.ReadBuffer(oldTail.data(), static_cast<std::int64_t>(oldTail.size()));
    const TEndOfCentralDirectoryRecord oldEndRecord = zip.endRecord_;
    const std::uint32_t oldEndRecordPos = zip.endRecordPos_;
    const std::uint32_t oldCommentPos = zip.commentPos_;
    const bool oldFromScan = zip.directoryFromScan_;

    // One size change, before anything is overwritten: if it fails, the file is as it was, and
    // the entry leaves the collection again so that collection and file agree.
    try {
        archive.SetSize(static_cast<std::int64_t>(end));
    } catch (...) {
        Delete(Count() - 1);
        throw;
    }

    try {
        archive.SetPosition(offset);
        detail::WriteLocalHeader(archive, entry.LocalRecord);
        if (data.DataSize() > 0)
            archive.WriteBuffer(data.Data(), data.DataSize());
        ++zip.endRecord_.EntriesOnThisDisk;
        ++zip.endRecord_.TotalEntries;
        zip.WriteDirectoryTail(archive, comment);
        archive.Flush();  // a failing write shows here, inside the add
    } catch (...) {
        detail::RestoreTail(archive, offset, oldTail, oldSize);
        zip.endRecord_ = oldEndRecord;
        zip.endRecordPos_ = oldEndRecordPos;
        zip.commentPos_ = oldCommentPos;
        zip.directoryFromScan_ = oldFromScan;
        Delete(Count() - 1);
        throw;
    }

    entry.EntryDate = date;  // as given, not reduced to the two-second resolution
    zip.namesStale_ = true;
    if (!zip.inBatch_)
        zip.ZipChanged(&zip, change::kAdded);
    return &entry;
}

}  // namespace orvzip
