// component.cpp -- TOrvZip: construction, published properties, opening and closing archives,
// change notifications, the name list and the archive comment.
#include <algorithm>
#include <utility>

#include "runtime/filesystem.h"
#include "zip/OrvZip.h"
#include "zip/record_io.h"

namespace orvzip {
namespace {

using tarnwick::BooleanText;
using tarnwick::ParseBooleanText;

constexpr std::pair<TZipSaveMethod, const char*> kSaveMethodNames[] = {
    {TZipSaveMethod::FastSave, "FastSave"},
    {TZipSaveMethod::RebuildAll, "RebuildAll"},
};
constexpr std::pair<TZipCompressionType, const char*> kCompressionTypeNames[] = {
    {TZipCompressionType::ctNormal, "ctNormal"},   {TZipCompressionType::ctMaximum, "ctMaximum"},
    {TZipCompressionType::ctFast, "ctFast"},       {TZipCompressionType::ctSuperFast, "ctSuperFast"},
    {TZipCompressionType::ctNone, "ctNone"},       {TZipCompressionType::ctUnknown, "ctUnknown"},
};
constexpr std::pair<TOverwriteAction, const char*> kOverwriteActionNames[] = {
    {TOverwriteAction::oaSkip, "oaSkip"},
    {TOverwriteAction::oaSkipAll, "oaSkipAll"},
    {TOverwriteAction::oaOverwrite, "oaOverwrite"},
    {TOverwriteAction::oaOverwriteAll, "oaOverwriteAll"},
};

constexpr std::size_t kMaxCommentLength = 65535;

template <typename Enum, std::size_t N>
const char* nameOf(Enum value, const std::pair<Enum, const char*> (&names)[N])
{
    for (const auto& [v, name] : names)
        if (v == value)
            return name;
    return "";
}

// An event property: it has a type but no text form.
tarnwick::TPropertyInfo eventProperty(const char* name, const char* typeName)
{
    return {name, typeName, "", nullptr, nullptr};
}

}  // namespace

const char* ToString(TZipSaveMethod value) { return nameOf(value, kSaveMethodNames); }
const char* ToString(TZipCompressionType value) { return nameOf(value, kCompressionTypeNames); }
const char* ToString(TOverwriteAction value) { return nameOf(value, kOverwriteActionNames); }

TOrvZip::TOrvZip(TComponent* owner) : TComponent(owner)
{
    nameList_ = std::make_unique<TStringList>();
    entries_ = std::make_unique<TOrvZipEntries>(*this);
    commentLines_ = std::make_unique<TStringList>();
}

TOrvZip::~TOrvZip()
{
    // The stream goes first and is not written to; then the collection and the lists.
    archiveStream_.reset();
    entries_.reset();
    commentLines_.reset();
    nameList_.reset();
}

void TOrvZip::SetCompressionType(TZipCompressionType value)
{
    compressionType_ = value == TZipCompressionType::ctUnknown ? TZipCompressionType::ctNormal : value;
}

void TOrvZip::SetActive(bool value)
{
    if (fileName_.empty())
        return;
    if (value)
        OpenArchiveFile(fileName_);
    else
        CloseArchive();
}

std::vector<tarnwick::TPropertyInfo> TOrvZip::PublishedProperties()
{
    std::vector<tarnwick::TPropertyInfo> props = TComponent::PublishedProperties();
    auto boolean = [&](const char* name, bool defaultValue, std::function<bool()> get, std::function<void(bool)> set) {
        props.push_back({name, "Boolean", BooleanText(defaultValue),
                         [set](const std::string& t) { set(ParseBooleanText(t)); },
                         [get] { return BooleanText(get()); }});
    };
    props.push_back({"FileName", "string", "", [this](const std::string& t) { SetFileName(t); },
                     [this] { return FileName(); }});
    boolean("IsZipFile", false, [this] { return IsZipFile(); }, [this](bool v) { SetIsZipFile(v); });
    props.push_back({"SaveMethod", "TZipSaveMethod", "FastSave",
                     [this](const std::string& t) { SetSaveMethod(tarnwick::ParseEnumText(t, kSaveMethodNames)); },
                     [this] { return std::string(ToString(SaveMethod())); }});
    boolean("StoreRelativePath", true, [this] { return StoreRelativePath(); },
            [this](bool v) { SetStoreRelativePath(v); });
    boolean("StoreFolders", true, [this] { return StoreFolders(); }, [this](bool v) { SetStoreFolders(v); });
    props.push_back(
        {"CompressionType", "TZipCompressionType", "ctMaximum",
         [this](const std::string& t) { SetCompressionType(tarnwick::ParseEnumText(t, kCompressionTypeNames)); },
         [this] { return std::string(ToString(CompressionType())); }});
    props.push_back({"Comment", "TStrings", "",
                     [this](const std::string& t) {
                         TStringList lines;
                         lines.SetText(t);
                         SetComment(lines);
                     },
                     [this] { return Comment().Text(); }});
    props.push_back({"FileNames", "TStrings", "", [](const std::string&) {}, [this] { return FileNames().Text(); }});
    boolean("UseTempFiles", false, [this] { return UseTempFiles(); }, [this](bool v) { SetUseTempFiles(v); });
    props.push_back(
        {"OverwriteAction", "TOverwriteAction", "oaSkip",
         [this](const std::string& t) { SetOverwriteAction(tarnwick::ParseEnumText(t, kOverwriteActionNames)); },
         [this] { return std::string(ToString(OverwriteAction())); }});
    props.push_back({"ComponentVersion", "string", "2.0", [this](const std::string& t) { SetComponentVersion(t); },
                     [this] { return ComponentVersion(); }});
    boolean("ReadOnly", false, [this] { return ReadOnly(); }, [this](bool v) { SetReadOnly(v); });
    boolean("ApplyAtributes", true, [this] { return ApplyAtributes(); }, [this](bool v) { SetApplyAtributes(v); });
    props.push_back(eventProperty("OnDecompressFile", "TOnDecompressFile"));
    props.push_back(eventProperty("OnCompressFile", "TOnCompressFile"));
    props.push_back(eventProperty("OnZipChange", "TOnZipChange"));
    props.push_back(eventProperty("OnZipOpen", "TOnZipOpen"));
    props.push_back(eventProperty("OnAddItem", "TOnAddItem"));
    props.push_back(eventProperty("OnRebuildZip", "TOnRebuildZip"));
    props.push_back(eventProperty("OnRemoveItems", "TOnRemoveItems"));
    props.push_back(eventProperty("OnOverwriteFile", "TOnOverwriteFile"));
    // Last, so that a resource opens the archive after every other setting is in place.
    boolean("Active", false, [this] { return Active(); }, [this](bool v) { SetActive(v); });
    return props;
}

void TOrvZip::CreateArchiveFile(const std::string& fileName)
{
    tarnwick::TFileStream file(fileName, tarnwick::FileMode::Create);
    WriteEmptyArchive(file);
    file.Close();  // a failing flush is reported here; the destructor closes on the error path
}

void TOrvZip::OpenArchiveFile(const std::string& fileName)
{
    CloseArchive();
    OpenFileStream(fileName);
    fileName_ = fileName;
}

void TOrvZip::OpenFileStream(const std::string& fileName)
{
    const std::optional<tarnwick::TSearchRec> found = tarnwick::FindPath(fileName);
    if (!found)
        throw tarnwick::Exception("File \"" + fileName + "\" not found!");
    const bool readOnly = (found->Attr & tarnwick::attr::kReadOnly) != 0;
    auto stream = std::make_unique<tarnwick::TFileStream>(
        fileName, readOnly ? tarnwick::FileMode::OpenRead : tarnwick::FileMode::OpenReadWrite);
    readOnly_ = readOnly;
    OpenArchiveStream(std::move(stream));
}

void TOrvZip::OpenArchiveStream(std::unique_ptr<TStream> stream)
{
    archiveStream_ = std::move(stream);
    entries_->ReadDirectory(*archiveStream_);
    isZipFile_ = entries_->ArchiveValid();
    if (!isZipFile_)
        CloseArchive();
    namesStale_ = true;
    ZipChanged(this, change::kOpened);
}

void TOrvZip::CloseArchive()
{
    entries_->Clear();
    archiveStream_.reset();
    isZipFile_ = false;
    namesStale_ = true;
    readOnly_ = false;
    ZipChanged(this, change::kClosed);
}

void TOrvZip::ZipChanged(TComponent*, std::int32_t changeType)
{
    if (OnZipChange)
        OnZipChange(this, changeType);
}

void TOrvZip::WriteEmptyArchive(TStream& stream)
{
    TEndOfCentralDirectoryRecord record;
    record.Signature = kEndOfCentralDirSignature;
    detail::WriteBlock(stream, record);
}

const TStringList& TOrvZip::FileNames()
{
    if (namesStale_) {
        nameList_->Clear();
        for (int i = 0; i < entries_->Count(); ++i) {
            const std::string& name = entries_->Items(i).CentralRecord.FileName;
            nameList_->Add(EntryFilePath(name) + EntryFileName(name));
        }
        namesStale_ = false;
    }
    return *nameList_;
}

TStringList& TOrvZip::Comment()
{
    commentLines_->Clear();
    if (isZipFile_ && endRecord_.CommentLength > 0 && archiveStream_) {
        archiveStream_->SetPosition(commentPos_);
        commentLines_->SetText(detail::ReadBytes(*archiveStream_, endRecord_.CommentLength));
    }
    return *commentLines_;
}

void TOrvZip::SetComment(const TStringList& value)
{
    // Compared with the lines held now, not with the archive (see Comment()).
    if (commentLines_->Text() == value.Text())
        return;
    const std::string text = value.Text();
    if (isZipFile_ && text.size() > kMaxCommentLength)
        throw tarnwick::Exception("The archive comment is " + std::to_string(text.size()) +
                                  " bytes long; an archive comment holds at most 65535 bytes");
    if (isZipFile_ && archiveStream_ && directoryFromScan_ &&
        std::int64_t{endRecord_.CentralDirectoryOffset} > archiveStream_->Size())
        throw tarnwick::Exception("The archive \"" + fileName_ + "\" is damaged: its last entry runs past its end, "
                                  "so no comment can be stored behind it");
    const TStringList oldLines = *commentLines_;
    commentLines_->Clear();
    if (!isZipFile_ || !archiveStream_)
        return;
    commentLines_->Assign(value);
    TStream& stream = *archiveStream_;

    // The bytes from where the write begins to the end of the file, and the state that
    // describes them: a failing write or size change puts both back as they were.
    const std::int64_t start = directoryFromScan_ ? std::int64_t{endRecord_.CentralDirectoryOffset} : endRecordPos_;
    const std::int64_t oldSize = stream.Size();
    stream.SetPosition(start);
    const std::string oldTail = detail::ReadBytes(stream, static_cast<std::uint32_t>(std::max<std::int64_t>(0, oldSize - start)));
    const TEndOfCentralDirectoryRecord oldEndRecord = endRecord_;
    const std::uint32_t oldEndRecordPos = endRecordPos_;
    const std::uint32_t oldCommentPos = commentPos_;
    const bool oldFromScan = directoryFromScan_;
    try {
        if (directoryFromScan_) {
            // After the fallback walk the end record exists only in memory, and EndRecordPos
            // belongs to no position of this archive: write the whole directory where the walk
            // placed it, then the comment.
            stream.SetPosition(endRecord_.CentralDirectoryOffset);
            WriteDirectoryTail(stream, text);
        } else {
            endRecord_.CommentLength = static_cast<std::uint16_t>(text.size());
            stream.SetPosition(endRecordPos_);
            detail::WriteBlock(stream, endRecord_);
            commentPos_ = static_cast<std::uint32_t>(stream.Position());
            if (!text.empty())
                stream.WriteBuffer(text);
        }
        stream.SetSize(stream.Position());
        stream.Flush();
    } catch (...) {
        detail::RestoreTail(stream, start, oldTail, oldSize);
        endRecord_ = oldEndRecord;
        endRecordPos_ = oldEndRecordPos;
        commentPos_ = oldCommentPos;
        directoryFromScan_ = oldFromScan;
        commentLines_->Assign(oldLines);
        throw;
    }
}

std::string TOrvZip::StoredCommentBytes()
{
    if (!archiveStream_ || endRecord_.CommentLength == 0 || directoryFromScan_)
        return {};
    archiveStream_->SetPosition(commentPos_);
    return detail::ReadBytes(*archiveStream_, endRecord_.CommentLength);
}

void TOrvZip::WriteDirectoryTail(TStream& stream, const std::string& comment)
{
    endRecord_.CentralDirectoryOffset = static_cast<std::uint32_t>(stream.Position());
    for (int i = 0; i < entries_->Count(); ++i)
        detail::WriteCentralHeader(stream, entries_->Items(i).CentralRecord);
    const std::int64_t here = stream.Position();
    endRecordPos_ = static_cast<std::uint32_t>(here);
    endRecord_.CentralDirectorySize = static_cast<std::uint32_t>(here) - endRecord_.CentralDirectoryOffset;
    // The comment goes out as the bytes it is, so that CommentLength and the bytes agree.
    endRecord_.CommentLength = static_cast<std::uint16_t>(comment.size());
    detail::WriteBlock(stream, endRecord_);
    commentPos_ = static_cast<std::uint32_t>(stream.Position());
    if (!comment.empty())
        stream.WriteBuffer(comment);
    directoryFromScan_ = false;
}

void TOrvZip::RequireOpenArchive() const
{
    if (!archiveStream_)
        throw tarnwick::Exception("No archive is open");
}

void TOrvZip::CompressProgress(TCompressionStream& sender)
{
    if (OnCompressFile)
        OnCompressFile(this, static_cast<std::int32_t>(static_cast<std::uint32_t>(sender.Position())),
                       static_cast<std::int32_t>(currentDataSize_));
}

TOrvZipEntriesEntry* TOrvZip::AddFileEntry(const std::string& fileName) { return entries_->AddFileEntry(fileName); }

}  // namespace orvzip
