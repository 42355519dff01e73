// mirror_test.cpp -- the mapping of paths to the Upload folder and the mirror pass alone.
#include <gtest/gtest.h>

#include <filesystem>

#include "builder/build_command.h"
#include "builder/build_paths.h"
#include "builder_test_util.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace tarnwick::test {
namespace {

TEST(MirrorPath, MapsBelowTheUploadFolderWhateverTheChosenFolderEndsIn)
{
    TempDir work;
    ScopedCurrentDir cwd(work.path());
    const std::string upload = fs::current_path().string() + "/Upload";
    struct Case {
        const char* path;
        const char* root;
        const char* below;
    };
    const Case cases[] = {
        {"/d/Game/system/data", "/d/Game", "system/data"},
        {"/d/Game/system/data", "/d/Game/", "system/data"},
        {"/system", "/", "system"},            // a drive's root
        {"/system/b.dat", "/", "system/b.dat"},
        {"client/a.dll", "client", "a.dll"},   // a relative chosen folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " under " + c.root);
        EXPECT_EQ(MirrorPath(c.path, c.root), upload + "/" + c.below);
        EXPECT_EQ(PathBelow(c.path, c.root), c.below);
    }
    EXPECT_EQ(ListPath("system/deep/c.bin"), "system\\deep\\c.bin");
}

TEST(MirrorFolders, CountsFilesFindsTheUpdaterAtTheTopOnlyAndMirrorsEveryFolder)
{
    TempDir dir;
    const std::string chosen = dir / "client";
    MakeFile(chosen, "Fernpatch.exe", "x");
    MakeFile(chosen, "a.txt", "a");
    MakeFile(chosen, ".hidden", "h");
    MakeFile(chosen, "sub/Fernpatch.exe", "a namesake deeper down");
    MakeFile(chosen, "sub/deep/b.txt", "b");
    MakeFile(chosen, "empty/inner/");
    MakeFile(dir.path(), "work/");
    ScopedCurrentDir cwd(dir / "work");
    const std::string upload = fs::current_path().string() + "/Upload";

    RecorderView view;
    TBuildState state;
    state.UpdaterName = "Fernpatch.exe";
    MirrorFolders(state, view, chosen, chosen, upload);
    EXPECT_EQ(state.FileCount, 4);  // the updater, a.txt, .hidden, sub/deep/b.txt
    EXPECT_TRUE(state.UpdaterFound);
    for (const char* folder : {"sub", "sub/deep", "empty", "empty/inner"})
        EXPECT_TRUE(fs::is_directory(upload + "/" + folder)) << folder;
    EXPECT_FALSE(fs::exists(upload + "/updates.lst"));

    // The namesake deeper down neither counts nor makes the updater found.
    TBuildState deeper;
    deeper.UpdaterName = "Fernpatch.exe";
    fs::remove(chosen + "/Fernpatch.exe");
    MirrorFolders(deeper, view, chosen, chosen, upload);
    EXPECT_EQ(deeper.FileCount, 3);
    EXPECT_FALSE(deeper.UpdaterFound);
}

}  // namespace
}  // namespace tarnwick::test
