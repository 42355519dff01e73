// window_test.cpp -- the main window at start: its controls, frame, folder tree and the small
// button handlers.
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "builder/gui/labeled_edit.h"
#include "builder/gui/main.h"
#include "builder/gui/shell_tree_view.h"
#include "gui_test_util.h"
#include "support/test_support.h"
#include "zip/OrvZip.h"

namespace tarnwick::gui::test {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        form = new TFrmMain;
        form->show();
        Flush();
        atStart = form->grab().toImage();
    }
    static void TearDownTestSuite()
    {
        delete form;
        form = nullptr;
    }

    template <typename T>
    static T* control(const char* name)
    {
        return form->findChild<T*>(QString::fromLatin1(name));
    }

    static TFrmMain* form;
    static QImage atStart;
};

TFrmMain* MainWindowTest::form = nullptr;
QImage MainWindowTest::atStart;

struct ControlRow {
    const char* name;
    const char* kind;
    QRect geometry;
    const char* text;  // caption or edit text; nullptr where the control has none
    Qt::CursorShape cursor;
};

TEST_F(MainWindowTest, ControlsHaveTheirKindGeometryTextAndCursor)
{
    const ControlRow rows[] = {
        {"Ico_Sphere", "QLabel", {8, 8, 49, 49}, nullptr, Qt::ArrowCursor},
        {"STView_FolderEXE", "tarnwick::gui::TShellTreeView", {4, 96, 493, 401}, nullptr, Qt::ArrowCursor},
        {"Btn_Build", "QPushButton", {64, 8, 177, 49}, "Build", Qt::PointingHandCursor},
        {"Btn_Infos", "QPushButton", {64, 64, 89, 25}, "Infos", Qt::PointingHandCursor},
        {"Btn_Quit", "QPushButton", {8, 64, 49, 25}, "Close", Qt::PointingHandCursor},
        {"PrgBar_Build", "QProgressBar", {4, 502, 493, 25}, nullptr, Qt::ArrowCursor},
        {"ChkB_ModHost", "QCheckBox", {376, 56, 129, 33}, "Modify host file", Qt::ArrowCursor},
        {"LbL_IpServer", "tarnwick::gui::TLabeledEdit", {248, 64, 121, 21}, "127.0.0.1", Qt::IBeamCursor},
        {"LbL_NameEXE", "tarnwick::gui::TLabeledEdit", {248, 24, 121, 21}, "Fernpatch.exe", Qt::IBeamCursor},
        {"ChkB_Crtical", "QCheckBox", {376, 16, 121, 33}, "Critical Update", Qt::ArrowCursor},
        {"Btn_Help", "QPushButton", {152, 64, 89, 25}, "Help Online", Qt::ArrowCursor},
    };
    for (const ControlRow& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* widget = control<QWidget>(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), form);
        EXPECT_STREQ(widget->metaObject()->className(), row.kind);
        EXPECT_EQ(widget->geometry(), row.geometry);
        EXPECT_TRUE(widget->isVisible());
        EXPECT_EQ(widget->cursor().shape(), row.cursor);
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            text = button->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(widget))
            text = edit->text();
        if (row.text != nullptr) {
            EXPECT_EQ(text.toStdString(), row.text);
        }
    }
    EXPECT_EQ(form->OrvZip1().Name(), "OrvZip1");
}

TEST_F(MainWindowTest, TabOrderFollowsTheForm)
{
    // The progress bar (tab order 3) takes no focus, as a bar does, so Tab passes over it.
    const QStringList expected = {"STView_FolderEXE", "Btn_Build",    "Btn_Infos",   "Btn_Quit",     "ChkB_ModHost",
                                  "LbL_IpServer",     "LbL_NameEXE", "ChkB_Crtical", "Btn_Help"};
    QStringList chain;
    QWidget* start = control<QWidget>("STView_FolderEXE");
    QWidget* w = start;
    do {
        if (w->parentWidget() == form && (w->focusPolicy() & Qt::TabFocus) && !chain.contains(w->objectName()))
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != start);
    EXPECT_EQ(chain.join(' ').toStdString(), expected.join(' ').toStdString());
    EXPECT_EQ(control<QWidget>("PrgBar_Build")->focusPolicy(), Qt::NoFocus);
}

TEST_F(MainWindowTest, StartsWithTheDefaults)
{
    EXPECT_EQ(control<QLineEdit>("LbL_NameEXE")->text(), "Fernpatch.exe");
    EXPECT_EQ(control<QLineEdit>("LbL_IpServer")->text(), "127.0.0.1");
    EXPECT_FALSE(control<QCheckBox>("ChkB_Crtical")->isChecked());
    EXPECT_FALSE(control<QCheckBox>("ChkB_ModHost")->isChecked());
    auto* bar = control<QProgressBar>("PrgBar_Build");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(bar->isTextVisible());
    for (const char* name : {"Btn_Build", "Btn_Infos", "Btn_Quit", "Btn_Help"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(control<QPushButton>(name)->isDefault());
        EXPECT_FALSE(control<QPushButton>(name)->autoDefault());
    }
    EXPECT_TRUE(form->STView_FolderEXE()->isEnabled());
    EXPECT_EQ(BuildState.LineIndex, 1);
    EXPECT_EQ(BuildState.FileCount, 0);
    EXPECT_FALSE(BuildState.UpdaterFound);
}

TEST_F(MainWindowTest, IsAFixedCentredDialogWithTitleIconColoursAndFont)
{
    EXPECT_TRUE(CrcTableFilledAtStart());
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Tarnwick V4.6");
    EXPECT_EQ(form->windowTitle(), "Tarnwick V4.6");
    EXPECT_EQ(form->objectName(), "FrmMain");

    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->size(), QSize(502, 531));
    EXPECT_EQ(form->minimumSize(), QSize(502, 531));
    EXPECT_EQ(form->maximumSize(), QSize(502, 531));
    form->resize(640, 600);
    EXPECT_EQ(form->size(), QSize(502, 531));

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE((form->frameGeometry().center() - screen.center()).manhattanLength(), 40);

    const QColor shadow(105, 105, 105);
    EXPECT_EQ(form->palette().color(QPalette::Window), shadow);
    EXPECT_TRUE(form->autoFillBackground());
    EXPECT_EQ(form->font().family(), "MS Sans Serif");
    EXPECT_EQ(form->font().pointSize(), 8);
    EXPECT_EQ(form->STView_FolderEXE()->palette().color(QPalette::Base), QColor(Qt::white));

    // One globe picture on the window and in Ico_Sphere, drawn at its top left.
    const QImage globe(QStringLiteral(":/tarnwick/globe.png"));
    ASSERT_EQ(globe.size(), QSize(48, 48));
    EXPECT_EQ(form->windowIcon().pixmap(48, 48).toImage().convertToFormat(QImage::Format_ARGB32),
              globe.convertToFormat(QImage::Format_ARGB32));
    auto* sphere = control<QLabel>("Ico_Sphere");
    EXPECT_EQ(sphere->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
              globe.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(sphere->alignment(), Qt::AlignLeft | Qt::AlignTop);
}

TEST_F(MainWindowTest, EditBoxesHaveTheirCaptionThreePixelsAbove)
{
    struct Row {
        const char* name;
        const char* caption;
        bool ownBackground;
    };
    for (const Row& row : {Row{"LbL_IpServer", "Server IP", false}, Row{"LbL_NameEXE", "Updater name", true}}) {
        SCOPED_TRACE(row.name);
        auto* edit = control<TLabeledEdit>(row.name);
        QLabel* label = edit->EditLabel();
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->objectName(), QString::fromLatin1(row.name) + "_EditLabel");
        EXPECT_EQ(label->parentWidget(), form);
        EXPECT_EQ(label->text(), row.caption);
        EXPECT_EQ(label->buddy(), edit);
        EXPECT_TRUE(label->isVisible());
        EXPECT_EQ(label->x(), edit->x());
        EXPECT_EQ(label->y() + label->height() + 3, edit->y());
        EXPECT_EQ(label->autoFillBackground(), row.ownBackground);
        if (row.ownBackground) {
            EXPECT_EQ(label->palette().color(QPalette::Window), QColor(105, 105, 105));
        }
    }
    // The caption follows its box.
    auto* edit = control<TLabeledEdit>("LbL_IpServer");
    edit->move(200, 300);
    EXPECT_EQ(edit->EditLabel()->geometry().bottomLeft() + QPoint(0, 4), QPoint(200, 300));
    edit->setEnabled(false);
    EXPECT_FALSE(edit->EditLabel()->isEnabled());
    edit->setEnabled(true);
    edit->move(248, 64);
}

TEST_F(MainWindowTest, TreeStartsAtTheDesktopSelectedAndExpandedOneLevel)
{
    TShellTreeView* tree = form->STView_FolderEXE();
    EXPECT_FALSE(tree->rootIsDecorated());
    EXPECT_EQ(tree->indentation(), 19);
    EXPECT_TRUE(tree->isHeaderHidden());
    EXPECT_EQ(tree->selectionMode(), QAbstractItemView::SingleSelection);

    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* desktop = tree->DesktopItem();
    EXPECT_EQ(desktop->text(0), "Desktop");
    EXPECT_TRUE(desktop->isExpanded());
    EXPECT_TRUE(desktop->isSelected());
    EXPECT_EQ(tree->SelectedPath(), FakeDesktop());
    EXPECT_EQ(form->SelectedFolderPath(), FakeDesktop());
    EXPECT_FALSE(desktop->icon(0).isNull());

    // Home, the root, the volumes, then the desktop's own folders: no files, no hidden folders.
    using Kind = TShellTreeView::ItemKind;
    ASSERT_GE(desktop->childCount(), 4);
    EXPECT_EQ(TShellTreeView::Kind(desktop->child(0)), Kind::Home);
    EXPECT_EQ(TShellTreeView::ItemPath(desktop->child(0)), FakeHome());
    EXPECT_EQ(TShellTreeView::Kind(desktop->child(1)), Kind::FileSystemRoot);
    EXPECT_EQ(TShellTreeView::ItemPath(desktop->child(1)), "/");
    QStringList folders;
    for (int i = 2; i < desktop->childCount(); ++i) {
        QTreeWidgetItem* child = desktop->child(i);
        if (TShellTreeView::Kind(child) == Kind::Volume) {
            EXPECT_TRUE(folders.isEmpty()) << "volumes come before the desktop's folders";
            continue;
        }
        EXPECT_EQ(TShellTreeView::Kind(child), Kind::Folder);
        folders << child->text(0);
        EXPECT_EQ(TShellTreeView::ItemPath(child), FakeDesktop() + "/" + child->text(0).toStdString());
    }
    EXPECT_EQ(folders, QStringList({"Client", "Tools"}));

    // Nothing below the first level is listed before it is expanded.
    for (int i = 0; i < desktop->childCount(); ++i) {
        EXPECT_FALSE(TShellTreeView::ChildrenListed(desktop->child(i)));
        EXPECT_EQ(desktop->child(i)->childCount(), 0);
        EXPECT_FALSE(desktop->child(i)->icon(0).isNull());
    }
}

TEST_F(MainWindowTest, TreeListsFoldersWhenFirstExpandedAndNotAgain)
{
    namespace fs = std::filesystem;
    TShellTreeView* tree = form->STView_FolderEXE();
    QTreeWidgetItem* client = nullptr;
    QTreeWidgetItem* tools = nullptr;
    for (int i = 0; i < tree->DesktopItem()->childCount(); ++i) {
        QTreeWidgetItem* child = tree->DesktopItem()->child(i);
        if (child->text(0) == "Client")
            client = child;
        if (child->text(0) == "Tools")
            tools = child;
    }
    ASSERT_NE(client, nullptr);
    ASSERT_NE(tools, nullptr);

    client->setExpanded(true);
    ASSERT_EQ(client->childCount(), 2);
    EXPECT_EQ(client->child(0)->text(0), "data");
    EXPECT_EQ(TShellTreeView::ItemPath(client->child(1)), FakeDesktop() + "/Client/system");

    // No auto refresh: a folder made after the listing shows only after Refresh.
    fs::create_directory(FakeDesktop() + "/Client/added");
    client->setExpanded(false);
    client->setExpanded(true);
    EXPECT_EQ(client->childCount(), 2);
    tree->setCurrentItem(client->child(1));
    tree->RefreshItem(client);
    EXPECT_EQ(client->childCount(), 3);
    EXPECT_EQ(tree->SelectedPath(), FakeDesktop() + "/Client");  // the listing it stood in is gone
    fs::remove(FakeDesktop() + "/Client/added");
    tree->RefreshItem(client);

    // An empty folder loses its expander once listed.
    EXPECT_EQ(tools->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    tools->setExpanded(true);
    EXPECT_EQ(tools->childCount(), 0);
    EXPECT_EQ(tools->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    tree->setCurrentItem(tree->DesktopItem());
}

TEST_F(MainWindowTest, RightClickSelectsTheItemAndOpensItsMenu)
{
    TShellTreeView* tree = form->STView_FolderEXE();
    QTreeWidgetItem* home = tree->DesktopItem()->child(0);
    const QPoint at = tree->visualItemRect(home).center();

    QTest::mouseClick(tree->viewport(), Qt::RightButton, Qt::NoModifier, at);
    EXPECT_EQ(tree->SelectedPath(), FakeHome());

    QStringList actions;
    QTimer::singleShot(0, [&actions] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions())
                actions << action->text();
            menu->close();
        }
    });
    tree->setCurrentItem(tree->DesktopItem());
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree->viewport(), &event);
    EXPECT_EQ(actions, QStringList({"Open", "Refresh"}));
    EXPECT_EQ(tree->SelectedPath(), FakeHome());
    tree->setCurrentItem(tree->DesktopItem());
}

TEST_F(MainWindowTest, HelpOnlineShowsTheTodoTextInAPlainBox)
{
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QMessageBox::StandardButtons buttons;
    AnswerNextModalBox([&](QMessageBox& box) {
        caption = box.windowTitle();
        text = box.text();
        icon = box.icon();
        buttons = box.standardButtons();
    });
    QTest::mouseClick(control<QPushButton>("Btn_Help"), Qt::LeftButton);
    EXPECT_EQ(text.toStdString(), "                         TODO                         ");
    EXPECT_EQ(text.size(), 54);
    EXPECT_EQ(caption, "Tarnwick V4.6");
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, QMessageBox::Ok);
}

TEST_F(MainWindowTest, InfosShowsOneLineOfCredits)
{
    MessageRecorder recorder(*form);
    QTest::mouseClick(control<QPushButton>("Btn_Infos"), Qt::LeftButton);
    ASSERT_EQ(recorder.Messages.size(), 1u);
    const QString text = recorder.Messages[0].Text;
    EXPECT_EQ(text.size(), 49);
    EXPECT_TRUE(text.startsWith(QString(10, ' ')) && !text.startsWith(QString(11, ' ')));
    EXPECT_TRUE(text.endsWith(QString(10, ' ')) && !text.endsWith(QString(11, ' ')));
    EXPECT_FALSE(text.contains('\n'));
    EXPECT_EQ(recorder.Messages[0].Caption, "Tarnwick V4.6");
    EXPECT_EQ(recorder.Messages[0].Icon, QMessageBox::NoIcon);
}

// Every run saves the window as it starts beside the programs (bin/window.png). The picture in
// docs/window.png is made the same way: written when it is missing, or rewritten on request
// (TARNWICK_UPDATE_SCREENSHOT=1), so that a machine with other fonts leaves the checkout alone.
TEST_F(MainWindowTest, ScreenshotAtStart)
{
    ASSERT_EQ(atStart.size(), QSize(502, 531));
    EXPECT_TRUE(atStart.save(QStringLiteral(TARNWICK_BIN_DIR "/window.png"), "PNG"));
    const QString committed = QStringLiteral(TARNWICK_SOURCE_DIR "/docs/window.png");
    if (!QFile::exists(committed) || qgetenv("TARNWICK_UPDATE_SCREENSHOT") == "1") {
        std::filesystem::create_directories(TARNWICK_SOURCE_DIR "/docs");
        EXPECT_TRUE(atStart.save(committed, "PNG"));
    }
}

TEST(ShellTreeViewTest, DesktopIsTheHomeFolderWhenThereIsNoDesktopFolder)
{
    tarnwick::test::TempDir home;
    const QByteArray previous = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    {
        TShellTreeView tree;
        EXPECT_EQ(TShellTreeView::DesktopFolder(), home.path());
        EXPECT_EQ(tree.SelectedPath(), home.path());
        EXPECT_EQ(TShellTreeView::ItemPath(tree.DesktopItem()->child(0)), home.path());
    }
    qputenv("HOME", previous);
}

TEST(ClosingTest, CloseButtonClosesTheWindow)
{
    TFrmMain form;
    form.show();
    Flush();
    ASSERT_TRUE(form.isVisible());
    QTest::mouseClick(form.findChild<QPushButton*>("Btn_Quit"), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace tarnwick::gui::test
