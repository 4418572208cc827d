#include "dzundoitemgroup.h"

DzUndoItemGroup::DzUndoItemGroup(const QString &description) : m_description(description)
{
}

DzUndoItemGroup::~DzUndoItemGroup() = default;

void DzUndoItemGroup::addItem(DzUndoItem *item)
{
    if (item)
        m_items.emplace_back(item);
}

DzUndoItem *DzUndoItemGroup::getItem(int i) const
{
    if (i < 0 || i >= getNumItems())
        return nullptr;
    return m_items[static_cast<size_t>(i)].get();
}

void DzUndoItemGroup::undo()
{
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
        (*it)->undo();
}

void DzUndoItemGroup::redo()
{
    for (auto &item : m_items)
        item->redo();
}

int DzUndoItemGroup::getSize() const
{
    long long total = static_cast<long long>(sizeof(*this));
    for (const auto &item : m_items)
        total += item->getSize();
    return total > 0x7fffffff ? 0x7fffffff : static_cast<int>(total);
}
