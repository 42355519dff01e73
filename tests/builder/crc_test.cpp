// crc_test.cpp -- the CRC-32 table, the register update and the CRC of files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>

#include "builder/crc.h"
#include "builder_test_util.h"
#include "runtime/errors.h"
#include "runtime/fault.h"
#include "support/test_support.h"

namespace tarnwick::test {
namespace {

std::uint32_t Crc32Of(const std::string& bytes)
{
    return ~UpdateCrc32(0xFFFFFFFFu, bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

TEST(Crc32, TableAndKnownAnswers)
{
    EXPECT_EQ(Crc32Table[0], 0x00000000u);
    EXPECT_EQ(Crc32Table[1], 0x77073096u);
    EXPECT_EQ(Crc32Table[255], 0x2D02EF8Du);

    EXPECT_EQ(Crc32Of(""), 0u);
    EXPECT_EQ(Crc32Of("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32Of("a"), 0xE8B7BE43u);

    // In pieces, the register carried from one call to the next.
    std::uint32_t r = UpdateCrc32(0xFFFFFFFFu, "1234", 4);
    r = UpdateCrc32(r, "56789", 5);
    EXPECT_EQ(~r, 0xCBF43926u);

    // No bytes: the register is given back as it came, neither preset nor inverted.
    EXPECT_EQ(UpdateCrc32(0x12345678u, nullptr, 9), 0x12345678u);
    EXPECT_EQ(UpdateCrc32(0x12345678u, "x", 0), 0x12345678u);
}

TEST(FileCrc32, EqualsZlibAcrossBlockEdges)
{
    TempDir dir;
    for (const std::size_t size : {0u, 1u, 65535u, 65536u, 65537u, 3u * 65536u + 11u}) {
        SCOPED_TRACE(size);
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        const std::string path = dir / "f.bin";
        WriteFileBytes(path, bytes);
        EXPECT_EQ(FileCrc32(path), ZlibCrc32(bytes));
        EXPECT_EQ(FileCrc32(path), Crc32Of(bytes));
    }
}

TEST(FileCrc32, ReadsAFileThatAnotherWriterHoldsOpen)
{
    TempDir dir;
    std::ofstream writer(dir / "open.txt", std::ios::binary);
    writer << "123456789" << std::flush;
    EXPECT_EQ(FileCrc32(dir / "open.txt"), 0xCBF43926u);
    writer << "more";
}

TEST(FileCrc32, FailuresRaiseTheIoErrorOfTheirCode)
{
    TempDir dir;
    WriteFileBytes(dir / "data.bin", "abc");
    EXPECT_THROW_MSG(FileCrc32(dir / "missing.bin"), EInOutError, "Fichier introuvable");
    EXPECT_THROW_MSG(FileCrc32(dir / "nofolder/data.bin"), EInOutError, "Nom de fichier incorrect");
    EXPECT_THROW_MSG(FileCrc32(dir.path()), EInOutError, "Accès au fichier refusé");
    {
        fault::Scoped readFails({fault::Op::Read, EACCES, 0, "data.bin"});
        EXPECT_THROW_MSG(FileCrc32(dir / "data.bin"), EInOutError, "Accès au fichier refusé");
    }
    {
        fault::Scoped closeFails({fault::Op::Close, ENOSPC, 0, "data.bin"});
        EXPECT_THROW_MSG(FileCrc32(dir / "data.bin"), EInOutError, "Disque plein");
    }
}

TEST(FileCrc32, AnUnreadableFileIsAccessDenied)
{
    TempDir dir;
    WriteFileBytes(dir / "data.bin", "abc");
    ::chmod((dir / "data.bin").c_str(), 0);
    // Where this process may read any file, the fault seam refuses the open instead.
    std::unique_ptr<fault::Scoped> refused;
    if (::access((dir / "data.bin").c_str(), R_OK) == 0)
        refused = std::make_unique<fault::Scoped>(fault::Rule{fault::Op::Open, EACCES, 0, "data.bin"});
    EXPECT_THROW_MSG(FileCrc32(dir / "data.bin"), EInOutError, "Accès au fichier refusé");
}

}  // namespace
}  // namespace tarnwick::test
