// remove.cpp -- removing entries, in place or by a rebuild.
#include <algorithm>
#include <vector>

#include "runtime/errors.h"
#include "zip/OrvZip.h"
#include "zip/rebuild_internal.h"
#include "zip/record_io.h"

namespace orvzip {

using tarnwick::TStream;

namespace {

// The local header at the entry's offset, fixed block only; Signature 0 when there is none.
TLocalFile readLocalBlock(TStream& archive, std::uint32_t offset)
{
    TLocalFile local;
    archive.SetPosition(offset);
    if (detail::ReadBlock(archive, local) != static_cast<std::int64_t>(kLocalFileHeaderSize))
        local = TLocalFile{};
    if (local.Signature != kLocalFileSignature)
        local = TLocalFile{};
    return local;
}

// Whether the entry's local entry occupies exactly its LocalEntrySize: a local header where the
// central one points, with the same name and extra-field lengths, and no data descriptor (whose
// real place and length, behind the data, LocalEntrySize does not count).
bool occupiesLocalEntrySize(TStream& archive, const TCentralDirectoryFile& central)
{
    const TLocalFile local = readLocalBlock(archive, central.RelativeOffsetOfLocalHeader);
    return local.Signature == kLocalFileSignature && local.FileNameLength == central.FileNameLength &&
           local.ExtraFieldLength == central.ExtraFieldLength && (local.GeneralPurposeBitFlag & 8) == 0 &&
           (central.GeneralPurposeBitFlag & 8) == 0;
}

// The in-place removal moves everything behind the removed local entry down by its
// LocalEntrySize and puts the central directory behind the moved entries. That is right only
// when the removed entry and every local entry behind it occupy exactly their LocalEntrySize
// and follow each other without gaps up to the central directory, and the entry in front of
// the removed one ends before it. Archives written by this component always lie so; those of
// other tools often do not (longer local extra fields, descriptors behind the data). The
// layout is checked on the local headers themselves.
bool inPlaceLayoutHolds(TOrvZipEntries& entries, TStream& archive, int index, std::uint32_t centralDirectoryOffset)
{
    const std::uint32_t oldOffset = entries.Items(index).CentralRecord.RelativeOffsetOfLocalHeader;
    std::vector<const TOrvZipEntriesEntry*> behind;
    const TOrvZipEntriesEntry* before = nullptr;
    for (int i = 0; i < entries.Count(); ++i) {
        const TOrvZipEntriesEntry& entry = entries.Items(i);
        const std::uint32_t offset = entry.CentralRecord.RelativeOffsetOfLocalHeader;
        if (offset >= oldOffset)
            behind.push_back(&entry);
        else if (before == nullptr || offset > before->CentralRecord.RelativeOffsetOfLocalHeader)
            before = &entry;
    }
    std::stable_sort(behind.begin(), behind.end(), [](const auto* a, const auto* b) {
        return a->CentralRecord.RelativeOffsetOfLocalHeader < b->CentralRecord.RelativeOffsetOfLocalHeader;
    });

    std::int64_t expected = oldOffset;
    for (const TOrvZipEntriesEntry* entry : behind) {
        if (entry->CentralRecord.RelativeOffsetOfLocalHeader != expected)
            return false;  // a gap, or two entries sharing one local header
        if (!occupiesLocalEntrySize(archive, entry->CentralRecord))
            return false;
        expected += entry->LocalEntrySize();
    }
    if (expected != centralDirectoryOffset)
        return false;

    if (before != nullptr) {
        const TCentralDirectoryFile& central = before->CentralRecord;
        const TLocalFile local = readLocalBlock(archive, central.RelativeOffsetOfLocalHeader);
        if (local.Signature == kLocalFileSignature) {
            std::int64_t end = static_cast<std::int64_t>(central.RelativeOffsetOfLocalHeader) + kLocalFileHeaderSize +
                               local.FileNameLength + local.ExtraFieldLength + central.CompressedSize;
            if ((local.GeneralPurposeBitFlag & 8) != 0)
                end += 12;  // the shortest descriptor
            if (end > oldOffset)
                return false;
        }
    }
    return true;
}

// The removed local entry and everything behind it, held in one buffer: the tail is written
// down over the removed entry from it, and the same bytes put the archive back as it was when
// a later write fails.
class TailMove {
public:
    TailMove(TStream& archive, std::uint32_t oldOffset, std::uint32_t removedSize)
        : archive_(archive), oldOffset_(oldOffset), removedSize_(removedSize), oldSize_(archive.Size())
    {
        bytes_.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, oldSize_ - oldOffset_)));
        if (bytes_.size() < removedSize_)
            throw tarnwick::EReadError();
        archive_.SetPosition(oldOffset_);
        archive_.ReadBuffer(bytes_.data(), static_cast<std::int64_t>(bytes_.size()));
    }

    void MoveDown()
    {
        archive_.SetPosition(oldOffset_);
        archive_.WriteBuffer(bytes_.data() + removedSize_, static_cast<std::int64_t>(bytes_.size() - removedSize_));
    }

    void Restore() noexcept { detail::RestoreTail(archive_, oldOffset_, bytes_, oldSize_); }

private:
    TStream& archive_;
    std::uint32_t oldOffset_;
    std::uint32_t removedSize_;
    std::int64_t oldSize_;
    std::string bytes_;
};

}  // namespace

void TOrvZipEntries::RemoveEntryAt(int index)
{
    TOrvZip& zip = *owner_;
    const TOrvZipEntriesEntry& target = Items(index);  // the list-index error comes before any change
    zip.RequireOpenArchive();
    TStream& archive = *zip.archiveStream_;

    const std::uint32_t oldOffset = target.CentralRecord.RelativeOffsetOfLocalHeader;
    const std::uint32_t removedSize = target.LocalEntrySize();
    // After the fallback walk there is no directory on disk to move down: that takes a rebuild.
    const bool inPlace = zip.saveMethod_ == TZipSaveMethod::FastSave && Count() > 1 && !zip.directoryFromScan_ &&
                         inPlaceLayoutHolds(*this, archive, index, zip.endRecord_.CentralDirectoryOffset);

    std::unique_ptr<TOrvZipEntriesEntry> removed = std::move(items_[static_cast<std::size_t>(index)]);
    items_.erase(items_.begin() + index);
    // Until the archive has changed, a failure puts the entry back where it was.
    bool archiveChanged = false;
    try {
        if (inPlace) {
            // The comment, taken before anything moves: read as the Comment property reads it,
            // and written back as its own stored bytes.
            zip.Comment();
            const std::string comment = zip.StoredCommentBytes();
            const TEndOfCentralDirectoryRecord oldEndRecord = zip.endRecord_;
            const std::uint32_t oldEndRecordPos = zip.endRecordPos_;
            const std::uint32_t oldCommentPos = zip.commentPos_;
            std::vector<std::uint32_t> oldOffsets;
            for (const auto& entry : items_)
                oldOffsets.push_back(entry->CentralRecord.RelativeOffsetOfLocalHeader);

            TailMove tail(archive, oldOffset, removedSize);
            try {
                tail.MoveDown();
                std::int64_t centralStart = oldOffset;
                for (const auto& entry : items_) {
                    std::uint32_t& offset = entry->CentralRecord.RelativeOffsetOfLocalHeader;
                    if (offset > oldOffset) {
                        offset -= removedSize;
                        centralStart += entry->LocalEntrySize();
                    }
                }
                archive.SetPosition(centralStart);
                --zip.endRecord_.EntriesOnThisDisk;
                --zip.endRecord_.TotalEntries;
                zip.WriteDirectoryTail(archive, comment);
                archive.SetSize(archive.Position());
                archive.Flush();
            } catch (...) {
                tail.Restore();
                zip.endRecord_ = oldEndRecord;
                zip.endRecordPos_ = oldEndRecordPos;
                zip.commentPos_ = oldCommentPos;
                for (std::size_t i = 0; i < items_.size(); ++i)
                    items_[i]->CentralRecord.RelativeOffsetOfLocalHeader = oldOffsets[i];
                throw;
            }
        } else {
            detail::ScratchStream scratch(zip, zip.useTempFiles_);
            TStream& dest = scratch.Stream();
            if (tarnwick::TMemoryStream* memory = scratch.Memory())
                detail::ReserveScratch(*memory, detail::MeasureRebuiltArchive(zip), archive.Size());
            zip.WriteRebuiltArchive(dest);
            try {
                zip.ReplaceArchiveContent(dest);
            } catch (const detail::EArchiveDamaged& e) {
                // The archive is damaged and its new content is kept elsewhere: the collection
                // describes that copy, which is what the archive must be given back.
                archiveChanged = true;
                if (!scratch.Path().empty() && e.KeptPath() == scratch.Path())
                    scratch.Keep();
                detail::AdoptRebuiltState(zip, zip.endRecord_, zip.endRecordPos_, zip.commentPos_);
                zip.directoryFromScan_ = false;
                throw;
            }
            archiveChanged = true;
            ReadDirectory(archive);
        }
    } catch (...) {
        if (!archiveChanged)
            items_.insert(items_.begin() + index, std::move(removed));
        zip.namesStale_ = true;
        throw;
    }

    zip.namesStale_ = true;
    if (!zip.inBatch_)
        zip.ZipChanged(&zip, change::kRemoved);
}

void TOrvZipEntries::RemoveEntry(int index) { RemoveEntryAt(index); }

}  // namespace orvzip
