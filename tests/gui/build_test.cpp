// build_test.cpp -- the Build command driven through the real window: its messages, the
// folder tree and progress bar during and after a build, errors, and input during a build.
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>

#include "builder/gui/main.h"
#include "builder/gui/shell_tree_view.h"
#include "gui_test_util.h"
#include "runtime/fault.h"
#include "support/test_support.h"

namespace tarnwick::gui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::ReadFileBytes;
using tarnwick::test::TempDir;
using tarnwick::test::WriteFileBytes;

// Every file below folder, by its path relative to it, with its bytes.
std::map<std::string, std::string> FilesBelow(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).string();
        files[relative] = entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "<folder>";
    }
    return files;
}

class BuildThroughWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        form = new TFrmMain;
        form->show();
        Flush();
    }
    static void TearDownTestSuite()
    {
        delete form;
        form = nullptr;
    }

    void SetUp() override
    {
        fs::create_directories(work / "out");
        client = work / "client";
        fs::create_directories(client + "/data");
        fs::create_directories(client + "/system/sub");
        fs::create_directories(client + "/cache");
        WriteFileBytes(client + "/Fernpatch.exe", std::string(3000, 'x') + "updater");
        WriteFileBytes(client + "/readme.txt", "Read me first.\r\n");
        WriteFileBytes(client + "/data/a.dll", std::string(20000, '\x01') + "dll");
        WriteFileBytes(client + "/data/empty.bin", "");
        WriteFileBytes(client + "/system/sub/b.txt", "bbbb");
        ASSERT_TRUE(SelectFolder(*form->STView_FolderEXE(), client));
    }
    void TearDown() override
    {
        form->STView_FolderEXE()->setCurrentItem(form->STView_FolderEXE()->DesktopItem());
        form->findChild<QLineEdit*>("LbL_NameEXE")->setText("Fernpatch.exe");
        form->findChild<QLineEdit*>("LbL_IpServer")->setText("127.0.0.1");
        form->findChild<QCheckBox*>("ChkB_Crtical")->setChecked(false);
        form->findChild<QCheckBox*>("ChkB_ModHost")->setChecked(false);
    }

    static void ClickBuild() { QTest::mouseClick(form->findChild<QPushButton*>("Btn_Build"), Qt::LeftButton); }

    static TFrmMain* form;
    TempDir work;
    std::string client;
};

TFrmMain* BuildThroughWindowTest::form = nullptr;

// The window and tarnwick-build, given the same settings, write the same update set.
TEST_F(BuildThroughWindowTest, BuildMakesTheSameUpdateSetAsTheCommandLine)
{
    const std::string cli = TARNWICK_BIN_DIR "/tarnwick-build";
    ASSERT_TRUE(fs::exists(cli)) << cli;
    form->findChild<QCheckBox*>("ChkB_Crtical")->setChecked(true);
    form->findChild<QCheckBox*>("ChkB_ModHost")->setChecked(true);
    form->findChild<QLineEdit*>("LbL_IpServer")->setText("10.0.0.7");
    {
        CurrentDirGuard cwd(work / "out");
        MessageRecorder recorder(*form);
        int maximumAtEnd = -1, positionAtEnd = -1;
        bool treeEnabledAtEnd = false;
        recorder.OnMessage = [&](const TMessageBoxRequest&) {
            maximumAtEnd = form->ProgressMax();
            positionAtEnd = form->ProgressPosition();
            treeEnabledAtEnd = form->STView_FolderEXE()->isEnabled();
        };
        ClickBuild();
        ASSERT_EQ(recorder.Messages.size(), 1u);
        EXPECT_EQ(recorder.Messages[0].Text, "Done! 5 files have been packed.");
        EXPECT_EQ(recorder.Messages[0].Icon, QMessageBox::NoIcon);
        EXPECT_EQ(recorder.Messages[0].Caption, "Tarnwick V4.6");
        EXPECT_EQ(maximumAtEnd, 5);
        EXPECT_EQ(positionAtEnd, 5);
        EXPECT_TRUE(treeEnabledAtEnd);
    }
    auto* bar = form->findChild<QProgressBar*>("PrgBar_Build");
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(bar->maximum(), 5);
    EXPECT_TRUE(form->STView_FolderEXE()->isEnabled());
    EXPECT_FALSE(form->Building());
    EXPECT_EQ(BuildState.LineIndex, 1);
    EXPECT_EQ(BuildState.FileCount, 0);

    const std::string list = ReadFileBytes(work / "out/Upload/updates.lst");
    EXPECT_NE(list.find("[misc]\r\nServer=10.0.0.7\r\nModifyHost=1\r\n[files]\r\nfcount=4\r\n"), std::string::npos)
        << list;
    EXPECT_NE(list.find("|c\r\n"), std::string::npos) << list;

    fs::create_directories(work / "cli");
    using tarnwick::test::ShellQuote;
    const auto run = tarnwick::test::RunCommand("cd " + ShellQuote(work / "cli") + " && " + ShellQuote(cli) +
                                                " --critical --modify-host --server 10.0.0.7 " + ShellQuote(client));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto fromWindow = FilesBelow(work / "out/Upload");
    EXPECT_EQ(fromWindow.size(), 10u);  // the list, 5 archives, 4 folders (cache, data, system, system/sub)
    EXPECT_EQ(fromWindow, FilesBelow(work / "cli/Upload"));
}

TEST_F(BuildThroughWindowTest, MissingUpdaterIsReportedWithTheTreeDisabledUntilTheMessageCloses)
{
    fs::remove(client + "/Fernpatch.exe");
    CurrentDirGuard cwd(work / "out");
    MessageRecorder recorder(*form);
    bool treeEnabledAtMessage = true;
    recorder.OnMessage = [&](const TMessageBoxRequest&) { treeEnabledAtMessage = form->STView_FolderEXE()->isEnabled(); };
    ClickBuild();
    ASSERT_EQ(recorder.Messages.size(), 1u);
    EXPECT_EQ(recorder.Messages[0].Text, "Fernpatch.exe was not found!");
    EXPECT_EQ(recorder.Messages[0].Icon, QMessageBox::NoIcon);
    EXPECT_EQ(recorder.Messages[0].Caption, "Tarnwick V4.6");
    EXPECT_FALSE(treeEnabledAtMessage);
    EXPECT_TRUE(form->STView_FolderEXE()->isEnabled());
    EXPECT_TRUE(fs::is_directory(work / "out/Upload/system/sub"));
    EXPECT_FALSE(fs::exists(work / "out/Upload/updates.lst"));
    EXPECT_FALSE(fs::exists(work / "out/Upload/readme.txt.zip"));
}

TEST_F(BuildThroughWindowTest, FailedBuildShowsItsErrorAndTheNextStartsAfresh)
{
    CurrentDirGuard cwd(work / "out");
    MessageRecorder recorder(*form);
    {
        fault::Scoped denied({fault::Op::Open, EACCES, 0, "readme.txt", 1});
        ClickBuild();
    }
    ASSERT_EQ(recorder.Messages.size(), 1u);
    EXPECT_EQ(recorder.Messages[0].Text, QString::fromUtf8("Accès au fichier refusé"));
    EXPECT_EQ(recorder.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(recorder.Messages[0].Caption, "Tarnwick V4.6");
    EXPECT_TRUE(form->STView_FolderEXE()->isEnabled());
    EXPECT_FALSE(form->Building());
    EXPECT_EQ(BuildState.LineIndex, 1);
    EXPECT_EQ(BuildState.FileCount, 0);
    EXPECT_TRUE(form->isVisible());

    recorder.Messages.clear();
    ClickBuild();
    EXPECT_EQ(recorder.Texts(), std::vector<QString>{"Done! 5 files have been packed."});
    const std::string list = ReadFileBytes(work / "out/Upload/updates.lst");
    EXPECT_NE(list.find("fcount=4\r\nF1="), std::string::npos) << list;
    EXPECT_EQ(list.find("F5="), std::string::npos) << list;
}

// Input that arrives during a build is dropped, not delivered after it; the close box is
// refused while the build runs.
TEST_F(BuildThroughWindowTest, InputDuringABuildIsDroppedAndCloseRefused)
{
    auto* infos = form->findChild<QPushButton*>("Btn_Infos");
    const QPointF centre = QRectF(infos->rect()).center();
    const auto postClick = [&] {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(infos, new QMouseEvent(type, centre, infos->mapToGlobal(centre),
                                                               Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(form->findChild<QLineEdit*>("LbL_NameEXE"),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x"));
    };
    CurrentDirGuard cwd(work / "out");
    MessageRecorder recorder(*form);

    // Idle, the same events reach their controls.
    postClick();
    Flush();
    ASSERT_EQ(recorder.Messages.size(), 1u);
    ASSERT_EQ(form->findChild<QLineEdit*>("LbL_NameEXE")->text(), "Fernpatch.exex");
    form->findChild<QLineEdit*>("LbL_NameEXE")->setText("Fernpatch.exe");
    recorder.Messages.clear();

    bool sawBuild = false, treeEnabled = true, closed = true;
    QTimer::singleShot(0, form, [&] {
        sawBuild = form->Building();
        treeEnabled = form->STView_FolderEXE()->isEnabled();
        closed = form->close();
    });
    postClick();
    ClickBuild();
    Flush();
    EXPECT_TRUE(sawBuild);
    EXPECT_FALSE(treeEnabled);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(recorder.Texts(), std::vector<QString>{"Done! 5 files have been packed."});
    EXPECT_EQ(form->findChild<QLineEdit*>("LbL_NameEXE")->text(), "Fernpatch.exe");
}

// The closing message box is a real modal box; it takes the keys that the window does not.
TEST_F(BuildThroughWindowTest, ClosingMessageBoxTakesInputDuringTheBuild)
{
    CurrentDirGuard cwd(work / "out");
    QString text;
    bool closedByKey = false;
    AnswerNextModalBox([&](QMessageBox& box) {
        text = box.text();
        QTest::keyClick(&box, Qt::Key_Return);
        closedByKey = !box.isVisible();
    });
    ClickBuild();
    EXPECT_EQ(text, "Done! 5 files have been packed.");
    EXPECT_TRUE(closedByKey);
    EXPECT_FALSE(form->Building());
}

}  // namespace
}  // namespace tarnwick::gui::test
