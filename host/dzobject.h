#pragma once

#include "dzelement.h"

#include <QList>

class DzModifier;

// The object of a node: the holder of its modifiers (morphs), in the order
// they were added. Owned by its node (DzNode::setObject); owns its modifiers.
class DzObject : public DzElement
{
    Q_OBJECT
public:
    explicit DzObject(const QString &name = QString(), QObject *parent = nullptr);

    // Takes ownership; refuses null and a modifier already added to an object.
    bool addModifier(DzModifier *modifier);
    // Removes and deletes; false when it is not this object's.
    bool removeModifier(DzModifier *modifier);
    int getNumModifiers() const { return m_modifiers.size(); }
    // Null for an index out of range.
    DzModifier *getModifier(int i) const;
    // First modifier with this name, or null.
    DzModifier *findModifier(const QString &name) const;

signals:
    void modifierListChanged();

private:
    QList<DzModifier *> m_modifiers;
};
