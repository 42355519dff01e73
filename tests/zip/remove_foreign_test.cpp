// remove_foreign_test.cpp -- archives written by other tools survive removing and adding:
// Info-ZIP's extra fields (longer in the local header than in the central one), data
// descriptors behind the data (bsdtar, zip writing to a pipe), encrypted entries, and plain
// archives from Python's zipfile.
#include <gtest/gtest.h>

#include <ostream>

#include "rebuild_test_helpers.h"

namespace orvzip::test::rebuild {
namespace {

using tarnwick::test::WriteFileBytes;

enum class Tool { InfoZip, InfoZipToPipe, Bsdtar, InfoZipEncrypted, PythonZipfile };
enum class Op { RemoveFirst, RemoveLast, ReplaceFirst, AddNew };

struct ForeignCase {
    Tool tool;
    Op op;
    TZipSaveMethod method;
};

std::string caseName(const ForeignCase& c)
{
    const char* tools[] = {"InfoZip", "InfoZipToPipe", "Bsdtar", "InfoZipEncrypted", "PythonZipfile"};
    const char* ops[] = {"RemoveFirst", "RemoveLast", "ReplaceFirst", "AddNew"};
    return std::string(tools[static_cast<int>(c.tool)]) + "_" + ops[static_cast<int>(c.op)] + "_" + ToString(c.method);
}

std::ostream& operator<<(std::ostream& os, const ForeignCase& c) { return os << caseName(c); }

const std::vector<Content> kFiles = {
    {"a.txt", textData(20)},
    {"b.bin", NoiseBytes(3000, 21)},
    {"c.txt", textData(400)},
};
const char* kPassword = "secret";

// Writes the files into dir and archives them there with the tool, in this order.
void makeForeignArchive(Tool tool, const tarnwick::test::TempDir& dir, const std::string& path)
{
    for (const Content& c : kFiles)
        WriteFileBytes(dir / c.Name, c.Data);
    const std::string files = " a.txt b.bin c.txt";
    std::string command = "cd " + ShellQuote(dir.path()) + " && ";
    switch (tool) {
    case Tool::InfoZip: command += "zip -q " + ShellQuote(path) + files; break;
    case Tool::InfoZipToPipe: command += "zip -q -" + files + " | cat > " + ShellQuote(path); break;
    case Tool::Bsdtar: command += "bsdtar --format zip -cf " + ShellQuote(path) + files; break;
    case Tool::InfoZipEncrypted: command += "zip -q -P " + std::string(kPassword) + " " + ShellQuote(path) + files; break;
    case Tool::PythonZipfile:
        command += "python3 -c " +
                   ShellQuote("import sys, zipfile\n"
                              "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                              "    for n in sys.argv[2:]: z.write(n)\n") +
                   " " + ShellQuote(path) + files;
        break;
    }
    const auto result = RunCommand(command);
    ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.output;
}

class ForeignArchive : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(ForeignArchive, SurvivesWithEveryEntryIntact)
{
    const ForeignCase c = GetParam();
    tarnwick::test::TempDir dir;
    const std::string path = dir / "foreign.zip";
    makeForeignArchive(c.tool, dir, path);
    const std::string password = c.tool == Tool::InfoZipEncrypted ? kPassword : "";

    TOrvZip zip(nullptr);
    zip.SetStoreFolders(false);
    zip.OpenArchiveFile(path);
    ASSERT_TRUE(zip.IsZipFile());
    ASSERT_EQ(zip.Entries().Count(), 3);
    zip.SetSaveMethod(c.method);

    std::vector<Content> expected = kFiles;
    switch (c.op) {
    case Op::RemoveFirst:
        zip.Entries().RemoveEntryAt(0);
        expected.erase(expected.begin());
        break;
    case Op::RemoveLast:
        zip.Entries().RemoveEntryAt(2);
        expected.pop_back();
        break;
    case Op::ReplaceFirst:
        addData(zip, "a.txt", "replaced");
        expected.erase(expected.begin());
        expected.push_back({"a.txt", "replaced"});
        break;
    case Op::AddNew:
        addData(zip, "new.txt", textData(50));
        expected.push_back({"new.txt", textData(50)});
        break;
    }
    expectArchive(zip, path, expected, "", password);

    // And it takes a second change as well.
    zip.Entries().RemoveEntryAt(0);
    expected.erase(expected.begin());
    expectArchive(zip, path, expected, "", password);
}

std::vector<ForeignCase> foreignCases()
{
    std::vector<ForeignCase> cases;
    for (Tool tool : {Tool::InfoZip, Tool::InfoZipToPipe, Tool::Bsdtar, Tool::InfoZipEncrypted, Tool::PythonZipfile})
        for (Op op : {Op::RemoveFirst, Op::RemoveLast, Op::ReplaceFirst, Op::AddNew})
            for (TZipSaveMethod method : {TZipSaveMethod::FastSave, TZipSaveMethod::RebuildAll})
                cases.push_back({tool, op, method});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Tools, ForeignArchive, ::testing::ValuesIn(foreignCases()),
                         [](const ::testing::TestParamInfo<ForeignCase>& info) { return caseName(info.param); });

// A rebuild writes a descriptor-carrying entry with its real CRC and sizes in the local header
// and no descriptor flag, and keeps flag and descriptor of an encrypted one.
TEST(ForeignArchive, RebuildDropsDescriptorsExceptForEncryptedEntries)
{
    for (const Tool tool : {Tool::Bsdtar, Tool::InfoZipToPipe, Tool::InfoZipEncrypted}) {
        SCOPED_TRACE(static_cast<int>(tool));
        tarnwick::test::TempDir dir;
        const std::string path = dir / "foreign.zip";
        makeForeignArchive(tool, dir, path);
        TOrvZip zip(nullptr);
        zip.OpenArchiveFile(path);
        ASSERT_EQ(zip.Entries().Count(), 3);
        ASSERT_NE(zip.Entries().Items(2).CentralRecord.GeneralPurposeBitFlag & 8, 0);
        zip.SetSaveMethod(TZipSaveMethod::RebuildAll);
        zip.Entries().RemoveEntryAt(0);

        const std::string b = ReadFileBytes(path);
        for (int i = 0; i < zip.Entries().Count(); ++i) {
            const TCentralDirectoryFile& central = zip.Entries().Items(i).CentralRecord;
            const std::uint32_t at = central.RelativeOffsetOfLocalHeader;
            const std::uint32_t dataEnd = at + 30 + u16At(b, at + 26) + u16At(b, at + 28) + central.CompressedSize;
            const std::uint32_t next = i + 1 < zip.Entries().Count()
                                           ? zip.Entries().Items(i + 1).CentralRecord.RelativeOffsetOfLocalHeader
                                           : zip.EndRecord().CentralDirectoryOffset;
            if (tool != Tool::InfoZipEncrypted) {
                EXPECT_EQ(u16At(b, at + 6) & 8, 0);
                EXPECT_EQ(u32At(b, at + 14), central.Crc32);
                EXPECT_EQ(u32At(b, at + 18), central.CompressedSize);
                EXPECT_EQ(dataEnd, next);  // nothing behind the data
            } else {
                EXPECT_EQ(u16At(b, at + 6), 9);
                EXPECT_EQ(u32At(b, dataEnd), 0x08074B50u);
                EXPECT_EQ(dataEnd + 16, next);  // the descriptor, with its signature, behind the data
            }
        }
    }
}

}  // namespace
}  // namespace orvzip::test::rebuild
