#pragma once

#include <QList>
#include <QString>

class DzActionMgr;
class QMenu;

// A menu described by action class names: what a pane offers in its options
// menu (DzPane::buildOptionsMenu). Entries are kept in order; buildMenu()
// turns them into a QMenu through the action manager, leaving out names the
// manager does not know.
class DzActionMenu {
public:
    struct Item {
        bool separator;
        QString className; // empty for a separator
    };

    // index < 0 or past the end appends; otherwise the entry is inserted
    // before entry `index`.
    void insertAction(const QString &className, int index = -1);
    void insertSeparator(int index = -1);
    // False for an index out of range.
    bool removeItem(int index);
    void clear() { m_items.clear(); }

    int getNumItems() const { return m_items.size(); }
    // A separator for an index out of range.
    Item getItem(int index) const;
    const QList<Item> &getItems() const { return m_items; }
    // The action class names in order, separators left out.
    QStringList getActionClassNames() const;

    // Appends the entries to `menu`. Returns the number of actions added.
    int buildMenu(QMenu *menu, const DzActionMgr *actionMgr) const;

private:
    void insert(const Item &item, int index);
    QList<Item> m_items;
};
