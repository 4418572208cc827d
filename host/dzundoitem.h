#pragma once

#include <QString>

// One reversible change. The undo stack calls undo() first and redo() later,
// alternately, and deletes the item when it drops it. While undo() or redo()
// run, the stack accepts no new items (DzUndoStack::canPushItems is false),
// so code reused from the forward path records nothing.
class DzUndoItem
{
public:
    DzUndoItem() = default;
    virtual ~DzUndoItem();
    DzUndoItem(const DzUndoItem &) = delete;
    DzUndoItem &operator=(const DzUndoItem &) = delete;

    virtual void undo() = 0;
    virtual void redo() = 0;
    virtual QString getDescription() const { return QString(); }
    // Rough memory cost in bytes (for the stack's limits); defaults to the
    // size of the base.
    virtual int getSize() const { return static_cast<int>(sizeof(DzUndoItem)); }
};
