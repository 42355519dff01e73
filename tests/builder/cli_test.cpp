// cli_test.cpp -- tarnwick-build run as a program: its update set, output and exit status.
#include <gtest/gtest.h>

#include <filesystem>

#include "builder/build_command.h"
#include "builder_test_util.h"
#include "support/test_support.h"
#include "zip/OrvZip.h"

namespace fs = std::filesystem;

namespace tarnwick::test {
namespace {

const std::string kTool = std::string(TARNWICK_BIN_DIR) + "/tarnwick-build";

struct CliRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs tarnwick-build in the working directory cwd with standard output and error kept apart.
CliRun RunTool(const std::string& cwd, const std::string& args)
{
    TempDir capture;
    const CommandResult r = RunCommand("(cd " + ShellQuote(cwd) + " && " + ShellQuote(kTool) + " " + args + " >" +
                                       ShellQuote(capture / "out") + " 2>" + ShellQuote(capture / "err") + ")");
    return {r.exitCode, ReadFileBytes(capture / "out"), ReadFileBytes(capture / "err")};
}

TEST(TarnwickBuild, BuildsTheSampleInstallationFromAScratchFolder)
{
    TempDir scratch;
    const std::string sample = std::string(TARNWICK_SOURCE_DIR) + "/examples/sample-client";
    const CliRun run = RunTool(scratch.path(), ShellQuote(sample));
    ExpectedSet e;
    e.Chosen = sample;
    e.Upload = scratch / "Upload";
    e.Files = PackOrder(sample, e.Updater);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "Done! " + std::to_string(e.Files.size() + 1) + " files have been packed.\n");
    EXPECT_EQ(run.err, "");  // not a terminal: no progress bar
    ExpectUpdateSet(e);
}

TEST(TarnwickBuild, WritesByteForByteWhatTheBuildCommandWrites)
{
    TempDir dir;
    const std::string chosen = dir / "client";
    MakeFile(chosen, "Up.exe", "updater");
    MakeFile(chosen, "a.dll", std::string(10000, 'a'));
    MakeFile(chosen, "sub/b.dat", "b");
    MakeFile(chosen, "sub/empty/");
    MakeFile(dir.path(), "tool/");
    MakeFile(dir.path(), "window/");

    const CliRun run = RunTool(dir / "tool", "--updater Up.exe --server 10.1.2.3 --critical --modify-host " +
                                                 ShellQuote(chosen));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    {
        ScopedCurrentDir cwd(dir / "window");
        RecorderView view;
        view.Updater = "Up.exe";
        view.Server = "10.1.2.3";
        view.Critical = true;
        view.ModifyHost = true;
        view.Folder = chosen;
        orvzip::TOrvZip zip(nullptr);
        ConfigureOrvZip1(zip);
        TBuildState state;
        ASSERT_EQ(RunBuildCommand(view, zip, state), TBuildResult::brDone);
    }
    std::vector<std::string> compared;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "window/Upload")) {
        const std::string relative = fs::relative(entry.path(), dir / "window/Upload").string();
        const std::string other = dir / ("tool/Upload/" + relative);
        if (entry.is_directory()) {
            EXPECT_TRUE(fs::is_directory(other)) << relative;
            continue;
        }
        EXPECT_EQ(ReadFileBytes(other), ReadFileBytes(entry.path().string())) << relative;
        compared.push_back(relative);
    }
    EXPECT_EQ(compared.size(), 4u);  // the list and three archives
}

TEST(TarnwickBuild, ExitStatusAndOutputTellHowTheBuildEnded)
{
    TempDir dir;
    const std::string chosen = dir / "client";
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(dir.path(), "bad/Fernpatch.exe", "updater");
    MakeFile(dir.path(), "bad/a:b", "x");
    const std::string folder = ShellQuote(chosen);
    struct Case {
        std::string args;
        int exitCode;
        std::string out;
        std::string errHas;  // a part of the standard error, or all of it when out is set
    };
    const Case cases[] = {
        {"--updater Missing.exe " + folder, 1, "Missing.exe was not found!\n", ""},
        {"--updater '' " + folder, 1, " was not found!\n", ""},
        {ShellQuote(dir / "bad"), 3, "",
         "\"" + (dir / "bad") + "/a:b\" cannot be packed: Windows names cannot hold the character ':'.\n"},
        {"", 2, "", "FOLDER is required"},
        {"--frobnicate " + folder, 2, "", "--frobnicate"},
        {ShellQuote(dir / "missing"), 2, "", "Directory does not exist"},
        {folder + " " + folder, 2, "", "not expected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        TempDir scratch;
        const CliRun run = RunTool(scratch.path(), c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
        if (c.exitCode == 3)
            EXPECT_EQ(run.err, c.errHas);
        else
            EXPECT_NE(run.err.find(c.errHas), std::string::npos) << run.err;
    }

    TempDir scratch;
    const CliRun help = RunTool(scratch.path(), "--help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* part : {"--updater NAME=Fernpatch.exe", "--server ADDRESS=127.0.0.1", "--critical", "--modify-host",
                             "FOLDER", "Upload", "standard output", "terminal", "Exit status", "0  ", "1  ", "2  ", "3  "})
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
    EXPECT_FALSE(fs::exists(scratch / "Upload"));
}

TEST(TarnwickBuild, DrawsAProgressBarOnATerminal)
{
    TempDir dir;
    const std::string chosen = dir / "client";
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "a.txt", "a");
    MakeFile(chosen, "sub/b.txt", "b");
    MakeFile(dir.path(), "work/");
    // Python's pty gives the tool a terminal for standard output and error alike.
    const std::string script = "import os, pty, sys; os.chdir(sys.argv[1]); "
                               "sys.exit(os.waitstatus_to_exitcode(pty.spawn(sys.argv[2:])))";
    const CommandResult r = RunCommand("python3 -c " + ShellQuote(script) + " " + ShellQuote(dir / "work") + " " +
                                       ShellQuote(kTool) + " " + ShellQuote(chosen));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    const auto done = r.output.find("Done! 3 files have been packed.");
    ASSERT_NE(done, std::string::npos) << r.output;
    const std::string bar = r.output.substr(0, done);
    EXPECT_NE(bar.find("] 3/3 "), std::string::npos) << bar;
    EXPECT_TRUE(bar.ends_with("\r\033[K")) << bar;  // taken off before the message
    EXPECT_EQ(r.output.find('[', done), std::string::npos) << "the bar came back after the message";
}

}  // namespace
}  // namespace tarnwick::test
