#pragma once

#include "dzbase.h"
#include "dztime.h"

#include <QString>

#include <cstdint>

class DzElement;
class DzUndoItem;

// A named, labelled value of an element (a node's transform control, a morph's
// value channel, a figure's extra control).
//
// Name: the object name (QObject::objectName). Label: shown to users; falls
// back to the name while no label was set. Owner: the element the property
// was added to (DzElement::addProperty), which also owns it as QObject parent.
//
// Edits and undo: beginEdit() records the property's state; the matching
// finishEdit() compares, and when something changed and the undo stack
// accepts items (DzUndoStack::canPushItems) pushes one undo item that
// restores the state on undo and re-applies it on redo. Edits nest; only the
// outermost pair records. finishEdit() without a beginEdit() does nothing.
class DzProperty : public DzBase
{
    Q_OBJECT
public:
    explicit DzProperty(const QString &name = QString(), QObject *parent = nullptr);
    ~DzProperty() override;

    QString getName() const { return objectName(); }
    void setName(const QString &name) { setObjectName(name); }
    QString getLabel() const;
    void setLabel(const QString &label);

    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);

    // Whether the property can carry keys over time.
    bool isAnimatable() const { return m_animatable; }
    void setIsAnimatable(bool animatable) { m_animatable = animatable; }

    DzElement *getOwner() const { return m_owner; }
    // Called by DzElement::addProperty; does not reparent.
    void setOwner(DzElement *owner) { m_owner = owner; }

    // Removes every key whose time lies in the range (ends inclusive).
    virtual void deleteKeys(const DzTimeRange &range);
    virtual bool isKeyed() const { return false; }

    void beginEdit();
    void finishEdit();
    // Ends the outermost edit without recording anything; changes stay.
    void cancelEdit();
    bool isEditing() const { return m_editDepth > 0; }
    // Like finishEdit(), but instead of pushing the item hands it to the
    // caller (who owns it); null when nothing changed, the edit is still
    // nested, or there is no open edit. Used by DzElement to gather the
    // changes of all its properties into one undo item.
    DzUndoItem *finishEditItem();

    // Emits keysChanged() (when keys is set) and currentValueChanged(); inside
    // a DzChangeBatch the property signals once at the batch's end instead.
    void notifyChanged(bool keys);

signals:
    // The value at the current time may have changed (static value or keys);
    // follows every keysChanged().
    void currentValueChanged();
    // A key was added, replaced or removed.
    void keysChanged();
    void labelChanged(const QString &label);
    void hiddenChanged(bool hidden);

protected:
    // Count the connections to the change signals, so that a change nobody
    // listens to costs no emission.
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

    // Subclasses record their state when the outermost edit begins...
    virtual void recordEditState() {}
    // ...and return an undo item for the difference (null when unchanged).
    virtual DzUndoItem *createEditUndoItem() { return nullptr; }
    // Drop what recordEditState() kept.
    virtual void discardEditState() {}

private:
    QString m_label;
    DzElement *m_owner = nullptr;
    int m_editDepth = 0;
    bool m_hidden = false;
    bool m_animatable = true;
    // Signals owed at the end of the open batch (kPendingValue, kPendingKeys).
    uint8_t m_pendingSignals = 0;
    // Connections to keysChanged() and currentValueChanged(); never less than
    // their true number (a disconnection Qt does not report keeps it higher).
    int m_changeConnections = 0;

    void emitChangeSignals(bool keys);

    friend class DzChangeBatch;
    static void flushPending(DzBase *object);
};

// Defers change signals while it lives (nested batches count as one): a
// property written many times in a batch, or a node whose three controls are
// written together, signals once when the outermost batch ends, with its final
// values. Posing a figure and baking keys open one, so that observers (the
// viewport, panels, the scene's modified flag) are notified once per change
// instead of once per written value. The pending list keeps its capacity, so
// a batch allocates nothing once it has run.
class DzChangeBatch
{
public:
    DzChangeBatch();
    ~DzChangeBatch();
    DzChangeBatch(const DzChangeBatch &) = delete;
    DzChangeBatch &operator=(const DzChangeBatch &) = delete;

    // Whether signals are being deferred now (a batch is open or ending).
    static bool isOpen();
    using Flush = void (*)(DzBase *object);
    // Queues flush(object) for the end of the batch. The caller keeps its own
    // flag so that it queues once, and calls forget() when it is destroyed
    // while queued.
    static void defer(DzBase *object, Flush flush);
    static void forget(DzBase *object);

private:
    static void flush();
};
