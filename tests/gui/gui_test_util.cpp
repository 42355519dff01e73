// gui_test_util.cpp -- helpers of the window's tests.
#include "gui_test_util.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <memory>

#include "builder/gui/shell_tree_view.h"

namespace tarnwick::gui::test {

std::string FakeDesktop() { return FakeHome() + "/Desktop"; }

CurrentDirGuard::CurrentDirGuard(const std::string& folder) : previous_(std::filesystem::current_path())
{
    std::filesystem::current_path(folder);
}

CurrentDirGuard::~CurrentDirGuard()
{
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
}

bool SelectFolder(TShellTreeView& tree, const std::string& path)
{
    QTreeWidgetItem* desktop = tree.DesktopItem();
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < desktop->childCount(); ++i)
        if (TShellTreeView::Kind(desktop->child(i)) == TShellTreeView::ItemKind::FileSystemRoot)
            item = desktop->child(i);
    if (item == nullptr)
        return false;
    std::string reached = "/";
    std::size_t start = 1;
    while (start < path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        reached += (reached.size() > 1 ? "/" : "") + path.substr(start, end - start);
        start = end + 1;
        item->setExpanded(true);
        QTreeWidgetItem* next = nullptr;
        // The tree does not follow the disk: a folder made after its parent was listed shows
        // after a refresh, as the user would ask for it.
        for (int attempt = 0; attempt < 2 && next == nullptr; ++attempt) {
            if (attempt == 1)
                tree.RefreshItem(item);
            for (int i = 0; i < item->childCount() && next == nullptr; ++i)
                if (TShellTreeView::ItemPath(item->child(i)) == reached)
                    next = item->child(i);
        }
        if (next == nullptr)
            return false;
        item = next;
    }
    tree.setCurrentItem(item);
    return tree.SelectedPath() == path;
}

MessageRecorder::MessageRecorder(TFrmMain& form) : form_(form)
{
    form_.SetMessageBoxHook([this](const TMessageBoxRequest& request) {
        Messages.push_back(request);
        if (OnMessage)
            OnMessage(request);
    });
}

MessageRecorder::~MessageRecorder() { form_.SetMessageBoxHook({}); }

std::vector<QString> MessageRecorder::Texts() const
{
    std::vector<QString> texts;
    for (const TMessageBoxRequest& m : Messages)
        texts.push_back(m.Text);
    return texts;
}

void AnswerNextModalBox(std::function<void(QMessageBox&)> inspect)
{
    auto* timer = new QTimer(qApp);  // owned by the application until it deletes itself
    auto tries = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, inspect = std::move(inspect)] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            inspect(*box);
            box->done(QMessageBox::Ok);
            return;
        }
        if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal message box opened";
        }
    });
    timer->start();
}

void Flush()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

}  // namespace tarnwick::gui::test
