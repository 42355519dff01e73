// build_test.cpp -- whole builds through the Build command on small trees made here, each
// checked by the update-set verifier, and the ways a build fails or refuses its input.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <memory>

#include "builder/build_command.h"
#include "builder/packing.h"
#include "builder_test_util.h"
#include "runtime/errors.h"
#include "runtime/fault.h"
#include "support/test_support.h"
#include "zip/OrvZip.h"

namespace fs = std::filesystem;

namespace tarnwick::test {
namespace {

bool AnyArchiveUnder(const std::string& folder)
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->path().extension() == ".zip")
            return true;
    return false;
}

// A chosen folder "client" and a working directory "work" side by side in a fresh folder.
class BuildTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(chosen);
        fs::create_directories(work);
        cwd = std::make_unique<ScopedCurrentDir>(work);
        upload = fs::current_path().string() + "/Upload";
        list = upload + "/updates.lst";
        ConfigureOrvZip1(zip);
        view.Folder = chosen;
    }

    TBuildResult Build() { return RunBuildCommand(view, zip, state); }

    ExpectedSet Expected(const std::string& skip = "") const
    {
        ExpectedSet e;
        e.Chosen = chosen;
        e.Upload = upload;
        e.Updater = view.Updater;
        e.Server = view.Server;
        e.ModifyHost = view.ModifyHost;
        e.Critical = view.Critical;
        e.Files = PackOrder(chosen, view.Updater, skip);
        return e;
    }

    // A list from an earlier build, which a build that writes nothing must leave alone.
    void PlaceOldList()
    {
        fs::create_directories(upload);
        WriteFileBytes(list, "old list\r\n");
    }

    void ExpectEndedCleanly()
    {
        EXPECT_EQ(view.TreeCalls, (std::vector<bool>{false, true}));
        EXPECT_EQ(state.FileCount, 0);
        EXPECT_FALSE(state.UpdaterFound);
        EXPECT_EQ(state.LineIndex, 1);
        EXPECT_EQ(zip.ArchiveStream(), nullptr);
    }

    TempDir dir;
    const std::string chosen = dir / "client";
    const std::string work = dir / "work";
    std::unique_ptr<ScopedCurrentDir> cwd;
    std::string upload;
    std::string list;
    orvzip::TOrvZip zip{nullptr};
    TBuildState state;
    RecorderView view;
};

TEST_F(BuildTest, PacksEveryFileOnceAndASecondBuildWritesTheSameList)
{
    std::string text;
    for (int i = 0; i < 4000; ++i)
        text += "line " + std::to_string(i % 97) + " of a library\n";
    MakeFile(chosen, "Fernpatch.exe", "the updater's own program");
    MakeFile(chosen, "a.dll", text);
    MakeFile(chosen, "a.dll.zip", "not an archive, despite its name");
    MakeFile(chosen, ".hidden", "a hidden file");
    MakeFile(chosen, "empty.dat", "");
    MakeFile(chosen, "digits.txt", "123456789");
    MakeFile(chosen, "system/b.dat", RandomBytes(5000, 1));
    MakeFile(chosen, "system/Fernpatch.exe", "a namesake of the updater deeper down");
    MakeFile(chosen, "system/deep/c.bin", RandomBytes(70000, 2));
    MakeFile(chosen, "emptydir/");
    MakeFile(chosen, "emptier/sub/");

    EXPECT_EQ(Build(), TBuildResult::brDone);
    EXPECT_EQ(view.Messages, (std::vector<std::string>{"Done! 8 files have been packed."}));
    const ExpectedSet expected = Expected();
    ASSERT_EQ(expected.Files.size(), 7u);
    ExpectUpdateSet(expected);

    const std::string first = ReadFileBytes(list);
    EXPECT_NE(first.find("=digits.txt|3421780262|"), std::string::npos);  // unsigned, top bit set
    EXPECT_NE(first.find("=empty.dat|0|"), std::string::npos);
    EXPECT_NE(first.find("=system\\deep\\c.bin|"), std::string::npos);
    EXPECT_EQ(first.find("system\\Fernpatch.exe"), std::string::npos);
    EXPECT_FALSE(fs::exists(upload + "/system/Fernpatch.exe.zip"));
    EXPECT_TRUE(fs::exists(upload + "/a.dll.zip.zip"));
    for (const char* folder : {"emptydir", "emptier/sub", "system/deep"})
        EXPECT_TRUE(fs::is_directory(upload + "/" + folder)) << folder;

    // The bar reached its maximum, the file count, before the closing message, then went back to 0.
    EXPECT_EQ(view.Max, 8);
    EXPECT_EQ(view.PositionAtMessage, 8);
    EXPECT_EQ(view.Position, 0);
    ExpectEndedCleanly();
    EXPECT_EQ(state.UpdaterName, "Fernpatch.exe");

    // Again in the same run: the same archives over the old ones, numbering from F1.
    view = RecorderView{};
    view.Folder = chosen;
    EXPECT_EQ(Build(), TBuildResult::brDone);
    EXPECT_EQ(ReadFileBytes(list), first);
    ExpectUpdateSet(expected);
}

TEST_F(BuildTest, SettingsReachTheListAndATrailingSeparatorChangesNothing)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "y.txt", "why");
    MakeFile(chosen, "sub/x.txt", "ex");
    view.Critical = true;
    view.ModifyHost = true;
    view.Server = "";
    view.Folder = chosen + "/";
    EXPECT_EQ(Build(), TBuildResult::brDone);
    ExpectUpdateSet(Expected());
    const std::string withSeparator = ReadFileBytes(list);
    EXPECT_NE(withSeparator.find("\r\nServer=\r\nModifyHost=1\r\n"), std::string::npos);

    view.Folder = chosen;
    EXPECT_EQ(Build(), TBuildResult::brDone);
    EXPECT_EQ(ReadFileBytes(list), withSeparator);
}

TEST_F(BuildTest, AFolderHoldingOnlyTheUpdaterGivesNoFileLine)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "nothing/");
    EXPECT_EQ(Build(), TBuildResult::brDone);
    EXPECT_EQ(view.Messages, (std::vector<std::string>{"Done! 1 files have been packed."}));
    ExpectUpdateSet(Expected());
    EXPECT_TRUE(fs::is_directory(upload + "/nothing"));
    EXPECT_EQ(view.PositionAtMessage, 1);
}

struct NotFoundCase {
    const char* what;
    std::vector<std::string> tree;  // files, and folders ending in "/"
    bool treeInWorkingDir;          // the tree lies in the working directory, not the chosen folder
    std::string updater;
    std::string folder;             // relative to the chosen folder; "-" for an empty path
    std::string message;
    std::vector<std::string> mirrored;
    std::vector<std::string> notMirrored;
};

std::ostream& operator<<(std::ostream& os, const NotFoundCase& c) { return os << c.what; }

class NotFound : public BuildTest, public ::testing::WithParamInterface<NotFoundCase> {};

TEST_P(NotFound, SaysSoAndWritesNothing)
{
    const NotFoundCase& c = GetParam();
    for (const std::string& entry : c.tree)
        MakeFile(c.treeInWorkingDir ? work : chosen, entry, entry.back() == '/' ? "" : "bytes");
    PlaceOldList();
    view.Updater = c.updater;
    view.Folder = c.folder == "-" ? "" : chosen + c.folder;

    EXPECT_EQ(Build(), TBuildResult::brUpdaterNotFound);
    EXPECT_EQ(view.Messages, (std::vector<std::string>{c.message}));
    EXPECT_EQ(ReadFileBytes(list), "old list\r\n");
    EXPECT_FALSE(AnyArchiveUnder(upload));
    for (const std::string& folder : c.mirrored)
        EXPECT_TRUE(fs::is_directory(upload + "/" + folder)) << folder;
    for (const std::string& folder : c.notMirrored)
        EXPECT_FALSE(fs::exists(upload + "/" + folder)) << folder;
    ExpectEndedCleanly();
}

INSTANTIATE_TEST_SUITE_P(
    Updater, NotFound,
    ::testing::Values(
        NotFoundCase{"absent", {"readme.txt", "sub/"}, false, "Fernpatch.exe", "", "Fernpatch.exe was not found!",
                     {"sub"}, {}},
        NotFoundCase{"only in a sub-folder", {"sub/Fernpatch.exe", "sub/deeper/Fernpatch.exe"}, false,
                     "Fernpatch.exe", "", "Fernpatch.exe was not found!", {"sub", "sub/deeper"}, {}},
        NotFoundCase{"in another letter case", {"Fernpatch.exe"}, false, "fernpatch.exe", "",
                     "fernpatch.exe was not found!", {}, {}},
        NotFoundCase{"with a folder part", {"Fernpatch.exe"}, false, "./Fernpatch.exe", "",
                     "./Fernpatch.exe was not found!", {}, {}},
        NotFoundCase{"a folder of that name", {"Fernpatch.exe/"}, false, "Fernpatch.exe", "",
                     "Fernpatch.exe was not found!", {"Fernpatch.exe"}, {}},
        NotFoundCase{"empty name", {"Fernpatch.exe"}, false, "", "", " was not found!", {}, {}},
        NotFoundCase{"chosen folder missing", {}, false, "Fernpatch.exe", "/missing", "Fernpatch.exe was not found!",
                     {}, {}},
        // An empty path is not listed, although the working directory holds an updater.
        NotFoundCase{"empty chosen path", {"Fernpatch.exe", "sub/"}, true, "Fernpatch.exe", "-",
                     "Fernpatch.exe was not found!", {}, {"sub"}}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST_F(BuildTest, TheUploadFolderInsideTheChosenFolderIsNotPacked)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "a.txt", "a");
    MakeFile(chosen, "sub/b.txt", "b");
    cwd.reset();
    ScopedCurrentDir inside(chosen);  // the working directory is the chosen folder itself
    upload = fs::current_path().string() + "/Upload";
    list = upload + "/updates.lst";

    EXPECT_EQ(Build(), TBuildResult::brDone);
    const std::string first = ReadFileBytes(list);
    view.Messages.clear();
    EXPECT_EQ(Build(), TBuildResult::brDone);  // the first build's archives are not packed again
    EXPECT_EQ(view.Messages, (std::vector<std::string>{"Done! 3 files have been packed."}));
    EXPECT_EQ(ReadFileBytes(list), first);
    ExpectUpdateSet(Expected(upload));
    EXPECT_FALSE(fs::exists(upload + "/Upload"));
}

TEST_F(BuildTest, AChosenFolderInsideTheUploadFolderIsRefused)
{
    PlaceOldList();
    MakeFile(upload, "Fernpatch.exe", "updater");
    MakeFile(upload, "sub/Fernpatch.exe", "updater");
    for (const std::string& folder : {upload, upload + "/sub/"}) {
        SCOPED_TRACE(folder);
        view = RecorderView{};
        view.Folder = folder;
        EXPECT_THROW_MSG(Build(), EBuildError,
                         "The chosen folder \"" + folder + "\" lies inside the Upload folder that the build writes.");
        EXPECT_EQ(ReadFileBytes(list), "old list\r\n");
        EXPECT_FALSE(AnyArchiveUnder(upload));
        ExpectEndedCleanly();
    }
}

struct BadName {
    std::string name;
    bool folder;
    std::string shown;  // the name as the message shows it
    std::string reason;
};

std::ostream& operator<<(std::ostream& os, const BadName& c) { return os << c.shown; }

class WindowsNames : public BuildTest, public ::testing::WithParamInterface<BadName> {};

TEST_P(WindowsNames, StopTheBuildBeforeTheListIsTouched)
{
    const BadName& c = GetParam();
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "good.txt", "fine");
    MakeFile(chosen, "sub/" + c.name + (c.folder ? "/" : ""), "bytes");
    PlaceOldList();
    EXPECT_THROW_MSG(Build(), EBuildError, "\"" + chosen + "/sub/" + c.shown + "\" cannot be packed: " + c.reason + ".");
    EXPECT_EQ(ReadFileBytes(list), "old list\r\n");
    EXPECT_FALSE(AnyArchiveUnder(upload));
    EXPECT_TRUE(view.Messages.empty());
    ExpectEndedCleanly();
}

const std::string kControl = "Windows names cannot hold control characters or line breaks";
const std::string kEnd = "Windows names cannot end in a space or a dot";

INSTANTIATE_TEST_SUITE_P(
    Build, WindowsNames,
    ::testing::Values(BadName{"new\nline|0|0|c", false, "new\\nline|0|0|c", kControl},
                      BadName{"cr\r", false, "cr\\r", kControl}, BadName{"tab\tx", false, "tab\\tx", kControl},
                      BadName{"bell\x07", false, "bell\\x07", kControl},
                      BadName{"a:b", false, "a:b", "Windows names cannot hold the character ':'"},
                      BadName{"back\\slash", false, "back\\slash", "Windows names cannot hold the character '\\'"},
                      BadName{"pipe|x", false, "pipe|x", "Windows names cannot hold the character '|'"},
                      BadName{"q?", false, "q?", "Windows names cannot hold the character '?'"},
                      BadName{"st*r", false, "st*r", "Windows names cannot hold the character '*'"},
                      BadName{"\"quoted\"", false, "\"quoted\"", "Windows names cannot hold the character '\"'"},
                      BadName{"<in>", false, "<in>", "Windows names cannot hold the character '<'"},
                      BadName{"out>", false, "out>", "Windows names cannot hold the character '>'"},
                      BadName{"dot.", false, "dot.", kEnd}, BadName{"space ", false, "space ", kEnd},
                      BadName{"folder:x", true, "folder:x", "Windows names cannot hold the character ':'"},
                      BadName{"folder\nx", true, "folder\\nx", kControl}));

TEST_F(BuildTest, TextsWithLineBreaksAreRefusedBeforeAnythingIsWritten)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "Fern\npatch.exe", "a file whose name holds a line break");
    PlaceOldList();
    struct Case {
        std::string updater, server, message;
    };
    const Case cases[] = {
        {"Fern\npatch.exe", "127.0.0.1",
         "The updater name \"Fern\\npatch.exe\" cannot hold control characters or line breaks."},
        {"Fernpatch.exe", "127.0.0.1\r\nF1=evil.dll|0|0|c",
         "The server address \"127.0.0.1\\r\\nF1=evil.dll|0|0|c\" cannot hold control characters or line breaks."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        view = RecorderView{};
        view.Folder = chosen;
        view.Updater = c.updater;
        view.Server = c.server;
        EXPECT_THROW_MSG(Build(), EBuildError, c.message);
        EXPECT_EQ(ReadFileBytes(list), "old list\r\n");
        EXPECT_FALSE(AnyArchiveUnder(upload));
        ExpectEndedCleanly();
    }
}

TEST_F(BuildTest, AFileThatVanishesEndsTheBuildAndTheNextBuildStartsAfresh)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "gone.dat", "here for the listing only");
    const std::string gone = chosen + "/gone.dat";
    bool packing = false;
    view.OnSetProgressMax = [&] { packing = true; };
    view.OnKeepAlive = [&](const std::string& file) {
        if (packing && file == gone)
            fs::remove(gone);  // listed by the pack walk, gone before its CRC is taken
    };
    EXPECT_THROW_MSG(Build(), EInOutError, "Fichier introuvable");
    const std::string kept = ReadFileBytes(list);
    EXPECT_EQ(kept.rfind("[self]\r\nIAM=Fernpatch.exe|", 0), 0u) << kept;
    EXPECT_TRUE(kept.ends_with("\r\n[misc]\r\nServer=127.0.0.1\r\nModifyHost=0\r\n[files]\r\nfcount=1\r\n")) << kept;
    EXPECT_TRUE(view.Messages.empty());
    ExpectEndedCleanly();

    MakeFile(chosen, "gone.dat", "back again");
    view = RecorderView{};
    view.Folder = chosen;
    EXPECT_EQ(Build(), TBuildResult::brDone);
    EXPECT_EQ(view.Messages, (std::vector<std::string>{"Done! 2 files have been packed."}));
    ExpectUpdateSet(Expected());
}

TEST_F(BuildTest, FilesThatComeOrGoBetweenTheWalksAreNotReportedAsDone)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "gone.dat", "counted, then removed before the pack walk");
    view.OnSetProgressMax = [&] { fs::remove(chosen + "/gone.dat"); };
    EXPECT_THROW_MSG(Build(), EBuildError, "The chosen folder changed during the build: 2 files were counted and 1 packed.");
    EXPECT_TRUE(view.Messages.empty());
    ExpectEndedCleanly();

    view = RecorderView{};
    view.Folder = chosen;
    view.OnSetProgressMax = [&] { MakeFile(chosen, "new.dat", "not there for the count"); };
    EXPECT_THROW_MSG(Build(), EBuildError, "The chosen folder changed during the build: 1 files were counted and 2 packed.");
    ExpectEndedCleanly();
}

TEST_F(BuildTest, AFolderNamedLikeAnArchiveCannotBeWrittenOver)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "a.dll", "library");
    MakeFile(chosen, "a.dll.zip/inner.txt", "a folder named like a.dll's archive");
    EXPECT_THROW_MSG(Build(), EFCreateError, "Impossible de créer le fichier " + upload + "/a.dll.zip");
    EXPECT_TRUE(ReadFileBytes(list).starts_with("[self]\r\nIAM=Fernpatch.exe|"));
    EXPECT_TRUE(fs::is_directory(upload + "/a.dll.zip"));
    ExpectEndedCleanly();
}

TEST_F(BuildTest, AnUnreadableFileEndsTheBuild)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "locked.dat", "secret");
    ::chmod((chosen + "/locked.dat").c_str(), 0);
    // Where this process may read any file, the fault seam refuses the open instead.
    std::unique_ptr<fault::Scoped> refused;
    if (::access((chosen + "/locked.dat").c_str(), R_OK) == 0)
        refused = std::make_unique<fault::Scoped>(fault::Rule{fault::Op::Open, EACCES, 0, chosen + "/locked.dat"});
    EXPECT_THROW_MSG(Build(), EInOutError, "Accès au fichier refusé");
    EXPECT_FALSE(fs::exists(upload + "/locked.dat.zip"));
    ExpectEndedCleanly();
}

TEST_F(BuildTest, AFailedAddLeavesNoArchiveOpen)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "plain.txt", "text");
    // The first open of the file is its CRC; the second is the component's, while the archive is open.
    fault::Scoped secondOpenFails({fault::Op::Open, EACCES, 1, chosen + "/plain.txt"});
    EXPECT_THROW_MSG(Build(), EFOpenError, "Impossible d'ouvrir le fichier " + chosen + "/plain.txt");
    ExpectEndedCleanly();
    EXPECT_FALSE(zip.IsZipFile());
}

TEST_F(BuildTest, AFailingListWriteKeepsTheLinesBeforeIt)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "a.txt", "a");
    struct Case {
        fault::Rule rule;
        std::string message;
        int linesKept;
    };
    const Case cases[] = {
        {{fault::Op::Open, EACCES, 0, "updates.lst"}, "Accès au fichier refusé", 1},  // the IAM line's append
        {{fault::Op::Write, ENOSPC, 2, "updates.lst"}, "Disque plein", 2},            // the fixed lines
        {{fault::Op::Write, ENOSPC, 3, "updates.lst"}, "Disque plein", 7},            // the F line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message + " after " + std::to_string(c.linesKept));
        view = RecorderView{};
        view.Folder = chosen;
        {
            fault::Scoped armed(c.rule);
            EXPECT_THROW_MSG(Build(), EInOutError, c.message);
        }
        const std::string kept = ReadFileBytes(list);
        EXPECT_TRUE(kept.starts_with("[self]\r\n"));
        EXPECT_TRUE(kept.ends_with("\r\n"));
        EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), c.linesKept) << kept;
        ExpectEndedCleanly();
    }
}

TEST_F(BuildTest, CountersThatWouldOverflowEndTheBuild)
{
    MakeFile(chosen, "Fernpatch.exe", "updater");
    MakeFile(chosen, "a.txt", "a");
    MakeFile(chosen, "b.txt", "b");
    PlaceOldList();

    state.FileCount = INT32_MAX;  // the mirror pass's count
    EXPECT_THROW_MSG(Build(), EIntOverflow, "Débordement d'entier");
    EXPECT_EQ(ReadFileBytes(list), "old list\r\n");
    ExpectEndedCleanly();

    view = RecorderView{};
    view.Folder = chosen;
    state.LineIndex = INT32_MAX;  // the next F line's number
    EXPECT_THROW_MSG(Build(), EIntOverflow, "Débordement d'entier");
    EXPECT_NE(ReadFileBytes(list).find("\r\nF2147483647="), std::string::npos);
    ExpectEndedCleanly();
}

TEST(ProbeFileSize, GivesSignedSizesBelow2GiB)
{
    TempDir dir;
    struct Case {
        std::uintmax_t size;
        std::int32_t result;  // 0 with raises
        bool raises;
    };
    const Case cases[] = {
        {0, 0, false},
        {22, 22, false},
        {2147483647u, 2147483647, false},
        {2147483648u, 0, true},
        {4294967296u + 5u, 0, true},  // low 32 bits small, the size still too large
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string path = dir / "sparse.bin";
        WriteFileBytes(path, "");
        fs::resize_file(path, c.size);  // sparse: no blocks are written
        if (c.raises)
            EXPECT_THROW_MSG(ProbeFileSize(path), ERangeError, "Erreur de vérification d'étendue");
        else
            EXPECT_EQ(ProbeFileSize(path), c.result);
    }
    EXPECT_EQ(ProbeFileSize(dir / "missing.zip"), -1);
    EXPECT_EQ(ProbeFileSize(dir.path()), -1);
}

TEST(ConfigureOrvZip1, SetsTheFormsSettings)
{
    orvzip::TOrvZip zip(nullptr);
    ConfigureOrvZip1(zip);
    EXPECT_EQ(zip.Name(), "OrvZip1");
    EXPECT_FALSE(zip.IsZipFile());
    EXPECT_EQ(zip.SaveMethod(), orvzip::TZipSaveMethod::FastSave);
    EXPECT_FALSE(zip.StoreRelativePath());
    EXPECT_FALSE(zip.StoreFolders());
    EXPECT_EQ(zip.CompressionType(), orvzip::TZipCompressionType::ctMaximum);
    EXPECT_FALSE(zip.UseTempFiles());
    EXPECT_EQ(zip.OverwriteAction(), orvzip::TOverwriteAction::oaOverwriteAll);
    EXPECT_EQ(zip.ComponentVersion(), "2.0");
    EXPECT_FALSE(zip.ReadOnly());
    EXPECT_FALSE(zip.ApplyAtributes());
    EXPECT_FALSE(zip.Active());
}

}  // namespace
}  // namespace tarnwick::test
