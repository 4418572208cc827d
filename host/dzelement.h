#pragma once

#include "dzbase.h"
#include "dzproperty.h"
#include "dztime.h"

#include <QList>
#include <QPointer>
#include <QString>

class DzElementData;

// Something in the scene that has properties and data items: nodes, objects,
// modifiers (morphs).
//
// Properties: added with addProperty, which makes the element their owner
// (DzProperty::getOwner) and QObject parent; kept in insertion order.
// Data items: added with addDataItem, owned by the element; a unique item
// replaces (and deletes) an earlier item of the same name.
//
// Edits: beginEdit()/finishEdit() bracket changes of the element's
// properties (values and keys); finishEdit() turns all changes into one undo
// item when the undo stack accepts items. Edits nest like the properties'.
class DzElement : public DzBase
{
    Q_OBJECT
public:
    explicit DzElement(const QString &name = QString(), QObject *parent = nullptr);
    ~DzElement() override;

    QString getName() const { return objectName(); }
    void setName(const QString &name) { setObjectName(name); }
    // The label, or the name while no label was set.
    QString getLabel() const;
    void setLabel(const QString &label);

    // Takes ownership. Refuses (returns false) null and a property already
    // owned by this or another element.
    bool addProperty(DzProperty *property);
    // Removes and deletes the property; false when it is not this element's.
    bool removeProperty(DzProperty *property);
    int getNumProperties() const { return m_properties.size(); }
    // Null for an index out of range.
    DzProperty *getProperty(int i) const;
    // First property with this name (exact match), or null.
    DzProperty *findProperty(const QString &name) const;
    const QList<DzProperty *> &getProperties() const { return m_properties; }

    // Takes ownership and sets the item's element. Refuses null and an item
    // already attached to an element. A unique item deletes an earlier item
    // of the same name first. Returns whether the item was added.
    bool addDataItem(DzElementData *item);
    // Detaches and deletes the item; false when it is not this element's. Do
    // not call on the item whose code is running (use takeDataItem there).
    bool removeDataItem(DzElementData *item);
    // Detaches the item without deleting it; the caller owns it afterwards.
    bool takeDataItem(DzElementData *item);
    // First data item with this name, or null.
    DzElementData *findDataItem(const QString &name) const;
    int getNumDataItems() const { return m_dataItems.size(); }
    DzElementData *getDataItem(int i) const;

    void beginEdit();
    void finishEdit();
    bool isEditing() const { return m_editDepth > 0; }

    // Removes the keys in the range (ends inclusive) from every property of
    // the element.
    virtual void clearAnimData(const DzTimeRange &range);

signals:
    void labelChanged(const QString &label);
    void propertyListChanged();
    void dataItemListChanged();

protected:
    friend class DzProperty;
    // One of the element's properties changed (value or keys); called after
    // the property's own signals, or, inside a DzChangeBatch, when they are
    // deferred. Cheaper than a connection per property.
    virtual void propertyChanged(DzProperty *) {}

private:
    QList<DzProperty *> m_properties;
    QList<DzElementData *> m_dataItems;
    // Properties whose edit the outermost beginEdit() opened, so that
    // finishEdit() closes exactly those even if the list changed meanwhile.
    QList<QPointer<DzProperty>> m_editProperties;
    QString m_label;
    int m_editDepth = 0;
};
