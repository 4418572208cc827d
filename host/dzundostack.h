#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class DzUndoItem;
class DzUndoStackHold;

// The host's undo stack (one per process: DzUndoStack::instance(), also
// reachable as the global dzUndoStack).
//
// Items are only accepted while a hold (DzUndoStackHold) is open and the
// stack is not undoing or redoing. Accepting the outermost hold turns the
// items pushed since it opened into one undo step with the hold's caption;
// an inner hold's accepted items become part of the enclosing hold. A hold
// destroyed without accept discards its items WITHOUT undoing them (the
// changes stay in the scene, they just cannot be undone).
//
// A new step clears the redo list. At most getMaxSteps() steps are kept; the
// oldest are dropped. Undo and redo are refused while a hold is open.
class DzUndoStack : public QObject
{
    Q_OBJECT
public:
    static DzUndoStack *instance();
    ~DzUndoStack() override;

    bool canPushItems() const;
    // Takes ownership. Refused items (no hold open, or undoing/redoing, or
    // null) are deleted at once; returns whether the item was kept.
    bool push(DzUndoItem *item);

    bool canUndo() const;
    bool canRedo() const;
    // Return whether a step was undone/redone.
    bool undo();
    bool redo();
    // Caption of the step undo()/redo() would run, or an empty string.
    QString getUndoCaption() const;
    QString getRedoCaption() const;
    int getNumUndoSteps() const { return static_cast<int>(m_undo.size()); }
    int getNumRedoSteps() const { return static_cast<int>(m_redo.size()); }
    // Drops every step (and nothing of the open holds).
    void clear();

    int getMaxSteps() const { return m_maxSteps; }
    // At least 1.
    void setMaxSteps(int steps);

    bool isHoldOpen() const { return !m_holds.empty(); }
    int getHoldDepth() const { return static_cast<int>(m_holds.size()); }
    bool isUndoing() const { return m_busy; }

signals:
    // Any change of the steps or captions (the Edit menu listens).
    void stackChanged();
    void holdStateChanged(bool open);

private:
    friend class DzUndoStackHold;
    DzUndoStack();
    int openHold();
    void acceptHold(int id, const QString &caption);
    void cancelHold(int id);
    int holdIndex(int id) const;
    void trimSteps();

    struct Hold {
        int id;
        std::vector<std::unique_ptr<DzUndoItem>> items;
    };
    std::vector<Hold> m_holds;
    std::vector<std::unique_ptr<DzUndoItem>> m_undo;
    std::vector<std::unique_ptr<DzUndoItem>> m_redo;
    int m_nextHoldId = 1;
    int m_maxSteps = 200;
    bool m_busy = false;
};

// The process-wide stack (never null).
extern DzUndoStack *const dzUndoStack;
