#include "dzproperty.h"

#include "dzundoitem.h"
#include "dzundostack.h"

DzProperty::DzProperty(const QString &name, QObject *parent) : DzBase(parent)
{
    setObjectName(name);
}

DzProperty::~DzProperty() = default;

QString DzProperty::getLabel() const
{
    return m_label.isEmpty() ? objectName() : m_label;
}

void DzProperty::setLabel(const QString &label)
{
    if (label == m_label)
        return;
    m_label = label;
    emit labelChanged(getLabel());
}

void DzProperty::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    emit hiddenChanged(hidden);
}

void DzProperty::deleteKeys(const DzTimeRange &)
{
}

void DzProperty::beginEdit()
{
    if (m_editDepth++ == 0)
        recordEditState();
}

void DzProperty::finishEdit()
{
    if (DzUndoItem *item = finishEditItem())
        DzUndoStack::instance()->push(item);
}

DzUndoItem *DzProperty::finishEditItem()
{
    if (m_editDepth == 0)
        return nullptr;
    if (--m_editDepth > 0)
        return nullptr;
    DzUndoItem *item = nullptr;
    // Building the item costs a copy of the keys; skip it when it would be
    // refused anyway.
    if (DzUndoStack::instance()->canPushItems())
        item = createEditUndoItem();
    discardEditState();
    return item;
}

void DzProperty::cancelEdit()
{
    if (m_editDepth == 0)
        return;
    m_editDepth = 0;
    discardEditState();
}
