// fault_table_test.cpp -- one table over (operation x fault): a full disk, a failing write, a
// failing resize, a failing close and a file that vanishes, injected through the platform
// layer's seam into a whole build and into each archive operation.
//
// After each case: the exact message (or success where the fault is never met), no descriptor
// left open, no scratch file left in TMPDIR, the component's state agreeing with the file, and
// nothing lost: an archive that an operation failed to change holds what it held before, one
// that it changed reads back with its entries; a build that failed has reset its state, enabled
// the tree and kept the list lines written before the fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "builder/build_command.h"
#include "builder_test_util.h"
#include "hardening_util.h"
#include "runtime/errors.h"
#include "runtime/fault.h"
#include "runtime/filesystem.h"
#include "support/test_support.h"
#include "zip/OrvZip.h"
#include "zip_test_util.h"

namespace tarnwick::test {
namespace {

using fault::Op;
using orvzip::TOrvZip;
using orvzip::TZipSaveMethod;

enum class Operation {
    Build,
    Create,
    Open,
    FastSaveAdd,
    RebuildAddInMemory,
    RebuildAddThroughTempFile,
    RemoveInPlace,
    RemoveByRebuild,
    WriteComment,
};
enum class Fault { DiskFull, WriteFails, ResizeFails, CloseFails, Vanishes };

const char* NameOf(Operation op)
{
    switch (op) {
    case Operation::Build: return "Build";
    case Operation::Create: return "Create";
    case Operation::Open: return "Open";
    case Operation::FastSaveAdd: return "FastSaveAdd";
    case Operation::RebuildAddInMemory: return "RebuildAddInMemory";
    case Operation::RebuildAddThroughTempFile: return "RebuildAddThroughTempFile";
    case Operation::RemoveInPlace: return "RemoveInPlace";
    case Operation::RemoveByRebuild: return "RemoveByRebuild";
    case Operation::WriteComment: return "WriteComment";
    }
    return "?";
}

const char* NameOf(Fault f)
{
    switch (f) {
    case Fault::DiskFull: return "DiskFull";
    case Fault::WriteFails: return "WriteFails";
    case Fault::ResizeFails: return "ResizeFails";
    case Fault::CloseFails: return "CloseFails";
    case Fault::Vanishes: return "Vanishes";
    }
    return "?";
}

const std::string kDiskFull = "Disque plein";
const std::string kDeviceError = "Erreur E/S 1117";  // EIO

// The message each case ends with; empty where the operation never meets the fault (or, for a
// rebuild's single failing write, gets past it by writing the archive a second time).
// "%A" stands for the archive's path, "%S" for the added file's.
std::string ExpectedMessage(Operation op, Fault f)
{
    const bool writes = f == Fault::DiskFull || f == Fault::WriteFails;
    const std::string writeError = f == Fault::DiskFull ? kDiskFull : kDeviceError;
    switch (op) {
    case Operation::Build:
        if (writes)
            return writeError;
        return f == Fault::Vanishes ? "Fichier introuvable" : kDeviceError;
    case Operation::Create:
        if (writes)
            return writeError;
        return f == Fault::CloseFails ? kDeviceError : "";
    case Operation::Open:
        return f == Fault::Vanishes ? "Impossible d'ouvrir le fichier %A" : "";
    case Operation::FastSaveAdd:
    case Operation::RebuildAddThroughTempFile:
        if (writes)
            return writeError;
        if (f == Fault::ResizeFails)
            return kDeviceError;
        return f == Fault::Vanishes ? "Impossible d'ouvrir le fichier %S" : "";
    case Operation::RebuildAddInMemory:
        if (f == Fault::ResizeFails)
            return kDeviceError;
        return f == Fault::Vanishes ? "Impossible d'ouvrir le fichier %S" : "";
    case Operation::RemoveInPlace:
    case Operation::WriteComment:
        if (writes)
            return writeError;
        return f == Fault::ResizeFails ? kDeviceError : "";
    case Operation::RemoveByRebuild:
        return f == Fault::ResizeFails ? kDeviceError : "";
    }
    return "?";
}

void Replace(std::string& s, const std::string& from, const std::string& to)
{
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    EXPECT_EQ(start, text.size()) << "the list ends inside a line";
    return lines;
}

std::vector<std::string> NamesIn(const std::string& archive)
{
    TOrvZip zip(nullptr);
    zip.OpenArchiveFile(archive);
    std::vector<std::string> names = zip.FileNames().Lines();
    zip.CloseArchive();
    return names;
}

class FaultTable : public ::testing::TestWithParam<std::tuple<Operation, Fault>> {
protected:
    TempDir dir;
    ScopedTempFolder scratch{dir / "scratch"};
    int descriptorsBefore = 0;

    // The rule for this fault; the path it applies to depends on the operation.
    fault::Rule RuleFor(Fault f, const std::string& vanishing, const std::string& written) const
    {
        switch (f) {
        case Fault::DiskFull: return {Op::Write, ENOSPC, 0, written};
        case Fault::WriteFails: return {Op::Write, EIO, 0, written};
        case Fault::ResizeFails: return {Op::SetSize, EIO, 0, written};
        case Fault::CloseFails: return {Op::Close, EIO, 0, written};
        case Fault::Vanishes: return {Op::Open, ENOENT, 0, vanishing};
        }
        return {Op::Open, 0};
    }

    void RunBuild(Fault f, const std::string& expected);
    void RunArchiveOperation(Operation op, Fault f, std::string expected);
};

void FaultTable::RunBuild(Fault f, const std::string& expected)
{
    const std::string chosen = dir / "tree";
    MakeFile(chosen, "Fernpatch.exe", "the updater");
    MakeFile(chosen, "a.txt", std::string(3000, 'a'));
    MakeFile(chosen, "b.txt", std::string(3000, 'b'));
    MakeFile(chosen, "c.txt", std::string(3000, 'c'));
    MakeFile(dir.path(), "work/");
    ScopedCurrentDir cwd(dir / "work");
    const std::vector<std::string> order = PackOrder(chosen, "Fernpatch.exe");
    const auto packedBefore = static_cast<std::size_t>(std::find(order.begin(), order.end(), "b.txt") - order.begin());

    RecorderView view;
    view.Folder = chosen;
    bool packing = false;
    view.OnSetProgressMax = [&] { packing = true; };
    if (f == Fault::Vanishes) {
        // Between the mirror pass, which counted it, and the packing of it.
        view.OnKeepAlive = [&](const std::string& file) {
            if (packing && file == chosen + "/b.txt")
                DeleteFile(file);
        };
    }
    TOrvZip zip(nullptr);
    ConfigureOrvZip1(zip);
    TBuildState state;
    descriptorsBefore = OpenDescriptors();
    {
        // The file that vanishes is really deleted; the other faults go through the seam.
        std::optional<fault::Scoped> rule;
        if (f != Fault::Vanishes)
            rule.emplace(RuleFor(f, "", "b.txt.zip"));
        EXPECT_THROW_MSG(RunBuildCommand(view, zip, state), Exception, expected);
    }

    EXPECT_EQ(OpenDescriptors(), descriptorsBefore) << "a list or archive left open";
    EXPECT_EQ(zip.ArchiveStream(), nullptr);
    EXPECT_TRUE(view.TreeEnabled);
    EXPECT_TRUE(view.Messages.empty()) << "a failed build reports nothing itself";
    EXPECT_EQ(state.FileCount, 0);
    EXPECT_FALSE(state.UpdaterFound);
    EXPECT_EQ(state.LineIndex, 1);

    // The list as far as it got: the fixed lines and the files packed before b.txt.
    const std::string upload = dir / "work/Upload";
    const std::vector<std::string> lines = Lines(ReadFileBytes(upload + "/updates.lst"));
    ASSERT_EQ(lines.size(), 7 + packedBefore);
    EXPECT_EQ(lines[0], "[self]");
    EXPECT_EQ(lines[1].rfind("IAM=Fernpatch.exe|", 0), 0u);
    EXPECT_EQ(lines[6], "fcount=3");
    for (std::size_t i = 0; i < packedBefore; ++i) {
        EXPECT_EQ(lines[7 + i].rfind("F" + std::to_string(i + 1) + "=" + order[i] + "|", 0), 0u) << lines[7 + i];
        EXPECT_TRUE(orvzip::test::UnzipTests(upload + "/" + order[i] + ".zip"));
    }
    if (f == Fault::ResizeFails) {
        // The add could not grow it: it keeps what it held, an empty archive.
        EXPECT_EQ(Hex(ReadFileBytes(upload + "/b.txt.zip")), Hex(FromHex("504B0506") + std::string(18, '\0')));
    }
}

void FaultTable::RunArchiveOperation(Operation op, Fault f, std::string expected)
{
    const std::string archive = dir / "a.zip";
    const std::string source = dir / "src.txt";
    WriteFileBytes(dir / "one.txt", std::string(4000, '1'));
    WriteFileBytes(dir / "two.txt", std::string(5000, '2'));
    WriteFileBytes(source, "new data, " + std::string(6000, 'n'));
    {
        TOrvZip maker(nullptr);
        maker.SetStoreRelativePath(false);
        maker.CreateArchiveFile(archive);
        maker.OpenArchiveFile(archive);
        maker.AddFileEntry(dir / "one.txt");
        maker.AddFileEntry(dir / "two.txt");
        maker.CloseArchive();
    }
    const std::string before = ReadFileBytes(archive);
    const std::vector<std::string> namesBefore = {"one.txt", "two.txt"};
    Replace(expected, "%A", archive);
    Replace(expected, "%S", source);

    TOrvZip zip(nullptr);
    zip.SetStoreRelativePath(false);
    zip.SetSaveMethod(op == Operation::RebuildAddInMemory || op == Operation::RebuildAddThroughTempFile ||
                              op == Operation::RemoveByRebuild
                          ? TZipSaveMethod::RebuildAll
                          : TZipSaveMethod::FastSave);
    zip.SetUseTempFiles(op == Operation::RebuildAddThroughTempFile);
    descriptorsBefore = OpenDescriptors();
    if (op != Operation::Create && op != Operation::Open)
        zip.OpenArchiveFile(archive);

    const std::string vanishing = op == Operation::Open ? "a.zip" : "src.txt";
    bool failed = false;
    {
        fault::Scoped rule(RuleFor(f, vanishing, ""));
        try {
            switch (op) {
            case Operation::Create: zip.CreateArchiveFile(dir / "new.zip"); break;
            case Operation::Open: zip.OpenArchiveFile(archive); break;
            case Operation::FastSaveAdd:
            case Operation::RebuildAddInMemory:
            case Operation::RebuildAddThroughTempFile: zip.AddFileEntry(source); break;
            case Operation::RemoveInPlace:
            case Operation::RemoveByRebuild: zip.Entries().RemoveEntry(0); break;
            case Operation::WriteComment: zip.SetComment(TStringList{"a comment"}); break;
            case Operation::Build: break;
            }
            EXPECT_EQ(expected, "") << "no error was raised";
        } catch (const std::exception& e) {
            failed = true;
            EXPECT_EQ(std::string(e.what()), expected);
        }
    }

    // Whatever happened, the component describes the file it holds open.
    if (zip.ArchiveStream() != nullptr) {
        EXPECT_TRUE(orvzip::test::StateMatchesFile(zip, archive));
    }
    zip.CloseArchive();
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore) << "a stream left open";
    EXPECT_EQ(EntriesIn(scratch.Path()), 0) << "a scratch file left behind";

    if (op == Operation::Create) {
        if (!failed) {
            EXPECT_EQ(ReadFileBytes(dir / "new.zip").size(), 22u);
        }
        return;
    }
    if (failed) {
        EXPECT_EQ(Hex(ReadFileBytes(archive)), Hex(before)) << "a failed operation changed the archive";
        return;
    }
    EXPECT_TRUE(orvzip::test::VerifyArchiveFile(archive));
    EXPECT_TRUE(orvzip::test::UnzipTests(archive));
    std::vector<std::string> names = namesBefore;
    if (op == Operation::FastSaveAdd || op == Operation::RebuildAddInMemory || op == Operation::RebuildAddThroughTempFile)
        names.push_back("src.txt");
    if (op == Operation::RemoveInPlace || op == Operation::RemoveByRebuild)
        names.erase(names.begin());
    EXPECT_EQ(NamesIn(archive), names);
    if (op == Operation::WriteComment) {
        zip.OpenArchiveFile(archive);
        EXPECT_EQ(zip.Comment().Lines(), std::vector<std::string>{"a comment"});
        zip.CloseArchive();
    }
}

TEST_P(FaultTable, EndsWithItsMessageAndLosesNothing)
{
    const auto [op, f] = GetParam();
    const std::string expected = ExpectedMessage(op, f);
    if (op == Operation::Build)
        RunBuild(f, expected);
    else
        RunArchiveOperation(op, f, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Hardening, FaultTable,
    ::testing::Combine(::testing::Values(Operation::Build, Operation::Create, Operation::Open, Operation::FastSaveAdd,
                                         Operation::RebuildAddInMemory, Operation::RebuildAddThroughTempFile,
                                         Operation::RemoveInPlace, Operation::RemoveByRebuild,
                                         Operation::WriteComment),
                       ::testing::Values(Fault::DiskFull, Fault::WriteFails, Fault::ResizeFails, Fault::CloseFails,
                                         Fault::Vanishes)),
    [](const auto& info) {
        return std::string(NameOf(std::get<0>(info.param))) + "_" + NameOf(std::get<1>(info.param));
    });

}  // namespace
}  // namespace tarnwick::test
