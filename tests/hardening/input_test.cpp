// input_test.cpp -- input a build must refuse with a clear message before updates.lst is
// touched: paths longer than the platform allows, and texts that would add lines to the list.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "builder/build_command.h"
#include "builder_test_util.h"
#include "hardening_util.h"
#include "runtime/filesystem.h"
#include "support/test_support.h"
#include "zip/OrvZip.h"

namespace tarnwick::test {
namespace {

// A tree whose one deep file has a path (or an archive path under the Upload folder) longer
// than the platform allows: the mirror pass stops at it, names it, and writes nothing.
TEST(LongPaths, EndTheBuildWithAMessageThatNamesThePath)
{
    const std::size_t limit = MaxPathLength();
    const std::string segment(200, 'd');
    struct Case {
        const char* what;
        std::size_t sourceLength;   // the deep file's folder path reaches at least this
        std::size_t workLength;     // and the working directory's path at least this
        const char* reason;
    };
    const Case cases[] = {
        {"the source path", limit + 1, 0, ""},
        {"the archive's path", limit - 400, limit - 300, " under the Upload folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        // The chosen folder's path is longer than the working directory's, so that in the first
        // case the source path is the first to grow too long.
        const std::string chosen = dir / "client-installation-tree";
        MakeFile(chosen, "Fernpatch.exe", "updater");
        MakeFile(chosen, "short.txt", "fine");
        const std::string chain = MakeLongChain(chosen, segment, c.sourceLength, "deep.txt");
        std::string work = dir / "w";
        if (c.workLength > 0)
            work = dir.path() + "/" + MakeLongChain(dir.path(), std::string(100, 'w'), c.workLength, "unused");
        MakeFile(work, "Upload/updates.lst", "old list\r\n");

        {
            ScopedCurrentDir cwd(work);
            RecorderView view;
            view.Folder = chosen;
            orvzip::TOrvZip zip(nullptr);
            ConfigureOrvZip1(zip);
            TBuildState state;
            // The first entry met whose path, or whose place under the Upload folder, is too
            // long: a folder of the chain, or the deep file itself.
            const std::string upload = GetCurrentDir() + "/Upload/";
            std::string named, reason;
            auto meet = [&](const std::string& below, std::size_t archiveSuffix) {
                const bool sourceTooLong = chosen.size() + 1 + below.size() > limit;
                if (named.empty() && (sourceTooLong || upload.size() + below.size() + archiveSuffix > limit)) {
                    named = chosen + "/" + below;
                    reason = sourceTooLong ? "" : " under the Upload folder";
                }
            };
            for (std::size_t at = 0; at <= chain.size(); at += segment.size() + 1)
                meet(chain.substr(0, at + segment.size()), 0);
            meet(chain + "/deep.txt", 4);
            EXPECT_EQ(reason, c.reason) << "the case meets the other limit first";
            EXPECT_THROW_MSG(RunBuildCommand(view, zip, state), EBuildError,
                             "\"" + named + "\" cannot be packed: its path" + reason + " is longer than the " +
                                 std::to_string(limit) + " bytes the platform allows.");
            EXPECT_TRUE(view.TreeEnabled);
            EXPECT_EQ(state.FileCount, 0);
        }
        EXPECT_EQ(ReadFileBytes(work + "/Upload/updates.lst"), "old list\r\n");
        EXPECT_FALSE(FileExists(work + "/Upload/Fernpatch.exe.zip"));
        RemoveDeepTree(dir.path());
    }
}

// Texts bound for the list, from the command line: a line break would add a line the build
// did not mean to write, so the build is refused and the list stays as it was.
TEST(ListTexts, AreRefusedFromTheCommandLineToo)
{
    TempDir dir;
    MakeFile(dir.path(), "tree/Fernpatch.exe", "updater");
    MakeFile(dir.path(), "Upload/updates.lst", "old list\r\n");
    const std::string cli = std::string(TARNWICK_BIN_DIR) + "/tarnwick-build";
    struct Case {
        std::string option, value;
    };
    const Case cases[] = {
        {"--server", "127.0.0.1\r\nF1=evil.dll|0|0|c"},
        {"--server", std::string("10.0.0.1\x1b[2J")},
        {"--updater", "Fernpatch.exe\n[files]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const CommandResult r = RunCommand("cd " + ShellQuote(dir.path()) + " && " + ShellQuote(cli) + " " + c.option +
                                           " " + ShellQuote(c.value) + " tree");
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.output.find("cannot hold control characters or line breaks"), std::string::npos) << r.output;
        EXPECT_EQ(ReadFileBytes(dir / "Upload/updates.lst"), "old list\r\n");
    }
}

}  // namespace
}  // namespace tarnwick::test
