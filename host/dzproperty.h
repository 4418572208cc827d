#pragma once

#include "dzbase.h"
#include "dztime.h"

#include <QString>

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

signals:
    // The value at the current time may have changed (static value or keys).
    void currentValueChanged();
    // A key was added, replaced or removed.
    void keysChanged();
    void labelChanged(const QString &label);
    void hiddenChanged(bool hidden);

protected:
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
};
