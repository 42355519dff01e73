// OrvZip.h -- the archive component TOrvZip, its entry collection and entries.
//
// TOrvZip holds one ZIP archive open as a stream and keeps its directory in memory. It creates
// empty archives, opens them and reads their directory, adds entries in place (FastSave) or by
// rebuilding the archive (RebuildAll), and removes entries. Errors are exceptions of the
// runtime; the only guard that swallows them is the reading of a central directory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/component.h"
#include "runtime/datetime.h"
#include "runtime/stream.h"
#include "runtime/stringlist.h"
#include "zip/compression_stream.h"
#include "zip/records.h"

namespace orvzip {

using tarnwick::TComponent;
using tarnwick::TDateTime;
using tarnwick::TStream;
using tarnwick::TStringList;

enum class TZipSaveMethod { FastSave = 0, RebuildAll = 1 };
enum class TZipCompressionType { ctNormal = 0, ctMaximum = 1, ctFast = 2, ctSuperFast = 3, ctNone = 4, ctUnknown = 5 };
enum class TOverwriteAction { oaSkip = 0, oaSkipAll = 1, oaOverwrite = 2, oaOverwriteAll = 3 };

const char* ToString(TZipSaveMethod value);
const char* ToString(TZipCompressionType value);
const char* ToString(TOverwriteAction value);

// Change types passed to ZipChanged and on to OnZipChange.
namespace change {
inline constexpr std::int32_t kClosed = 0;
inline constexpr std::int32_t kOpened = 1;
inline constexpr std::int32_t kAdded = 2;
inline constexpr std::int32_t kRemoved = 3;
}  // namespace change

// Events: optional handlers, raised only when assigned and always with the component as Sender.
using TOnDecompressFile = std::function<void(TComponent* Sender, std::int32_t Current, std::int32_t Total)>;
using TOnCompressFile = std::function<void(TComponent* Sender, std::int32_t Current, std::int32_t Total)>;
using TOnZipOpen = std::function<void(TComponent* Sender, std::int32_t Current, std::int32_t Total)>;
using TOnZipChange = std::function<void(TComponent* Sender, std::int32_t ChangeType)>;
using TOnAddItem = std::function<void(TComponent* Sender, const std::string& ItemName)>;
using TOnRebuildZip = std::function<void(TComponent* Sender, std::int32_t Current, std::int32_t Total)>;
using TOnRemoveItems = std::function<void(TComponent* Sender, std::int32_t Current, std::int32_t Total)>;
using TOnOverwriteFile = std::function<void(TComponent* Sender, std::string& FileName, TOverwriteAction& Action)>;

// Entry names: "\" to "/", drive and server/share parts dropped.
std::string ToZipName(const std::string& path);
// ToZipName, then "/" to "\".
std::string ToDosName(const std::string& name);

class TOrvZip;
class TOrvZipEntries;

class TOrvZipEntriesEntry {
public:
    TOrvZipEntries& OwnerEntries() const { return *owner_; }

    TCentralDirectoryFile CentralRecord;  // the authority for everything done with the entry
    TLocalFile LocalRecord;               // header, name and extra field; data not loaded
    bool Encrypted = false;
    bool FolderEntry = false;
    TDateTime EntryDate;
    TZipCompressionType CompressionType = TZipCompressionType::ctNormal;
    bool Selected = false;

    // 30 + name + extra + compressed size (+ 16 with a data descriptor), from CentralRecord.
    std::uint32_t LocalEntrySize() const;
    // 46 + name + extra + comment, from CentralRecord.
    std::uint32_t CentralEntrySize() const;

    // Sets Encrypted, FolderEntry and CompressionType from CentralRecord.
    void DeriveFlags();
    // EntryDate from a DOS date-time; raises EConvertError when it names no valid date.
    void DeriveDate(std::uint32_t dosDateTime);

private:
    friend class TOrvZipEntries;

    // The stored archive comment, CommentLength bytes read from CommentPos (fewer when the
    // stream ends sooner), which an add carries over unchanged.
    std::string StoredCommentBytes();
    // Writes at the stream's position the central directory of every entry, the end record and
    // the comment bytes, and sets EndRecord (CommentLength included), EndRecordPos and CommentPos.
    void WriteDirectoryTail(TStream& stream, const std::string& comment);
    // Raises when no archive is open.
    void RequireOpenArchive() const;
    explicit TOrvZipEntriesEntry(TOrvZipEntries& owner) : owner_(&owner) {}
    TOrvZipEntries* owner_;
};

class TOrvZipEntries {
public:
    explicit TOrvZipEntries(TOrvZip& owner);
    ~TOrvZipEntries();
    TOrvZipEntries(const TOrvZipEntries&) = delete;
    TOrvZipEntries& operator=(const TOrvZipEntries&) = delete;

    TOrvZip& OwnerZip() const { return *owner_; }
    bool ArchiveValid() const { return archiveValid_; }

    // Collection.
    int Count() const { return static_cast<int>(items_.size()); }
    TOrvZipEntriesEntry& Items(int index) const;  // raises EListError outside 0 .. Count - 1
    TOrvZipEntriesEntry& Add();                   // a new cleared entry at the end
    void Delete(int index);                       // raises EListError outside 0 .. Count - 1
    void Clear();

    // Reading the directory.
    void ReadDirectory(TStream& stream);
    bool FindEndRecord(TStream& stream);
    bool ReadCentralDirectory(TStream& stream);
    void ReadLocalHeader(TStream& stream, std::int32_t offset, TLocalFile& record, bool headerOnly);
    void ReadAllLocalHeaders(TStream& stream);
    bool ScanLocalHeaders(TStream& stream);

    // Adding.
    TOrvZipEntriesEntry* AddFileEntry(const std::string& fileName);
    TOrvZipEntriesEntry* AddFileEntryAs(const std::string& fileName, const std::string& itemName);
    TOrvZipEntriesEntry* AddStreamEntry(const std::string& itemName, std::uint16_t attributes, TStream& source,
                                        const TDateTime& date);
    bool AddFolderEntries(const std::string& itemName);
    TOrvZipEntriesEntry* AppendEntryFast(const std::string& itemName, std::uint16_t attributes, TStream& source,
                                         const TDateTime& date);
    TOrvZipEntriesEntry* AddEntryRebuild(const std::string& itemName, std::uint16_t attributes, TStream& source,
                                         const TDateTime& date);
    int IndexOfName(const std::string& name) const;
    static std::uint32_t DataCrc32(const std::string& data);
    static std::uint32_t DataCrc32(const void* data, std::size_t length);

    // Removing.
    void RemoveEntryAt(int index);
    void RemoveEntry(int index);

private:
    friend class TOrvZip;

    // An entry's data as the add writers store it: the source's bytes from its position to its
    // end, their CRC-32, and for method 8 the zlib output, whose raw deflate data lies between
    // its 2-byte header and its 4-byte Adler-32 trailer (used in place, without a copy).
    struct PreparedData {
        std::uint16_t Method = 0;            // 8 when there is data, else 0
        std::uint32_t Crc = 0;
        std::uint32_t UncompressedSize = 0;
        std::uint32_t CompressedSize = 0;    // bytes of raw deflate data, 0 for method 0
        tarnwick::TMemoryStream Zlib;        // empty for method 0
        const char* Data() const { return Method == 8 ? Zlib.Memory() + 2 : nullptr; }
        std::uint32_t DataSize() const { return CompressedSize; }
    };
    // Reads, checksums and deflates the data for the entry name; sets CurrentDataSize. Raises
    // when the source delivers fewer bytes than it announced or holds 2 GiB or more.
    void PrepareData(const std::string& name, TStream& source, PreparedData& data);
    // The name an add stores: the item name's file part unless StoreRelativePath, then ToZipName.
    std::string StoredName(const std::string& itemName) const;
    // Appends an entry whose records are filled as an add fills them.
    TOrvZipEntriesEntry& AppendNewEntry(const std::string& name, std::uint16_t attributes, const PreparedData& data,
                                        std::uint32_t dosDateTime, std::uint32_t localHeaderOffset);
    // Removes the entry of the same name for an add, with InBatch set for the removal only.
    void RemoveReplaced(int index);
    // Builds EndRecord for the entries that the fallback walk made, ending at position end.
    void DescribeScannedEntries(std::int64_t end);

    TOrvZip* owner_;
    bool archiveValid_ = false;
    std::vector<std::unique_ptr<TOrvZipEntriesEntry>> items_;
};

class TOrvZip : public TComponent {
public:
    explicit TOrvZip(TComponent* owner);
    ~TOrvZip() override;

    // Published properties, in published order (after Name and Tag).
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& value) { fileName_ = value; }
    bool IsZipFile() const { return isZipFile_; }
    void SetIsZipFile(bool) {}  // read-only: writes are ignored
    TZipSaveMethod SaveMethod() const { return saveMethod_; }
    void SetSaveMethod(TZipSaveMethod value) { saveMethod_ = value; }
    bool StoreRelativePath() const { return storeRelativePath_; }
    void SetStoreRelativePath(bool value) { storeRelativePath_ = value; }
    bool StoreFolders() const { return storeFolders_; }
    void SetStoreFolders(bool value) { storeFolders_ = value; }
    TZipCompressionType CompressionType() const { return compressionType_; }
    void SetCompressionType(TZipCompressionType value);  // ctUnknown is stored as ctNormal
    TStringList& Comment();                              // read from the archive on every call
    void SetComment(const TStringList& value);
    const TStringList& FileNames();                      // entry names in path form
    void SetFileNames(const TStringList&) {}             // read-only: writes are ignored
    bool UseTempFiles() const { return useTempFiles_; }
    void SetUseTempFiles(bool value) { useTempFiles_ = value; }
    TOverwriteAction OverwriteAction() const { return overwriteAction_; }
    void SetOverwriteAction(TOverwriteAction value) { overwriteAction_ = value; }
    const std::string& ComponentVersion() const { return componentVersion_; }
    void SetComponentVersion(const std::string&) {}      // read-only: writes are ignored
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    bool ApplyAtributes() const { return applyAtributes_; }
    void SetApplyAtributes(bool value) { applyAtributes_ = value; }
    TOnDecompressFile OnDecompressFile;
    TOnCompressFile OnCompressFile;
    TOnZipChange OnZipChange;
    TOnZipOpen OnZipOpen;
    TOnAddItem OnAddItem;
    TOnRebuildZip OnRebuildZip;
    TOnRemoveItems OnRemoveItems;
    TOnOverwriteFile OnOverwriteFile;
    bool Active() const { return isZipFile_; }
    void SetActive(bool value);  // opens or closes the archive named by FileName

    std::vector<tarnwick::TPropertyInfo> PublishedProperties() override;

    // Archives.
    void CreateArchiveFile(const std::string& fileName);
    void OpenArchiveFile(const std::string& fileName);
    void OpenFileStream(const std::string& fileName);
    void OpenArchiveStream(std::unique_ptr<TStream> stream);
    void CloseArchive();
    TOrvZipEntriesEntry* AddFileEntry(const std::string& fileName);
    virtual void ZipChanged(TComponent* sender, std::int32_t changeType);
    void WriteEmptyArchive(TStream& stream);
    static std::string EntryFileName(const std::string& name);
    static std::string EntryFilePath(const std::string& name);
    void CompressProgress(TCompressionStream& sender);
    TOrvZipEntries& Entries() { return *entries_; }

    // Rebuilding.
    std::string MakeTempFileName();
    void WriteRebuiltLocalHeaders(TStream& dest);
    void WriteRebuiltCentralDirectory(TStream& dest);
    void WriteRebuiltEndRecord(TStream& dest);
    void WriteRebuiltArchive(TStream& dest);
    void ReplaceArchiveContent(TStream& scratch);

    // State, for the collection, the tools and the tests.
    TStream* ArchiveStream() const { return archiveStream_.get(); }
    const TEndOfCentralDirectoryRecord& EndRecord() const { return endRecord_; }
    std::uint32_t EndRecordPos() const { return endRecordPos_; }
    std::uint32_t CommentPos() const { return commentPos_; }
    bool HasDamagedEntries() const { return hasDamagedEntries_; }
    bool NamesStale() const { return namesStale_; }
    bool InBatch() const { return inBatch_; }
    void SetInBatch(bool value) { inBatch_ = value; }
    std::uint32_t CurrentDataSize() const { return currentDataSize_; }
    const std::vector<std::uint32_t>& RebuildLocalOffsets() const { return rebuildLocalOffsets_; }
    const TEndOfCentralDirectoryRecord& RebuildEndRecord() const { return rebuildEndRecord_; }
    std::uint32_t RebuildEndRecordPos() const { return rebuildEndRecordPos_; }
    std::uint32_t RebuildCommentPos() const { return rebuildCommentPos_; }

private:
    friend class TOrvZipEntries;

    // The stored archive comment, CommentLength bytes read from CommentPos (fewer when the
    // stream ends sooner), which an add carries over unchanged.
    std::string StoredCommentBytes();
    // Writes at the stream's position the central directory of every entry, the end record and
    // the comment bytes, and sets EndRecord (CommentLength included), EndRecordPos and CommentPos.
    void WriteDirectoryTail(TStream& stream, const std::string& comment);
    // Raises when no archive is open.
    void RequireOpenArchive() const;

    // State, in declaration order.
    std::unique_ptr<TOrvZipEntries> entries_;
    bool namesStale_ = true;
    std::uint32_t endRecordPos_ = 0;
    TEndOfCentralDirectoryRecord endRecord_;
    std::uint32_t commentPos_ = 0;
    std::unique_ptr<TStringList> commentLines_;
    std::uint32_t rebuildEndRecordPos_ = 0;
    std::uint32_t rebuildCommentPos_ = 0;
    bool isZipFile_ = false;
    bool hasDamagedEntries_ = false;
    std::string fileName_;
    std::unique_ptr<TStringList> nameList_;
    TZipSaveMethod saveMethod_ = TZipSaveMethod::FastSave;
    bool storeRelativePath_ = true;
    TZipCompressionType compressionType_ = TZipCompressionType::ctMaximum;
    std::uint32_t currentDataSize_ = 0;
    bool inBatch_ = false;
    std::vector<std::uint32_t> rebuildLocalOffsets_;
    TEndOfCentralDirectoryRecord rebuildEndRecord_;
    bool useTempFiles_ = false;
    bool storeFolders_ = true;
    std::string componentVersion_ = "2.0";
    TOverwriteAction overwriteAction_ = TOverwriteAction::oaSkip;
    bool readOnly_ = false;
    bool applyAtributes_ = true;
    std::unique_ptr<TStream> archiveStream_;
    bool directoryFromScan_ = false;  // EndRecord was built by the fallback walk: not on disk yet
};

}  // namespace orvzip
