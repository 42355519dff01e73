// shell_tree_view.cpp -- the shell folder tree over the platform layer's folder listing.
#include "builder/gui/shell_tree_view.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>
#include <vector>

#include "runtime/compare.h"
#include "runtime/filesystem.h"

namespace tarnwick::gui {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kListedRole = Qt::UserRole + 2;

std::string toBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string withoutTrailingSeparator(std::string path)
{
    while (path.size() > 1 && path.back() == kPathDelim)
        path.pop_back();
    return path;
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == kPathDelim)
        return folder + name;
    return folder + kPathDelim + name;
}

// The desktop's icon theme first, then the style's own pictures.
QIcon iconFor(TShellTreeView::ItemKind kind)
{
    static const QFileIconProvider provider;
    switch (kind) {
    case TShellTreeView::ItemKind::Desktop:
        return QIcon::fromTheme(QStringLiteral("user-desktop"), provider.icon(QFileIconProvider::Desktop));
    case TShellTreeView::ItemKind::Home:
        return QIcon::fromTheme(QStringLiteral("user-home"), provider.icon(QFileIconProvider::Folder));
    case TShellTreeView::ItemKind::FileSystemRoot:
        return QIcon::fromTheme(QStringLiteral("drive-harddisk"), provider.icon(QFileIconProvider::Computer));
    case TShellTreeView::ItemKind::Volume:
        return QIcon::fromTheme(QStringLiteral("drive-removable-media"), provider.icon(QFileIconProvider::Drive));
    case TShellTreeView::ItemKind::Folder:
        break;
    }
    return QIcon::fromTheme(QStringLiteral("folder"), provider.icon(QFileIconProvider::Folder));
}

// Mount points a user may publish from: block devices and network shares, not the system's
// own pseudo and boot file systems.
bool isUserVolume(const QStorageInfo& volume)
{
    if (!volume.isValid() || !volume.isReady() || volume.isRoot())
        return false;
    static const QList<QByteArray> networkTypes = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs"};
    if (!volume.device().startsWith("/dev/") && !networkTypes.contains(volume.fileSystemType()))
        return false;
    const QString root = volume.rootPath();
    static const QStringList systemPrefixes = {QStringLiteral("/boot"), QStringLiteral("/proc"),
                                               QStringLiteral("/sys"),  QStringLiteral("/dev"),
                                               QStringLiteral("/snap"), QStringLiteral("/var/lib")};
    for (const QString& prefix : systemPrefixes)
        if (root == prefix || root.startsWith(prefix + QLatin1Char('/')))
            return false;
    if (root.startsWith(QStringLiteral("/run/")) && !root.startsWith(QStringLiteral("/run/media/")))
        return false;
    return DirectoryExists(toBytes(root));  // a file bind-mounted over a file is no volume
}

}  // namespace

TShellTreeView::TShellTreeView(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setRootIsDecorated(false);
    setIndentation(19);

    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!ChildrenListed(item))
            listChildren(item);
    });

    QTreeWidgetItem* desktop = addItem(nullptr, ItemKind::Desktop, tr("Desktop"), DesktopFolder());
    desktop->setExpanded(true);
    setCurrentItem(desktop);
}

std::string TShellTreeView::DesktopFolder()
{
    const std::string desktop =
        withoutTrailingSeparator(toBytes(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)));
    if (!desktop.empty() && DirectoryExists(desktop))
        return desktop;
    return withoutTrailingSeparator(toBytes(QDir::homePath()));
}

std::string TShellTreeView::SelectedPath() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? std::string() : ItemPath(selected.front());
}

std::string TShellTreeView::ItemPath(const QTreeWidgetItem* item)
{
    return item->data(0, kPathRole).toByteArray().toStdString();
}

TShellTreeView::ItemKind TShellTreeView::Kind(const QTreeWidgetItem* item)
{
    return static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

bool TShellTreeView::ChildrenListed(const QTreeWidgetItem* item) { return item->data(0, kListedRole).toBool(); }

QTreeWidgetItem* TShellTreeView::addItem(QTreeWidgetItem* parent, ItemKind kind, const QString& caption,
                                         const std::string& path)
{
    auto* item = new QTreeWidgetItem(QStringList(caption));  // owned by the tree or by parent
    item->setData(0, kPathRole, QByteArray::fromStdString(path));
    item->setData(0, kKindRole, static_cast<int>(kind));
    item->setData(0, kListedRole, false);
    item->setIcon(0, iconFor(kind));
    item->setToolTip(0, QFile::decodeName(QByteArray::fromStdString(path)));
    // Whether a folder has sub-folders is only known once it is listed.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    if (parent != nullptr)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

void TShellTreeView::listChildren(QTreeWidgetItem* item)
{
    item->setData(0, kListedRole, true);
    if (Kind(item) == ItemKind::Desktop)
        listDesktop(item);
    else
        listFolder(item);
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TShellTreeView::listDesktop(QTreeWidgetItem* desktop)
{
    addItem(desktop, ItemKind::Home, tr("Home"), withoutTrailingSeparator(toBytes(QDir::homePath())));
    addItem(desktop, ItemKind::FileSystemRoot, tr("File System"), std::string(1, kPathDelim));

    std::vector<QStorageInfo> volumes;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (isUserVolume(volume))
            volumes.push_back(volume);
    std::sort(volumes.begin(), volumes.end(),
              [](const QStorageInfo& a, const QStorageInfo& b) { return a.rootPath() < b.rootPath(); });
    for (const QStorageInfo& volume : volumes)
        addItem(desktop, ItemKind::Volume, volume.displayName(), toBytes(volume.rootPath()));

    listFolder(desktop);
}

void TShellTreeView::listFolder(QTreeWidgetItem* item)
{
    const std::string folder = ItemPath(item);
    const auto entries = ListFolder(folder);
    if (folder.empty() || !entries)
        return;
    std::vector<std::string> names;
    for (const TSearchRec& entry : *entries)
        if (entry.IsFolder() && !entry.Name.starts_with('.'))
            names.push_back(entry.Name);
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    for (const std::string& name : names)
        addItem(item, ItemKind::Folder, QString::fromLocal8Bit(name.data(), static_cast<qsizetype>(name.size())),
                joinPath(folder, name));
}

void TShellTreeView::RefreshItem(QTreeWidgetItem* item)
{
    // A selected folder below the item goes with the old listing; the item keeps the selection.
    bool selectionBelow = false;
    for (QTreeWidgetItem* up = currentItem(); up != nullptr && !selectionBelow; up = up->parent())
        selectionBelow = up->parent() == item;
    qDeleteAll(item->takeChildren());
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    listChildren(item);
    if (selectionBelow)
        setCurrentItem(item);
}

void TShellTreeView::mousePressEvent(QMouseEvent* event)
{
    // A right click selects the item under the pointer; the context menu follows.
    if (event->button() == Qt::RightButton) {
        if (QTreeWidgetItem* item = itemAt(event->position().toPoint()))
            setCurrentItem(item);
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void TShellTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* item = event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
    if (item == nullptr)
        return;
    setCurrentItem(item);
    const QString path = QFile::decodeName(QByteArray::fromStdString(ItemPath(item)));

    QMenu menu(this);
    menu.setObjectName(QStringLiteral("STView_FolderEXE_ContextMenu"));
    QAction* open = menu.addAction(tr("Open"));
    QAction* refresh = menu.addAction(tr("Refresh"));
    const QPoint where = event->reason() == QContextMenuEvent::Mouse
                             ? event->globalPos()
                             : viewport()->mapToGlobal(visualItemRect(item).bottomLeft());
    QAction* chosen = menu.exec(where);
    if (chosen == open)
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    else if (chosen == refresh)
        RefreshItem(item);
}

void TShellTreeView::keyPressEvent(QKeyEvent* event)
{
    // "*" would expand every folder below the item, listing a whole disk at once.
    if (event->key() == Qt::Key_Asterisk) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

}  // namespace tarnwick::gui
