// hostile_archive_test.cpp -- archives whose directory lies about where it is: the add that
// would write behind the end of the file refuses, and the file keeps its size and bytes.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "zip/OrvZip.h"

namespace tarnwick::test {
namespace {

TEST(HostileArchive, AnAddBehindTheEndOfTheFileIsRefusedAndTheFileStaysAsItWas)
{
    // A local header "a.txt" with 4 bytes of data, stored.
    const std::string local = FromHex("504B0304 1400 0000 0000 0000 2158") + std::string(4, '\0') +
                              FromHex("04000000 04000000 0500 0000") + "a.txt" + "data";
    struct Case {
        const char* what;
        std::string bytes;
        std::uint32_t directoryAt;
    };
    const Case cases[] = {
        // No entries, and a directory said to start 1.3 GB in.
        {"an end record far behind the end", FromHex("504B0506 0000 0000 0000 0000 00000000 00202250 0000"),
         0x50222000},
        // No end record: the walk takes the entry's stored size, 4 GB less a little, as the
        // bytes up to the directory, which takes it past 4 GiB.
        {"an entry cut short", local.substr(0, 18) + FromHex("F0FFFFFF") + local.substr(22), 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir / "hostile.zip";
        WriteFileBytes(path, c.bytes);
        WriteFileBytes(dir / "new.txt", "new");
        orvzip::TOrvZip zip(nullptr);
        zip.OpenArchiveFile(path);
        ASSERT_TRUE(zip.IsZipFile());
        const std::uint32_t at = zip.EndRecord().CentralDirectoryOffset;
        EXPECT_EQ(at, c.directoryAt);
        EXPECT_THROW_MSG(zip.AddFileEntry(dir / "new.txt"), Exception,
                         "The archive \"" + path + "\" is damaged: its directory would begin at " +
                             std::to_string(at) + ", behind its end at " + std::to_string(c.bytes.size()));
        zip.CloseArchive();
        EXPECT_EQ(Hex(ReadFileBytes(path)), Hex(c.bytes));
    }
}

}  // namespace
}  // namespace tarnwick::test
