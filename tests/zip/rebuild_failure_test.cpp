// rebuild_failure_test.cpp -- rebuilds that fail: nothing lost, no scratch file left behind,
// collection and file in agreement afterwards.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <ostream>

#include "rebuild_test_helpers.h"
#include "runtime/errors.h"
#include "runtime/fault.h"

namespace orvzip::test::rebuild {
namespace {

namespace fault = tarnwick::fault;

const std::vector<Content> kTwo = {{"one.txt", textData(30)}, {"two.bin", NoiseBytes(2000, 5)}};
const std::string kComment = "kept\r\n";

enum class Failure { ResizeFails, CopyFailsOnce, CopyFailsAlways };
enum class Operation { Add, Remove };

struct FailureCase {
    Failure failure;
    Operation operation;
    bool tempFiles;
};

std::string caseName(const FailureCase& c)
{
    const char* f[] = {"ResizeFails", "CopyFailsOnce", "CopyFailsAlways"};
    return std::string(f[static_cast<int>(c.failure)]) + (c.operation == Operation::Add ? "_Add" : "_Remove") +
           (c.tempFiles ? "_TempFile" : "_Memory");
}

std::ostream& operator<<(std::ostream& os, const FailureCase& c) { return os << caseName(c); }

class RebuildFailure : public ::testing::TestWithParam<FailureCase> {
protected:
    void TearDown() override { fault::Reset(); }
};

TEST_P(RebuildFailure, LosesNothing)
{
    const FailureCase c = GetParam();
    tarnwick::test::TempDir dir;
    ScratchFolder scratch(dir / "tmp");
    const std::string path = dir / "a.zip";
    TOrvZip zip(nullptr);
    buildArchive(zip, path, kTwo, {"kept"});
    zip.SetSaveMethod(TZipSaveMethod::RebuildAll);
    zip.SetUseTempFiles(c.tempFiles);
    std::vector<std::int32_t> changes;
    zip.OnZipChange = [&](TComponent*, std::int32_t type) { changes.push_back(type); };
    const std::string before = ReadFileBytes(path);
    const std::string state = describe(zip);

    std::vector<Content> after = kTwo;
    if (c.operation == Operation::Add)
        after.push_back({"new.txt", "new data"});
    else
        after.erase(after.begin());

    switch (c.failure) {
    case Failure::ResizeFails: fault::Arm({fault::Op::SetSize, ENOSPC, 0, "a.zip", 1}); break;
    case Failure::CopyFailsOnce: fault::Arm({fault::Op::Write, ENOSPC, 0, "a.zip", 1}); break;
    case Failure::CopyFailsAlways: fault::Arm({fault::Op::Write, ENOSPC, 0, "a.zip", -1}); break;
    }
    std::string message;
    try {
        if (c.operation == Operation::Add)
            addData(zip, "new.txt", "new data");
        else
            zip.Entries().RemoveEntryAt(0);
    } catch (const tarnwick::Exception& e) {
        message = e.what();
    }
    EXPECT_GE(fault::FailuresGiven(), 1);
    fault::Reset();

    switch (c.failure) {
    case Failure::ResizeFails:
        // The archive keeps its size and content, and the collection still describes it.
        EXPECT_EQ(message, "Disque plein");
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_EQ(describe(zip), state);
        EXPECT_TRUE(changes.empty());
        EXPECT_TRUE(scratch.Files().empty());
        expectArchive(zip, path, kTwo, kComment);
        break;
    case Failure::CopyFailsOnce:
        // The second attempt puts the whole new content in place.
        EXPECT_EQ(message, "");
        expectArchive(zip, path, after, kComment);
        EXPECT_TRUE(scratch.Files().empty());
        break;
    case Failure::CopyFailsAlways: {
        // The archive is damaged; the complete new content is kept, the error says where, and
        // the collection describes that copy.
        EXPECT_NE(message.find("The archive \"" + path + "\" could not be rewritten (Disque plein)"), std::string::npos)
            << message;
        const auto files = scratch.Files();
        ASSERT_EQ(files.size(), 1u);
        const std::string kept = scratch.path() + "/" + files[0];
        EXPECT_NE(message.find("its complete new content is kept in \"" + kept + "\""), std::string::npos) << message;
        EXPECT_TRUE(changes.empty());
        expectArchive(zip, kept, after, kComment);
        break;
    }
    }
}

std::vector<FailureCase> failureCases()
{
    std::vector<FailureCase> cases;
    for (Failure f : {Failure::ResizeFails, Failure::CopyFailsOnce, Failure::CopyFailsAlways})
        for (Operation op : {Operation::Add, Operation::Remove})
            for (bool tempFiles : {false, true})
                cases.push_back({f, op, tempFiles});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Replace, RebuildFailure, ::testing::ValuesIn(failureCases()),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return caseName(info.param); });

// A source that announces data and then fails to deliver it.
class FailingSource final : public tarnwick::TStream {
public:
    std::int64_t Read(void*, std::int64_t) override { throw tarnwick::EReadError(); }
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t, tarnwick::SeekOrigin) override { return 0; }
    std::int64_t Size() override { return 100; }
    void SetSize(std::int64_t) override {}
};

// The add fails after the scratch copy of the existing entries was written: the scratch file
// goes, the archive and the collection stay as they were; a replaced entry stays removed, and
// InBatch is back to its value.
TEST(RebuildAddFailure, SourceThatFailsLeavesArchiveScratchAndCollectionClean)
{
    for (const bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "replacing two.bin" : "adding new.bin");
        tarnwick::test::TempDir dir;
        ScratchFolder scratch(dir / "tmp");
        const std::string path = dir / "a.zip";
        TOrvZip zip(nullptr);
        buildArchive(zip, path, kTwo, {"kept"});
        zip.SetSaveMethod(TZipSaveMethod::RebuildAll);
        zip.SetUseTempFiles(true);
        FailingSource source;
        EXPECT_THROW_MSG(zip.Entries().AddStreamEntry(replacing ? "two.bin" : "new.bin", 0x20, source, kDate),
                         tarnwick::EReadError, "Erreur de lecture du flux");
        EXPECT_TRUE(scratch.Files().empty());
        EXPECT_FALSE(zip.InBatch());
        const std::vector<Content> left = replacing ? std::vector<Content>{kTwo[0]} : kTwo;
        expectArchive(zip, path, left, kComment);
    }
}

// The removal of a replaced entry fails: InBatch gets its value back, the old entry stays in
// archive and collection, and the new one is not added.
TEST(RebuildAddFailure, ReplacementWhoseRemovalFailsRestoresInBatch)
{
    for (const bool inBatch : {false, true}) {
        SCOPED_TRACE(inBatch ? "InBatch set" : "InBatch clear");
        tarnwick::test::TempDir dir;
        const std::string path = dir / "a.zip";
        TOrvZip zip(nullptr);
        buildArchive(zip, path, kTwo, {"kept"});
        zip.SetSaveMethod(TZipSaveMethod::RebuildAll);
        zip.SetInBatch(inBatch);
        {
            fault::Scoped rule({fault::Op::SetSize, ENOSPC, 0, "a.zip", 1});
            EXPECT_THROW_MSG(addData(zip, "one.txt", "replacement"), tarnwick::EInOutError, "Disque plein");
        }
        EXPECT_EQ(zip.InBatch(), inBatch);
        expectArchive(zip, path, kTwo, kComment);
    }
}

TEST(RebuildScratch, CreationFailureChangesNothingAndLeavesNoFile)
{
    tarnwick::test::TempDir dir;
    const std::string path = dir / "a.zip";
    TOrvZip zip(nullptr);
    buildArchive(zip, path, kTwo, {"kept"});
    zip.SetSaveMethod(TZipSaveMethod::RebuildAll);
    zip.SetUseTempFiles(true);
    const std::string before = ReadFileBytes(path);
    {
        // The scratch file cannot be opened once it was made: it is deleted again.
        ScratchFolder scratch(dir / "tmp");
        fault::Scoped failCreate({fault::Op::Create, EACCES, 0, scratch.path(), -1});
        EXPECT_THROW(addData(zip, "new.txt", "x"), tarnwick::EFCreateError);
        EXPECT_THROW(zip.Entries().RemoveEntryAt(0), tarnwick::EFCreateError);
        EXPECT_TRUE(scratch.Files().empty());
    }
    {
        // No temporary folder: the scratch name falls back to the current directory, which
        // cannot be created as a file.
        ScratchFolder scratch(dir / "tmp");
        ::setenv("TMPDIR", (dir / "missing").c_str(), 1);
        EXPECT_EQ(zip.MakeTempFileName(), tarnwick::GetCurrentDir());
        EXPECT_THROW_MSG(addData(zip, "new.txt", "x"), tarnwick::EFCreateError,
                         "Impossible de créer le fichier " + tarnwick::GetCurrentDir());
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    expectArchive(zip, path, kTwo, kComment);
}

// 65535 entries fill the 16-bit counts: one more is refused before anything is written, and a
// replacement, which keeps the count, still goes through.
TEST(RebuildLimits, AddToAFullArchiveIsRefused)
{
    constexpr int kFull = 65535;
    std::string local, central;
    for (int i = 0; i < kFull; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "e%05d", i);
        TLocalFile l;
        l.Signature = kLocalFileSignature;
        l.VersionNeededToExtract = 20;
        l.LastModFileTimeDate = tarnwick::DateTimeToDosDateTime(kDate);
        l.FileNameLength = 6;
        TCentralDirectoryFile c;
        c.Signature = kCentralFileSignature;
        c.VersionMadeBy = c.VersionNeededToExtract = 20;
        c.LastModFileTimeDate = l.LastModFileTimeDate;
        c.FileNameLength = 6;
        c.ExternalFileAttributes = 0x20;
        c.RelativeOffsetOfLocalHeader = static_cast<std::uint32_t>(local.size());
        const auto lb = l.Encode();
        const auto cb = c.Encode();
        local.append(reinterpret_cast<const char*>(lb.data()), lb.size()).append(name, 6);
        central.append(reinterpret_cast<const char*>(cb.data()), cb.size()).append(name, 6);
    }
    TEndOfCentralDirectoryRecord end;
    end.Signature = kEndOfCentralDirSignature;
    end.EntriesOnThisDisk = end.TotalEntries = kFull;
    end.CentralDirectorySize = static_cast<std::uint32_t>(central.size());
    end.CentralDirectoryOffset = static_cast<std::uint32_t>(local.size());
    const auto eb = end.Encode();
    const std::string bytes = local + central + std::string(reinterpret_cast<const char*>(eb.data()), eb.size());

    TOrvZip zip(nullptr);
    auto stream = std::make_unique<tarnwick::TMemoryStream>();
    stream->WriteBuffer(bytes);
    tarnwick::TMemoryStream* archive = stream.get();
    zip.OpenArchiveStream(std::move(stream));
    ASSERT_TRUE(zip.IsZipFile());
    ASSERT_EQ(zip.Entries().Count(), kFull);
    zip.SetSaveMethod(TZipSaveMethod::RebuildAll);
    zip.SetStoreFolders(false);
    std::vector<std::int32_t> changes;
    zip.OnZipChange = [&](TComponent*, std::int32_t type) { changes.push_back(type); };

    EXPECT_THROW_MSG(addData(zip, "one-more.txt", "x"), tarnwick::Exception,
                     "The archive \"\" already holds 65535 entries, the most it can hold");
    EXPECT_EQ(zip.Entries().Count(), kFull);
    EXPECT_EQ(archive->Bytes(), bytes);
    EXPECT_TRUE(changes.empty());

    addData(zip, "e00007", "replaced");
    EXPECT_EQ(zip.Entries().Count(), kFull);
    EXPECT_EQ(zip.Entries().Items(kFull - 1).CentralRecord.FileName, "e00007");
    TOrvZip again(nullptr);
    auto copy = std::make_unique<tarnwick::TMemoryStream>();
    copy->WriteBuffer(archive->Bytes());
    again.OpenArchiveStream(std::move(copy));
    ASSERT_EQ(again.Entries().Count(), kFull);
    EXPECT_FALSE(again.HasDamagedEntries());
    EXPECT_EQ(again.Entries().Items(kFull - 1).CentralRecord.FileName, "e00007");
}

}  // namespace
}  // namespace orvzip::test::rebuild
