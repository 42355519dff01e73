// records.h -- the four on-disk ZIP records and their in-memory forms.
//
// Each record is read and written field by field, little-endian, whatever the host: the fixed
// block (30, 46, 22 or 16 bytes) through Encode / Decode, the variable parts as separate strings
// whose length fields are the authority.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orvzip {

inline constexpr std::uint32_t kLocalFileSignature = 0x04034B50;
inline constexpr std::uint32_t kCentralFileSignature = 0x02014B50;
inline constexpr std::uint32_t kEndOfCentralDirSignature = 0x06054B50;

inline constexpr std::size_t kLocalFileHeaderSize = 30;
inline constexpr std::size_t kCentralFileHeaderSize = 46;
inline constexpr std::size_t kEndOfCentralDirSize = 22;
inline constexpr std::size_t kDataDescriptorSize = 16;

// Local file header; then FileName, ExtraField and the entry's data.
struct TLocalFile {
    std::uint32_t Signature = 0;
    std::uint16_t VersionNeededToExtract = 0;
    std::uint16_t GeneralPurposeBitFlag = 0;  // bit 0 encrypted, bits 1-2 deflate option, bit 3 descriptor
    std::uint16_t CompressionMethod = 0;      // 0 stored, 8 deflate, 9 deflate64
    std::uint32_t LastModFileTimeDate = 0;    // DOS time low 16 bits, DOS date high 16 bits
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t FileNameLength = 0;
    std::uint16_t ExtraFieldLength = 0;
    std::string FileName;
    std::string ExtraField;
    std::string CompressedData;  // filled only while a rebuild copies an entry

    using Block = std::array<std::uint8_t, kLocalFileHeaderSize>;
    Block Encode() const;
    void Decode(const std::uint8_t* block);  // the fixed fields only
};

// Data descriptor; never written by the component.
struct TDataDescriptor {
    std::uint32_t Signature = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;

    using Block = std::array<std::uint8_t, kDataDescriptorSize>;
    Block Encode() const;
    void Decode(const std::uint8_t* block);
};

// Central directory file header; then FileName, ExtraField and FileComment.
struct TCentralDirectoryFile {
    std::uint32_t Signature = 0;
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t VersionNeededToExtract = 0;
    std::uint16_t GeneralPurposeBitFlag = 0;
    std::uint16_t CompressionMethod = 0;
    std::uint32_t LastModFileTimeDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t FileNameLength = 0;
    std::uint16_t ExtraFieldLength = 0;
    std::uint16_t FileCommentLength = 0;
    std::uint16_t DiskNumberStart = 0;
    std::uint16_t InternalFileAttributes = 0;
    std::uint32_t ExternalFileAttributes = 0;  // Windows attribute bits in the low 16 bits
    std::uint32_t RelativeOffsetOfLocalHeader = 0;
    std::string FileName;
    std::string ExtraField;
    std::string FileComment;

    using Block = std::array<std::uint8_t, kCentralFileHeaderSize>;
    Block Encode() const;
    void Decode(const std::uint8_t* block);
};

// End of central directory record; the archive comment is held apart.
struct TEndOfCentralDirectoryRecord {
    std::uint32_t Signature = 0;
    std::uint16_t NumberOfThisDisk = 0;
    std::uint16_t DiskWithCentralDirectoryStart = 0;
    std::uint16_t EntriesOnThisDisk = 0;
    std::uint16_t TotalEntries = 0;
    std::uint32_t CentralDirectorySize = 0;
    std::uint32_t CentralDirectoryOffset = 0;
    std::uint16_t CommentLength = 0;

    using Block = std::array<std::uint8_t, kEndOfCentralDirSize>;
    Block Encode() const;
    void Decode(const std::uint8_t* block);
    bool operator==(const TEndOfCentralDirectoryRecord&) const = default;
};

}  // namespace orvzip
