// entries.cpp -- the entry collection and the fields an entry derives from its central header.
#include "runtime/errors.h"
#include "zip/OrvZip.h"

namespace orvzip {

std::uint32_t TOrvZipEntriesEntry::LocalEntrySize() const
{
    const TCentralDirectoryFile& c = CentralRecord;
    std::uint32_t size = static_cast<std::uint32_t>(kLocalFileHeaderSize) + c.FileNameLength + c.ExtraFieldLength +
                         c.CompressedSize;
    // The descriptor is counted in front of the data, where the reader takes it from.
    if ((c.GeneralPurposeBitFlag & 8) != 0)
        size += static_cast<std::uint32_t>(kDataDescriptorSize);
    return size;
}

std::uint32_t TOrvZipEntriesEntry::CentralEntrySize() const
{
    const TCentralDirectoryFile& c = CentralRecord;
    return static_cast<std::uint32_t>(kCentralFileHeaderSize) + c.FileNameLength + c.ExtraFieldLength +
           c.FileCommentLength;
}

void TOrvZipEntriesEntry::DeriveFlags()
{
    const TCentralDirectoryFile& c = CentralRecord;
    Encrypted = (c.GeneralPurposeBitFlag & 1) != 0;
    FolderEntry = (c.ExternalFileAttributes & 0x10) != 0;
    CompressionType = TZipCompressionType::ctUnknown;
    if (c.CompressionMethod == 8 || c.CompressionMethod == 9) {
        switch (c.GeneralPurposeBitFlag & 6) {
        case 0:
            CompressionType = TZipCompressionType::ctNormal;
            break;
        case 2:
            CompressionType = TZipCompressionType::ctMaximum;
            break;
        case 4:
            CompressionType = TZipCompressionType::ctFast;
            break;
        default:
            CompressionType = TZipCompressionType::ctSuperFast;
            break;
        }
    }
}

void TOrvZipEntriesEntry::DeriveDate(std::uint32_t dosDateTime) { EntryDate = tarnwick::DosDateTimeToDateTime(dosDateTime); }

TOrvZipEntries::TOrvZipEntries(TOrvZip& owner) : owner_(&owner) {}

TOrvZipEntries::~TOrvZipEntries() = default;

TOrvZipEntriesEntry& TOrvZipEntries::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw tarnwick::EListError(index);
    return *items_[static_cast<std::size_t>(index)];
}

TOrvZipEntriesEntry& TOrvZipEntries::Add()
{
    items_.push_back(std::unique_ptr<TOrvZipEntriesEntry>(new TOrvZipEntriesEntry(*this)));
    return *items_.back();
}

void TOrvZipEntries::Delete(int index)
{
    (void)Items(index);
    items_.erase(items_.begin() + index);
}

void TOrvZipEntries::Clear() { items_.clear(); }

}  // namespace orvzip
