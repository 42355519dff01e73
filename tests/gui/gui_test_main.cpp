// gui_test_main.cpp -- the window's test suite: a home folder of its own, then the application
// object as the program sets it up, then the tests.
#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "builder/crc.h"
#include "gui_test_util.h"
#include "support/test_support.h"

namespace tarnwick::gui::test {

bool crcTableFilledAtStart = false;
std::string fakeHome;

bool CrcTableFilledAtStart() { return crcTableFilledAtStart; }
const std::string& FakeHome() { return fakeHome; }

}  // namespace tarnwick::gui::test

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    using namespace tarnwick::gui::test;
    // Checked before anything else runs: the table is filled while the units initialise.
    crcTableFilledAtStart = tarnwick::Crc32Table[1] == 0x77073096u && tarnwick::Crc32Table[255] == 0x2D02EF8Du;
    ::testing::InitGoogleTest(&argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    // The tree starts at the user's desktop; give it one that the tests know.
    tarnwick::test::TempDir home;
    fakeHome = home.path();
    for (const char* folder : {"Desktop/Client/data", "Desktop/Client/system", "Desktop/Tools", "Desktop/.hidden", ".config", "run"})
        fs::create_directories(home / folder);
    tarnwick::test::WriteFileBytes(home / "Desktop/notes.txt", "not a folder\n");
    fs::permissions(home / "run", fs::perms::owner_all);
    ::setenv("HOME", fakeHome.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);

    int result = 0;
    {
        QApplication application(argc, argv);
        tarnwick::gui::InitializeApplication();
        result = RUN_ALL_TESTS();
    }
    return result;
}
