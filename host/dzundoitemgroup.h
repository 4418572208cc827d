#pragma once

#include "dzundoitem.h"

#include <memory>
#include <vector>

// Several undo items acting as one: undo runs them last to first, redo first
// to last. Owns its items.
class DzUndoItemGroup : public DzUndoItem
{
public:
    explicit DzUndoItemGroup(const QString &description = QString());
    ~DzUndoItemGroup() override;

    // Takes ownership; null is ignored.
    void addItem(DzUndoItem *item);
    int getNumItems() const { return static_cast<int>(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    // Null for an index out of range.
    DzUndoItem *getItem(int i) const;

    void undo() override;
    void redo() override;
    QString getDescription() const override { return m_description; }
    void setDescription(const QString &d) { m_description = d; }
    int getSize() const override;

private:
    std::vector<std::unique_ptr<DzUndoItem>> m_items;
    QString m_description;
};
