// driver_test.cpp -- the orvzip driver: settings then commands, its output, its defaults and
// its exit statuses.
#include <gtest/gtest.h>

#include <sys/time.h>

#include "runtime/filesystem.h"
#include "support/test_support.h"
#include "zip/OrvZip.h"
#include "zip_test_util.h"

namespace orvzip {
namespace {

using tarnwick::test::ReadFileBytes;
using tarnwick::test::RunCommand;
using tarnwick::test::ShellQuote;
using tarnwick::test::TempDir;
using tarnwick::test::WriteFileBytes;

struct DriverRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the driver with the arguments (each quoted for the shell), standard output and standard
// error apart.
DriverRun driver(const TempDir& dir, const std::vector<std::string>& args)
{
    std::string line = ShellQuote(test::DriverPath());
    for (const std::string& a : args)
        line += " " + ShellQuote(a);
    const std::string errPath = dir / "stderr.txt";
    const auto r = RunCommand("( " + line + " 2>" + ShellQuote(errPath) + " )");
    return DriverRun{r.exitCode, r.output, ReadFileBytes(errPath)};
}

void setMTime(const std::string& path, std::time_t t)
{
    struct timeval times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

TEST(Driver, PacksAFileAndReportsEventsInfoAndNames)
{
    TempDir dir;
    const std::string file = dir / "hello.txt";
    const std::string archive = dir / "hello.txt.zip";
    WriteFileBytes(file, "hello");
    const DriverRun r = driver(dir, {"--events", "create", archive, "open", archive, "add", file, "info", "list", "close"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::uint32_t dos = tarnwick::DateTimeToDosDateTime(tarnwick::FindPath(file)->Time);
    EXPECT_EQ(r.out, "OnZipChange 0\n"
                     "OnZipChange 1\n"
                     "OnZipChange 2\n"
                     "OnAddItem " + file + "\n"
                     "FileName=" + archive + "\n"
                     "IsZipFile=1\n"
                     "HasDamagedEntries=0\n"
                     "ReadOnly=0\n"
                     "Count=1\n"
                     "EndRecordPos=101\n"
                     "CommentPos=123\n"
                     "EntriesOnThisDisk=1\n"
                     "TotalEntries=1\n"
                     "CentralDirectoryOffset=46\n"
                     "CentralDirectorySize=55\n"
                     "CommentLength=0\n"
                     "entry.0.FileName=hello.txt\n"
                     "entry.0.CompressionMethod=8\n"
                     "entry.0.CompressionType=ctNormal\n"
                     "entry.0.Crc32=907060870\n"
                     "entry.0.CompressedSize=7\n"
                     "entry.0.UncompressedSize=5\n"
                     "entry.0.RelativeOffsetOfLocalHeader=0\n"
                     "entry.0.ExternalFileAttributes=32\n"
                     "entry.0.FolderEntry=0\n"
                     "entry.0.Encrypted=0\n"
                     "entry.0.LastModFileTimeDate=" + std::to_string(dos) + "\n"
                     "entry.0.LocalSignature=67324752\n"
                     "hello.txt\n"
                     "OnZipChange 0\n");
    EXPECT_EQ(ReadFileBytes(archive).size(), 123u);
}

TEST(Driver, DefaultsAreTheBuildsSettings)
{
    // Bare names and maximum compression: the same bytes as the component with those settings.
    TempDir dir;
    const std::string file = dir / "sub" + "/data.txt";
    ASSERT_EQ(RunCommand("mkdir " + ShellQuote(dir / "sub")).exitCode, 0);
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "row " + std::to_string(i * 7919 % 1000) + " value " + std::to_string(i) + "\n";
    WriteFileBytes(file, text);
    setMTime(file, 1700000000);

    const DriverRun r = driver(dir, {"create", dir / "tool.zip", "open", dir / "tool.zip", "add", file});
    ASSERT_EQ(r.status, 0) << r.err;
    TOrvZip zip(nullptr);
    zip.SetStoreRelativePath(false);
    zip.SetStoreFolders(false);
    zip.CreateArchiveFile(dir / "component.zip");
    zip.OpenArchiveFile(dir / "component.zip");
    zip.AddFileEntry(file);
    zip.CloseArchive();
    EXPECT_TRUE(ReadFileBytes(dir / "tool.zip") == ReadFileBytes(dir / "component.zip"));

    const DriverRun fast = driver(dir, {"--compression", "fast", "create", dir / "fast.zip", "open", dir / "fast.zip",
                                  "add", file});
    ASSERT_EQ(fast.status, 0) << fast.err;
    EXPECT_GT(ReadFileBytes(dir / "fast.zip").size(), ReadFileBytes(dir / "tool.zip").size());
}

TEST(Driver, RelativePathsFoldersCommentAndRemoval)
{
    TempDir dir;
    WriteFileBytes(dir / "x.txt", "x");
    WriteFileBytes(dir / "y.txt", "y");
    const std::string a = dir / "a.zip";
    const DriverRun r = driver(dir, {"--store-relative-path", "--store-folders", "create", a, "open", a, "add-as",
                               dir / "x.txt", "Data\\Sub\\x.txt", "add-as", dir / "y.txt", "y.txt", "set-comment",
                               "one\ntwo", "remove", "3", "list", "comment", "info"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("FileName=")), "Data\\\nData\\Sub\\\nData\\Sub\\x.txt\none\ntwo\n");
    EXPECT_NE(r.out.find("\nCommentLength=10\n"), std::string::npos);
    EXPECT_TRUE(test::UnzipTests(a));
    EXPECT_EQ(test::UnzipNames(a), (std::vector<std::string>{"Data/", "Data/Sub/", "Data/Sub/x.txt"}));
}

TEST(Driver, AnExceptionEndsTheRunWithItsMessageAndStatus1)
{
    TempDir dir;
    const std::string missing = dir / "missing.zip";
    const DriverRun r = driver(dir, {"info", "open", missing, "info"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File \"" + missing + "\" not found!\n");
    EXPECT_EQ(r.out.find("IsZipFile=0"), r.out.rfind("IsZipFile=0"));  // the second info never ran

    const DriverRun nothing = driver(dir, {"create", dir / "n.zip", "open", dir / "n.zip", "add", dir / "none.txt"});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_NE(nothing.err.find("none.txt"), std::string::npos);
}

TEST(Driver, UsageErrorsGiveStatus2BeforeAnythingRuns)
{
    TempDir dir;
    const std::string a = dir / "a.zip";
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--events"},
        {"--bogus", "list"},
        {"--compression", "best", "list"},
        {"--save-method"},
        {"create", a, "frobnicate"},
        {"create", a, "add-as", "only-one"},
        {"create", a, "remove", "first"},
        {"list", "--events"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& s : args)
            shown += s + " ";
        const DriverRun r = driver(dir, args);
        EXPECT_EQ(r.status, 2) << shown;
        EXPECT_NE(r.err.find("usage: orvzip"), std::string::npos) << shown;
        EXPECT_EQ(r.out, "") << shown;
    }
    EXPECT_FALSE(tarnwick::FileExists(a));
    EXPECT_EQ(driver(dir, {"--help"}).status, 0);
}

}  // namespace
}  // namespace orvzip
