// shell_tree_view.h -- the shell folder tree (TShellTreeView): the desktop and the folders
// below it, from which the user picks the folder to publish.
#pragma once

#include <QTreeWidget>

#include <string>

namespace tarnwick::gui {

// A tree of folders only, rooted at a single Desktop item. Below the Desktop stand the home
// folder, the file-system root, the mounted volumes and then the desktop folder's own
// sub-folders. An item's sub-folders are listed through the platform layer when the item is
// first expanded and never again by themselves; "Refresh" in the context menu lists them anew.
// Hidden folders (a name beginning with ".") are left out, as file managers do.
//
// At creation the Desktop item is built, expanded one level and selected.
class TShellTreeView : public QTreeWidget {
    Q_OBJECT

public:
    enum class ItemKind { Desktop, Home, FileSystemRoot, Volume, Folder };

    explicit TShellTreeView(QWidget* parent = nullptr);

    // The selected item's path as the file system's bytes: "/" for the root, a folder's path
    // without a trailing separator; "" when no item is selected.
    std::string SelectedPath() const;

    QTreeWidgetItem* DesktopItem() const { return topLevelItem(0); }
    static std::string ItemPath(const QTreeWidgetItem* item);
    static ItemKind Kind(const QTreeWidgetItem* item);
    static bool ChildrenListed(const QTreeWidgetItem* item);

    // Lists the item's sub-folders again, dropping what was listed before.
    void RefreshItem(QTreeWidgetItem* item);

    // The folder that the Desktop item stands for: the user's desktop folder, or the home
    // folder when there is none.
    static std::string DesktopFolder();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void listChildren(QTreeWidgetItem* item);
    void listDesktop(QTreeWidgetItem* desktop);
    void listFolder(QTreeWidgetItem* item);
    QTreeWidgetItem* addItem(QTreeWidgetItem* parent, ItemKind kind, const QString& caption,
                             const std::string& path);
};

}  // namespace tarnwick::gui
