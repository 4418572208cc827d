#include "dzactionmenu.h"

#include "dzactionmgr.h"

#include <QMenu>

void DzActionMenu::insert(const Item &item, int index)
{
    if (index < 0 || index >= m_items.size())
        m_items.append(item);
    else
        m_items.insert(index, item);
}

void DzActionMenu::insertAction(const QString &className, int index)
{
    insert(Item { false, className }, index);
}

void DzActionMenu::insertSeparator(int index)
{
    insert(Item { true, QString() }, index);
}

bool DzActionMenu::removeItem(int index)
{
    if (index < 0 || index >= m_items.size())
        return false;
    m_items.removeAt(index);
    return true;
}

DzActionMenu::Item DzActionMenu::getItem(int index) const
{
    return (index >= 0 && index < m_items.size()) ? m_items.at(index) : Item { true, QString() };
}

QStringList DzActionMenu::getActionClassNames() const
{
    QStringList names;
    for (const Item &item : m_items) {
        if (!item.separator)
            names.append(item.className);
    }
    return names;
}

int DzActionMenu::buildMenu(QMenu *menu, const DzActionMgr *actionMgr) const
{
    if (!menu)
        return 0;
    int added = 0;
    for (const Item &item : m_items) {
        if (item.separator)
            menu->addSeparator(); // QMenu collapses leading, trailing and doubled ones
        else if (actionMgr && actionMgr->addActionToMenu(menu, item.className))
            ++added;
    }
    return added;
}
