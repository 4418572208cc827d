#include "dzelement.h"

#include "dzelementdata.h"
#include "dzproperty.h"
#include "dzundoitemgroup.h"
#include "dzundostack.h"

DzElement::DzElement(const QString &name, QObject *parent) : DzBase(parent)
{
    setObjectName(name);
}

DzElement::~DzElement()
{
    // Children (properties, data items) are deleted by QObject; clear the
    // lists first so nothing reaches them through this element meanwhile.
    m_properties.clear();
    m_dataItems.clear();
}

QString DzElement::getLabel() const
{
    return m_label.isEmpty() ? objectName() : m_label;
}

void DzElement::setLabel(const QString &label)
{
    if (label == m_label)
        return;
    m_label = label;
    emit labelChanged(getLabel());
}

bool DzElement::addProperty(DzProperty *property)
{
    if (!property || property->getOwner() || m_properties.contains(property))
        return false;
    property->setOwner(this);
    property->setParent(this);
    m_properties.append(property);
    emit propertyListChanged();
    return true;
}

bool DzElement::removeProperty(DzProperty *property)
{
    if (!property || !m_properties.removeOne(property))
        return false;
    property->setOwner(nullptr);
    delete property;
    emit propertyListChanged();
    return true;
}

DzProperty *DzElement::getProperty(int i) const
{
    if (i < 0 || i >= m_properties.size())
        return nullptr;
    return m_properties.at(i);
}

DzProperty *DzElement::findProperty(const QString &name) const
{
    for (DzProperty *p : m_properties)
        if (p->objectName() == name)
            return p;
    return nullptr;
}

bool DzElement::addDataItem(DzElementData *item)
{
    if (!item || item->getElement() || m_dataItems.contains(item))
        return false;
    if (item->isUnique()) {
        const QString name = item->getName();
        for (int i = m_dataItems.size() - 1; i >= 0; --i) {
            DzElementData *old = m_dataItems.at(i);
            if (old->getName() == name) {
                m_dataItems.removeAt(i);
                old->setElement(nullptr);
                delete old;
            }
        }
    }
    item->setElement(this);
    item->setParent(this);
    m_dataItems.append(item);
    emit dataItemListChanged();
    return true;
}

bool DzElement::removeDataItem(DzElementData *item)
{
    if (!takeDataItem(item))
        return false;
    delete item;
    return true;
}

bool DzElement::takeDataItem(DzElementData *item)
{
    if (!item || !m_dataItems.removeOne(item))
        return false;
    item->setElement(nullptr);
    item->setParent(nullptr);
    emit dataItemListChanged();
    return true;
}

DzElementData *DzElement::findDataItem(const QString &name) const
{
    for (DzElementData *d : m_dataItems)
        if (d->getName() == name)
            return d;
    return nullptr;
}

DzElementData *DzElement::getDataItem(int i) const
{
    if (i < 0 || i >= m_dataItems.size())
        return nullptr;
    return m_dataItems.at(i);
}

void DzElement::beginEdit()
{
    if (m_editDepth++ > 0)
        return;
    m_editProperties.clear();
    for (DzProperty *p : m_properties) {
        p->beginEdit();
        m_editProperties.append(p);
    }
}

void DzElement::finishEdit()
{
    if (m_editDepth == 0 || --m_editDepth > 0)
        return;
    const QList<QPointer<DzProperty>> opened = m_editProperties;
    m_editProperties.clear();
    auto *group = new DzUndoItemGroup(QStringLiteral("Edit %1").arg(getLabel()));
    for (const QPointer<DzProperty> &p : opened)
        if (p)
            group->addItem(p->finishEditItem());
    if (group->isEmpty())
        delete group;
    else
        DzUndoStack::instance()->push(group);
}

void DzElement::clearAnimData(const DzTimeRange &range)
{
    // Copy: a property's signal handler might change the list.
    const QList<DzProperty *> props = m_properties;
    for (DzProperty *p : props)
        p->deleteKeys(range);
}
