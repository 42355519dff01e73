// remove_test.cpp -- removing entries: index errors, failures part-way through an in-place
// removal, read-only and damaged archives, and the stored comment.
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

#include "rebuild_test_helpers.h"
#include "runtime/errors.h"
#include "runtime/fault.h"

namespace orvzip::test::rebuild {
namespace {

namespace fault = tarnwick::fault;
using tarnwick::test::WriteFileBytes;

const std::vector<Content> kThree = {
    {"one.txt", textData(30)},
    {"two.bin", NoiseBytes(2500, 9)},
    {"three.txt", textData(3)},
};

std::vector<Content> without(std::vector<Content> contents, std::size_t index)
{
    contents.erase(contents.begin() + static_cast<std::ptrdiff_t>(index));
    return contents;
}

TEST(RemoveEntry, IndexOutsideTheCollectionRaisesAndChangesNothing)
{
    for (const TZipSaveMethod method : {TZipSaveMethod::FastSave, TZipSaveMethod::RebuildAll}) {
        SCOPED_TRACE(ToString(method));
        tarnwick::test::TempDir dir;
        const std::string path = dir / "a.zip";
        TOrvZip zip(nullptr);
        buildArchive(zip, path, kThree, {"c"});
        zip.SetSaveMethod(method);
        EventLog log(zip);
        const std::string before = ReadFileBytes(path);
        const std::string state = describe(zip);
        EXPECT_THROW_MSG(zip.Entries().RemoveEntryAt(-1), tarnwick::EListError, "Index de liste hors limites (-1)");
        EXPECT_THROW_MSG(zip.Entries().RemoveEntry(3), tarnwick::EListError, "Index de liste hors limites (3)");
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_EQ(describe(zip), state);
        EXPECT_TRUE(log.Lines().empty());
    }
}

// In place, the removed entry's bytes are kept with the tail: a write or the final cut that
// fails puts the archive back byte for byte, and the collection with it.
TEST(RemoveEntryInPlace, FailurePartWayPutsArchiveAndCollectionBack)
{
    const struct {
        const char* what;
        fault::Op op;
    } failures[] = {{"a write fails", fault::Op::Write}, {"the cut fails", fault::Op::SetSize}};
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.what);
        tarnwick::test::TempDir dir;
        const std::string path = dir / "a.zip";
        TOrvZip zip(nullptr);
        buildArchive(zip, path, kThree, {"c"});
        std::vector<std::int32_t> changes;
        zip.OnZipChange = [&](TComponent*, std::int32_t type) { changes.push_back(type); };
        const std::string before = ReadFileBytes(path);
        const std::string state = describe(zip);
        {
            fault::Scoped rule({failure.op, ENOSPC, 0, "a.zip", 1});
            EXPECT_THROW_MSG(zip.Entries().RemoveEntryAt(0), tarnwick::EInOutError, "Disque plein");
            EXPECT_EQ(fault::FailuresGiven(), 1);
        }
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_EQ(describe(zip), state);
        EXPECT_TRUE(changes.empty());
        zip.Entries().RemoveEntryAt(0);  // and the archive still works
        expectArchive(zip, path, without(kThree, 0), "c\r\n");
    }
}

TEST(RemoveEntry, ReadOnlyArchiveRaisesAndChangesNothing)
{
    for (const TZipSaveMethod method : {TZipSaveMethod::FastSave, TZipSaveMethod::RebuildAll}) {
        SCOPED_TRACE(ToString(method));
        tarnwick::test::TempDir dir;
        const std::string path = dir / "a.zip";
        {
            TOrvZip writer(nullptr);
            buildArchive(writer, path, kThree);
        }
        ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
        TOrvZip zip(nullptr);
        zip.OpenArchiveFile(path);
        ASSERT_TRUE(zip.ReadOnly());
        zip.SetSaveMethod(method);
        const std::string before = ReadFileBytes(path);
        const std::string state = describe(zip);
        EXPECT_THROW(zip.Entries().RemoveEntryAt(1), tarnwick::EInOutError);
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_EQ(describe(zip), state);
    }
}

// The stored comment goes back behind the end record as the bytes it is, whatever its line
// breaks, and CommentLength keeps counting exactly those bytes; a comment cut short by the end
// of the file is carried over as far as it goes, with its length set to match.
TEST(RemoveEntry, StoredCommentIsCarriedOverByteForByte)
{
    const struct {
        const char* what;
        std::string stored;
        std::uint16_t claimed;
        std::string expected;
    } comments[] = {
        {"no final line break", "no line end", 11, "no line end"},
        {"a bare LF and a zero byte", std::string("a\nb\0c", 5), 5, std::string("a\nb\0c", 5)},
        {"cut short by the end of the file", "cut", 10, "cut"},
    };
    for (const auto& comment : comments) {
        for (const TZipSaveMethod method : {TZipSaveMethod::FastSave, TZipSaveMethod::RebuildAll}) {
            SCOPED_TRACE(std::string(comment.what) + ", " + ToString(method));
            tarnwick::test::TempDir dir;
            const std::string path = dir / "a.zip";
            {
                TOrvZip writer(nullptr);
                buildArchive(writer, path, kThree);
            }
            std::string bytes = ReadFileBytes(path);
            putU16(bytes, bytes.size() - 2, comment.claimed);
            WriteFileBytes(path, bytes + comment.stored);

            TOrvZip zip(nullptr);
            zip.OpenArchiveFile(path);
            ASSERT_TRUE(zip.IsZipFile());
            zip.SetSaveMethod(method);
            zip.Entries().RemoveEntryAt(1);
            expectArchive(zip, path, without(kThree, 1), comment.expected);
            if (method == TZipSaveMethod::RebuildAll) {
                addData(zip, "new.txt", "added");
                expectArchive(zip, path, {kThree[0], kThree[2], {"new.txt", "added"}}, comment.expected);
            }
        }
    }
}

// An archive whose end of file was lost opens through the walk over its local headers; its
// directory exists only in memory, so a removal rebuilds it instead of moving a tail that is
// no directory.
TEST(RemoveEntry, ArchiveOpenedFromItsLocalHeadersIsRebuilt)
{
    tarnwick::test::TempDir dir;
    const std::string path = dir / "a.zip";
    std::uint32_t centralStart = 0;
    {
        TOrvZip writer(nullptr);
        buildArchive(writer, path, kThree);
        centralStart = writer.EndRecord().CentralDirectoryOffset;
    }
    WriteFileBytes(path, ReadFileBytes(path).substr(0, centralStart + 20));
    TOrvZip zip(nullptr);
    zip.OpenArchiveFile(path);
    ASSERT_TRUE(zip.IsZipFile());
    ASSERT_TRUE(zip.HasDamagedEntries());
    zip.Entries().RemoveEntryAt(1);
    expectArchive(zip, path, without(kThree, 1), "");
}

// An entry whose local header is missing where its central header points: a rebuild writes an
// all-zero header in its place, still pointed at by its central header, and copies the others.
TEST(RemoveEntry, RebuildWritesAMissingLocalHeaderAsZeros)
{
    tarnwick::test::TempDir dir;
    const std::string path = dir / "a.zip";
    std::uint32_t secondLocal = 0;
    {
        TOrvZip writer(nullptr);
        buildArchive(writer, path, kThree);
        secondLocal = writer.Entries().Items(1).CentralRecord.RelativeOffsetOfLocalHeader;
    }
    std::string bytes = ReadFileBytes(path);
    bytes[secondLocal] = 'X';
    WriteFileBytes(path, bytes);
    TOrvZip zip(nullptr);
    zip.OpenArchiveFile(path);
    ASSERT_TRUE(zip.IsZipFile());
    ASSERT_TRUE(zip.HasDamagedEntries());
    zip.SetSaveMethod(TZipSaveMethod::RebuildAll);
    zip.Entries().RemoveEntryAt(0);

    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(zip.Entries().Count(), 2);
    const std::uint32_t zeros = zip.Entries().Items(0).CentralRecord.RelativeOffsetOfLocalHeader;
    EXPECT_EQ(zeros, 0u);
    EXPECT_EQ(after.substr(zeros, 30), std::string(30, '\0'));
    const std::uint32_t third = zip.Entries().Items(1).CentralRecord.RelativeOffsetOfLocalHeader;
    EXPECT_EQ(third, 30u);
    EXPECT_EQ(u32At(after, third), kLocalFileSignature);
    const auto read = readWithZipfile(path, nullptr, "", {"three.txt"});
    EXPECT_EQ(read.at("three.txt"), kThree[2].Data);
}

// A central header whose size runs past the end of the archive: the rebuild refuses it with a
// message that names the entry, before anything is written, and allocates nothing for it.
TEST(RemoveEntry, EntryWhoseDataRunsPastTheEndIsRefused)
{
    tarnwick::test::TempDir dir;
    const std::string path = dir / "a.zip";
    std::uint32_t secondCentral = 0;
    {
        TOrvZip writer(nullptr);
        buildArchive(writer, path, kThree);
        secondCentral = writer.EndRecord().CentralDirectoryOffset + writer.Entries().Items(0).CentralEntrySize();
    }
    std::string bytes = ReadFileBytes(path);
    putU16(bytes, secondCentral + 20, 0xFFFF);
    putU16(bytes, secondCentral + 22, 0x7FFF);
    WriteFileBytes(path, bytes);

    TOrvZip zip(nullptr);
    zip.OpenArchiveFile(path);
    ASSERT_TRUE(zip.IsZipFile());
    const std::string state = describe(zip);
    EXPECT_THROW_MSG(zip.Entries().RemoveEntryAt(0), tarnwick::Exception,
                     "Entry \"two.bin\" of archive \"" + path +
                         "\" is cut short: its data runs past the end of the archive");
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(describe(zip), state);
}

}  // namespace
}  // namespace orvzip::test::rebuild
