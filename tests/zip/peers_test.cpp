// peers_test.cpp -- archives written by other tools open in the component, and a FastSave add
// to each of them keeps every old entry readable by unzip and Python's zipfile.
#include <gtest/gtest.h>

#include <functional>

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
using tarnwick::test::NoiseBytes;
using Lines = std::vector<std::string>;

struct PeerCase {
    const char* name;
    // The shell command that writes the archive OUT from the folder SRC.
    std::string command;
};

void PrintTo(const PeerCase& c, std::ostream* os) { *os << c.name; }

const char* kPython =
    "python3 -c 'import sys, zipfile, os\n"
    "mode = zipfile.ZIP_DEFLATED if sys.argv[3] == \"deflated\" else zipfile.ZIP_STORED\n"
    "with zipfile.ZipFile(sys.argv[2], \"w\", mode) as z:\n"
    "    z.write(os.path.join(sys.argv[1], \"a.txt\"), \"a.txt\")\n"
    "    z.writestr(\"dir/\", b\"\")\n"
    "    z.write(os.path.join(sys.argv[1], \"dir\", \"b.bin\"), \"dir/b.bin\")\n"
    "    z.write(os.path.join(sys.argv[1], \"empty.txt\"), \"empty.txt\")\n"
    "    z.comment = b\"written by zipfile\"\n"
    "' SRC OUT ";

class PeerArchives : public ::testing::TestWithParam<PeerCase> {};

TEST_P(PeerArchives, OpenAndTakeAFastSaveAdd)
{
    TempDir dir;
    const std::string src = dir / "src";
    const std::string out = dir / "peer.zip";
    ASSERT_EQ(RunCommand("mkdir -p " + ShellQuote(src + "/dir")).exitCode, 0);
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "alpha line " + std::to_string(i) + "\n";
    WriteFileBytes(src + "/a.txt", text);
    WriteFileBytes(src + "/dir/b.bin", NoiseBytes(5000, 99));
    WriteFileBytes(src + "/empty.txt", "");
    WriteFileBytes(dir / "added.txt", "added by the component\n");

    std::string command = GetParam().command;
    for (std::size_t at = command.find("SRC"); at != std::string::npos; at = command.find("SRC"))
        command.replace(at, 3, ShellQuote(src));
    for (std::size_t at = command.find("OUT"); at != std::string::npos; at = command.find("OUT"))
        command.replace(at, 3, ShellQuote(out));
    const auto made = RunCommand(command);
    ASSERT_EQ(made.exitCode, 0) << command << "\n" << made.output;
    ASSERT_TRUE(test::UnzipTests(out));

    const Lines peerNames = test::UnzipNames(out);
    ASSERT_FALSE(peerNames.empty());
    test::ParsedArchive before;
    ASSERT_TRUE(test::ParseArchive(ReadFileBytes(out), before));

    TOrvZip zip(nullptr);
    zip.SetStoreRelativePath(false);
    zip.SetStoreFolders(false);
    zip.OpenArchiveFile(out);
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_FALSE(zip.HasDamagedEntries());
    Lines pathForm;
    for (std::string name : peerNames) {
        for (char& ch : name)
            if (ch == '/')
                ch = '\\';
        pathForm.push_back(name);
    }
    EXPECT_EQ(zip.FileNames().Lines(), pathForm);

    ASSERT_NE(zip.AddFileEntry(dir / "added.txt"), nullptr);
    EXPECT_TRUE(test::StateMatchesFile(zip, out));
    zip.CloseArchive();

    EXPECT_TRUE(test::UnzipTests(out));
    Lines expected = peerNames;
    expected.push_back("added.txt");
    EXPECT_EQ(test::UnzipNames(out), expected);
    const std::vector<test::PeerEntry> read = test::PythonReads(out);
    ASSERT_EQ(read.size(), expected.size());
    for (const test::PeerEntry& e : read) {
        if (e.Name == "a.txt") {
            EXPECT_EQ(e.Data, text);
        } else if (e.Name == "dir/b.bin") {
            EXPECT_TRUE(e.Data == NoiseBytes(5000, 99));
        } else if (e.Name == "added.txt") {
            EXPECT_EQ(e.Data, "added by the component\n");
        }
    }
    test::ParsedArchive after;
    ASSERT_TRUE(test::ParseArchive(ReadFileBytes(out), after));
    EXPECT_EQ(after.Comment, before.Comment);
    // The old entries' extra fields and comments are carried into the new directory.
    for (std::size_t i = 0; i < before.Entries.size(); ++i) {
        EXPECT_EQ(after.Entries[i].Central.ExtraField, before.Entries[i].Central.ExtraField);
        EXPECT_EQ(after.Entries[i].Central.FileComment, before.Entries[i].Central.FileComment);
    }

    zip.OpenArchiveFile(out);
    EXPECT_EQ(zip.Entries().Count(), static_cast<int>(expected.size()));
    EXPECT_FALSE(zip.HasDamagedEntries());
}

INSTANTIATE_TEST_SUITE_P(
    Tools, PeerArchives,
    ::testing::Values(PeerCase{"ZipDefault", "cd SRC && zip -q -r OUT a.txt dir empty.txt"},
                      PeerCase{"ZipWithoutExtraFields", "cd SRC && zip -q -r -X OUT a.txt dir empty.txt"},
                      PeerCase{"ZipStored", "cd SRC && zip -q -r -0 OUT a.txt dir empty.txt"},
                      PeerCase{"ZipWithComments",
                               "cd SRC && zip -q -r OUT a.txt dir empty.txt && "
                               "printf 'first line\\nsecond, no break' | zip -q -z OUT && "
                               "printf 'a file comment\\n' | zip -q -c OUT a.txt"},
                      PeerCase{"PythonDeflated", std::string(kPython) + "deflated"},
                      PeerCase{"PythonStored", std::string(kPython) + "stored"},
                      PeerCase{"Bsdtar", "bsdtar --format zip -cf OUT -C SRC a.txt dir empty.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvzip
