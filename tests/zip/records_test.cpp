// records_test.cpp -- the fixed blocks of the four records, the entry size formulas and the
// empty archive.
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "zip/OrvZip.h"

namespace orvzip {
namespace {

using tarnwick::test::FromHex;
using tarnwick::test::Hex;

template <typename Block>
std::string bytesOf(const Block& block)
{
    return std::string(block.begin(), block.end());
}

// Every field gets a distinct value, so a swapped, misplaced or wrongly sized field shows.
TEST(Records, LocalHeaderFieldsInFileOrderLittleEndian)
{
    TLocalFile r;
    r.Signature = kLocalFileSignature;
    r.VersionNeededToExtract = 0x0214;
    r.GeneralPurposeBitFlag = 0x0809;
    r.CompressionMethod = 0x0008;
    r.LastModFileTimeDate = 0x11223344;
    r.Crc32 = 0x3610A686;
    r.CompressedSize = 0x01020304;
    r.UncompressedSize = 0x05060708;
    r.FileNameLength = 0x0A0B;
    r.ExtraFieldLength = 0x0C0D;
    const std::string expected = FromHex("50 4B 03 04 14 02 09 08 08 00 44 33 22 11 86 A6 10 36"
                                         "04 03 02 01 08 07 06 05 0B 0A 0D 0C");
    ASSERT_EQ(Hex(bytesOf(r.Encode())), Hex(expected));
    TLocalFile back;
    back.Decode(reinterpret_cast<const std::uint8_t*>(expected.data()));
    EXPECT_EQ(bytesOf(back.Encode()), expected);
    EXPECT_EQ(back.Crc32, 0x3610A686u);
    EXPECT_EQ(back.ExtraFieldLength, 0x0C0D);
}

TEST(Records, CentralHeaderFieldsInFileOrderLittleEndian)
{
    TCentralDirectoryFile r;
    r.Signature = kCentralFileSignature;
    r.VersionMadeBy = 0x0314;
    r.VersionNeededToExtract = 0x0014;
    r.GeneralPurposeBitFlag = 0x0002;
    r.CompressionMethod = 0x0008;
    r.LastModFileTimeDate = 0xA1A2A3A4;
    r.Crc32 = 0xB1B2B3B4;
    r.CompressedSize = 0xC1C2C3C4;
    r.UncompressedSize = 0xD1D2D3D4;
    r.FileNameLength = 0x0009;
    r.ExtraFieldLength = 0x0018;
    r.FileCommentLength = 0x000C;
    r.DiskNumberStart = 0x0102;
    r.InternalFileAttributes = 0x0001;
    r.ExternalFileAttributes = 0x81A40020;
    r.RelativeOffsetOfLocalHeader = 0xE1E2E3E4;
    const std::string expected = FromHex("50 4B 01 02 14 03 14 00 02 00 08 00 A4 A3 A2 A1 B4 B3 B2 B1"
                                         "C4 C3 C2 C1 D4 D3 D2 D1 09 00 18 00 0C 00 02 01 01 00"
                                         "20 00 A4 81 E4 E3 E2 E1");
    ASSERT_EQ(Hex(bytesOf(r.Encode())), Hex(expected));
    TCentralDirectoryFile back;
    back.Decode(reinterpret_cast<const std::uint8_t*>(expected.data()));
    EXPECT_EQ(bytesOf(back.Encode()), expected);
    EXPECT_EQ(back.ExternalFileAttributes, 0x81A40020u);
    EXPECT_EQ(back.RelativeOffsetOfLocalHeader, 0xE1E2E3E4u);
}

TEST(Records, EndRecordAndDescriptorFieldsInFileOrder)
{
    TEndOfCentralDirectoryRecord e;
    e.Signature = kEndOfCentralDirSignature;
    e.NumberOfThisDisk = 0x0102;
    e.DiskWithCentralDirectoryStart = 0x0304;
    e.EntriesOnThisDisk = 0x0506;
    e.TotalEntries = 0x0708;
    e.CentralDirectorySize = 0x11121314;
    e.CentralDirectoryOffset = 0x21222324;
    e.CommentLength = 0x3132;
    const std::string endBytes = FromHex("50 4B 05 06 02 01 04 03 06 05 08 07 14 13 12 11 24 23 22 21 32 31");
    ASSERT_EQ(Hex(bytesOf(e.Encode())), Hex(endBytes));
    TEndOfCentralDirectoryRecord endBack;
    endBack.Decode(reinterpret_cast<const std::uint8_t*>(endBytes.data()));
    EXPECT_TRUE(endBack == e);

    TDataDescriptor d;
    d.Signature = 0x08074B50;
    d.Crc32 = 0x01020304;
    d.CompressedSize = 0x05060708;
    d.UncompressedSize = 0x090A0B0C;
    const std::string descBytes = FromHex("50 4B 07 08 04 03 02 01 08 07 06 05 0C 0B 0A 09");
    ASSERT_EQ(Hex(bytesOf(d.Encode())), Hex(descBytes));
    TDataDescriptor descBack;
    descBack.Decode(reinterpret_cast<const std::uint8_t*>(descBytes.data()));
    EXPECT_EQ(bytesOf(descBack.Encode()), descBytes);
}

TEST(Records, EmptyArchiveIsOneEndRecordOfZeros)
{
    TOrvZip zip(nullptr);
    tarnwick::TMemoryStream stream;
    zip.WriteEmptyArchive(stream);
    EXPECT_EQ(Hex(stream.Bytes()), Hex(FromHex("50 4B 05 06") + std::string(18, '\0')));
}

struct SizeCase {
    const char* what;
    std::uint16_t name, extra, comment, flag;
    std::uint32_t compressed;
    std::uint32_t local, central;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.what; }

class EntrySizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(EntrySizes, FollowTheCentralHeader)
{
    const SizeCase& c = GetParam();
    TOrvZip zip(nullptr);
    TOrvZipEntriesEntry& e = zip.Entries().Add();
    e.CentralRecord.FileNameLength = c.name;
    e.CentralRecord.ExtraFieldLength = c.extra;
    e.CentralRecord.FileCommentLength = c.comment;
    e.CentralRecord.GeneralPurposeBitFlag = c.flag;
    e.CentralRecord.CompressedSize = c.compressed;
    // The local header's own lengths play no part.
    e.LocalRecord.ExtraFieldLength = 28;
    EXPECT_EQ(e.LocalEntrySize(), c.local);
    EXPECT_EQ(e.CentralEntrySize(), c.central);
}

INSTANTIATE_TEST_SUITE_P(Table, EntrySizes,
                         ::testing::Values(SizeCase{"plain", 9, 0, 0, 0, 7, 46, 55},
                                           SizeCase{"descriptor", 9, 0, 0, 8, 7, 62, 55},
                                           SizeCase{"other flags", 9, 0, 0, 0x0F7 & ~8, 7, 46, 55},
                                           SizeCase{"comment", 9, 0, 12, 0, 7, 46, 67},
                                           SizeCase{"extra", 9, 24, 0, 0, 7, 70, 79}),
                         [](const auto& info) {
                             std::string n = info.param.what;
                             for (char& ch : n)
                                 if (ch == ' ')
                                     ch = '_';
                             return n;
                         });

}  // namespace
}  // namespace orvzip
