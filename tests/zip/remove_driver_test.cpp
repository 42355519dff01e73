// remove_driver_test.cpp -- the orvzip driver's remove command under each save method and
// scratch kind.
#include <gtest/gtest.h>

#include "rebuild_test_helpers.h"

namespace orvzip::test::rebuild {
namespace {

using tarnwick::test::WriteFileBytes;

TEST(RemoveDriver, RemovesUnderEachSaveMethodAndLeavesNoScratchFile)
{
    const char* settings[] = {"", "--save-method rebuild", "--save-method rebuild --temp-files"};
    for (const char* setting : settings) {
        SCOPED_TRACE(setting);
        tarnwick::test::TempDir dir;
        ScratchFolder scratch(dir / "tmp");
        WriteFileBytes(dir / "a.txt", textData(10));
        WriteFileBytes(dir / "b.bin", NoiseBytes(700, 1));
        WriteFileBytes(dir / "c.txt", "c");
        const std::string run = "cd " + ShellQuote(dir.path()) + " && TMPDIR=" + ShellQuote(scratch.path()) + " " +
                                ShellQuote(DriverPath()) + " " + setting;

        auto result = RunCommand(run + " create x.zip open x.zip add a.txt add b.bin add c.txt remove 1 list");
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(result.output, "a.txt\nc.txt\n");
        EXPECT_TRUE(VerifyArchiveFile(dir / "x.zip"));
        expectUnzipTestPasses(dir / "x.zip");
        EXPECT_TRUE(scratch.Files().empty());

        const std::string before = ReadFileBytes(dir / "x.zip");
        result = RunCommand(run + " open x.zip remove 2");
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.output.find("Index de liste hors limites (2)"), std::string::npos) << result.output;
        EXPECT_EQ(ReadFileBytes(dir / "x.zip"), before);
    }
}

}  // namespace
}  // namespace orvzip::test::rebuild
