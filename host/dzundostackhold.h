#pragma once

#include <QString>

// Opens a hold on the undo stack for its lifetime. accept(caption) closes it,
// turning the items pushed since into one undo step (or into part of the
// enclosing hold). Destroyed without accept: its items are discarded without
// being undone. Holds nest; close them in reverse order of opening (an outer
// hold closed first also closes, as accepted parts of itself, the inner ones).
class DzUndoStackHold
{
public:
    DzUndoStackHold();
    ~DzUndoStackHold();
    DzUndoStackHold(const DzUndoStackHold &) = delete;
    DzUndoStackHold &operator=(const DzUndoStackHold &) = delete;

    // Only the first call counts.
    void accept(const QString &caption);
    bool isAccepted() const { return m_closed; }

private:
    int m_id;
    bool m_closed = false;
};
