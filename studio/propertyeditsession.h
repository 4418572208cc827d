#pragma once

#include "dzfloatproperty.h"
#include "dztime.h"

#include <QPointer>
#include <QString>

#include <memory>

class DzElement;
class DzFloatProperty;
class DzUndoStackHold;

// One continuous edit of one property (a slider drag): many writes, one undo
// step. begin() opens an undo hold and the owner's edit, set() writes like
// PropertyEditor::setValue, commit() closes both. A session destroyed while
// open commits, so an interrupted drag is never left half-recorded.
class PropertyEditSession {
public:
    PropertyEditSession();
    ~PropertyEditSession();
    PropertyEditSession(const PropertyEditSession &) = delete;
    PropertyEditSession &operator=(const PropertyEditSession &) = delete;

    // Commits an open session first. False for a null property.
    bool begin(DzFloatProperty *property, DzTime time, bool autoKey);
    bool isOpen() const { return m_hold != nullptr; }
    DzFloatProperty *property() const { return m_property.data(); }
    // False when no session is open, the property is gone, or the value is
    // not finite.
    bool set(float value);
    void commit();

private:
    std::unique_ptr<DzUndoStackHold> m_hold;
    QPointer<DzFloatProperty> m_property;
    QPointer<DzElement> m_owner;
    QString m_caption;
    DzTime m_time = 0;
    bool m_autoKey = false;
};
