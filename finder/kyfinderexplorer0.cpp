#include "kyfinderexplorer0.h"

#include "kyfinderlibrary.h"
#include "kyfinderview.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>

namespace {

QString chooseDirectory(QWidget *parent)
{
    return QFileDialog::getExistingDirectory(parent, QString(), QString(), QFileDialog::ShowDirsOnly);
}

// Folder trees deeper than this are cut (a link loop would never end).
constexpr int kMaxDepth = 32;

} // namespace

KyFinderExplorer0::KyFinderExplorer0(KyFinderView *view, QWidget *parent)
    : QTreeWidget(parent)
    , m_view(view)
    , m_chooser(chooseDirectory)
{
    setObjectName(QStringLiteral("KyFinderExplorer0"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::MinimumExpanding);
    setColumnCount(1);
    setHeaderLabels(QStringList{QStringLiteral("Folders")});
    setColumnWidth(0, 236);
    setRootIsDecorated(true);
    setMinimumSize(250, 65);
    setSelectionMode(QAbstractItemView::SingleSelection);

    m_menu = new QMenu(this);
    m_menu->addAction(QStringLiteral("Add Root Folder"), this, &KyFinderExplorer0::handleAddRootFolder);
    m_menu->addAction(QStringLiteral("Remove Root Folder"), this, &KyFinderExplorer0::handleRemoveRootFolder);
    m_menu->addAction(QStringLiteral("Refresh Folders"), this, &KyFinderExplorer0::handleRefreshRootFolders);

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QTreeWidget::itemSelectionChanged, this, qOverload<>(&KyFinderExplorer0::selectionChanged));
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        contextMenuRequested(itemAt(pos), viewport()->mapToGlobal(pos), 0);
    });
}

bool KyFinderExplorer0::addRoot(const QDir &dir)
{
    const QDir root(dir.absolutePath());
    for (const QDir &existing : m_roots) {
        if (existing == root)
            return false;
    }
    auto *item = new QTreeWidgetItem(this, QStringList{root.dirName()});
    item->setToolTip(0, QDir::toNativeSeparators(root.absolutePath()));
    m_roots.push_back(root);
    m_rootItems.push_back(item);
    addSubfolders(item, root, 0);
    return true;
}

void KyFinderExplorer0::addSubfolders(QTreeWidgetItem *item, const QDir &dir, int depth)
{
    if (depth >= kMaxDepth)
        return;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        auto *child = new QTreeWidgetItem(item, QStringList{entry.fileName()});
        addSubfolders(child, QDir(entry.absoluteFilePath()), depth + 1);
    }
}

void KyFinderExplorer0::saveRoots() const
{
    QStringList paths;
    for (const QDir &root : m_roots)
        paths.append(root.absolutePath());
    kyFinderWriteRoots(paths);
}

void KyFinderExplorer0::loadRoots()
{
    for (const QString &path : kyFinderReadRoots()) {
        // A folder that no longer exists is skipped; it stays stored until
        // the roots are next saved.
        if (QDir(path).exists())
            addRoot(QDir(path));
    }
}

QString KyFinderExplorer0::folderOf(const QTreeWidgetItem *item) const
{
    QStringList names;
    const QTreeWidgetItem *top = item;
    while (top && top->parent()) {
        names.prepend(top->text(0));
        top = top->parent();
    }
    for (size_t i = 0; i < m_rootItems.size(); ++i) {
        if (m_rootItems[i] == top) {
            QDir dir = m_roots[i];
            for (const QString &name : names)
                dir.cd(name);
            return dir.absolutePath();
        }
    }
    return QString();
}

void KyFinderExplorer0::selectionChanged()
{
    const QList<QTreeWidgetItem *> selected = selectedItems();
    if (selected.isEmpty())
        return;
    const QString folder = folderOf(selected.first());
    if (folder.isEmpty())
        return;
    m_currentFolder = folder;
    if (m_view)
        m_view->showFolder(folder);
}

void KyFinderExplorer0::contextMenuRequested(QTreeWidgetItem *, const QPoint &pos, int)
{
    m_menu->popup(pos);
}

void KyFinderExplorer0::handleAddRootFolder()
{
    const QString folder = m_chooser ? m_chooser(this) : QString();
    if (folder.isEmpty())
        return;
    if (addRoot(QDir(folder)))
        saveRoots();
}

void KyFinderExplorer0::handleRemoveRootFolder()
{
    const QList<QTreeWidgetItem *> selected = selectedItems();
    if (selected.isEmpty())
        return;
    for (size_t i = 0; i < m_rootItems.size(); ++i) {
        if (m_rootItems[i] != selected.first())
            continue;
        QTreeWidgetItem *item = m_rootItems[i];
        m_rootItems.erase(m_rootItems.begin() + static_cast<std::ptrdiff_t>(i));
        m_roots.erase(m_roots.begin() + static_cast<std::ptrdiff_t>(i));
        delete item;
        saveRoots();
        return;
    }
}

void KyFinderExplorer0::handleRefreshRootFolders()
{
    while (!m_rootItems.empty()) {
        delete m_rootItems.back();
        m_rootItems.pop_back();
        m_roots.pop_back();
    }
    loadRoots();
    if (!m_defaultRoot.isEmpty() && QDir(m_defaultRoot).exists())
        addRoot(QDir(m_defaultRoot));
}
