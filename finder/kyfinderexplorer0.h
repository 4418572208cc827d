#pragma once
// KyFinderExplorer0: the browser's folder tree ("Folders"). Its top-level
// items are the root folders (kept in the application settings under
// "Trelvo", keys root0, root1, …), each with all its subfolders below it.
// Selecting a folder shows its tiles in the strip. The context menu adds,
// removes and refreshes root folders; changes are saved at once.

#include <QDir>
#include <QTreeWidget>

#include <vector>

class KyFinderView;
class QMenu;

class KyFinderExplorer0 : public QTreeWidget
{
    Q_OBJECT
public:
    explicit KyFinderExplorer0(KyFinderView *view, QWidget *parent = nullptr);

    const std::vector<QDir> &roots() const { return m_roots; }
    const std::vector<QTreeWidgetItem *> &rootItems() const { return m_rootItems; }
    QString currentFolder() const { return m_currentFolder; }
    QMenu *contextMenu() const { return m_menu; }

    // Adds a root folder with its subfolders unless an equal one is a root.
    // False when nothing was added.
    bool addRoot(const QDir &dir);
    void saveRoots() const;
    // Adds every stored root whose folder exists.
    void loadRoots();
    // The absolute folder path an item stands for.
    QString folderOf(const QTreeWidgetItem *item) const;

    // The chooser of "Add Root Folder" (a directory dialog unless replaced):
    // returns the folder chosen, empty when cancelled.
    using FolderChooser = QString (*)(QWidget *parent);
    void setFolderChooser(FolderChooser chooser) { m_chooser = chooser; }
    // The stock library's root, added after the stored roots on every
    // (re)load so that a refresh does not lose it.
    void setDefaultRoot(const QString &path) { m_defaultRoot = path; }

    using QTreeWidget::selectionChanged;

public slots:
    void selectionChanged();
    void contextMenuRequested(QTreeWidgetItem *item, const QPoint &pos, int column);
    void handleAddRootFolder();
    void handleRemoveRootFolder();
    void handleRefreshRootFolders();

private:
    void addSubfolders(QTreeWidgetItem *item, const QDir &dir, int depth);

    KyFinderView *m_view;
    std::vector<QDir> m_roots;
    std::vector<QTreeWidgetItem *> m_rootItems;
    QString m_currentFolder;
    QMenu *m_menu;
    FolderChooser m_chooser;
    QString m_defaultRoot;
};
