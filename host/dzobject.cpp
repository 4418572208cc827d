#include "dzobject.h"

#include "dzmodifier.h"

DzObject::DzObject(const QString &name, QObject *parent) : DzElement(name, parent)
{
}

bool DzObject::addModifier(DzModifier *modifier)
{
    if (!modifier || m_modifiers.contains(modifier) || qobject_cast<DzObject *>(modifier->parent()))
        return false;
    modifier->setParent(this);
    m_modifiers.append(modifier);
    emit modifierListChanged();
    return true;
}

bool DzObject::removeModifier(DzModifier *modifier)
{
    if (!modifier || !m_modifiers.removeOne(modifier))
        return false;
    delete modifier;
    emit modifierListChanged();
    return true;
}

DzModifier *DzObject::getModifier(int i) const
{
    if (i < 0 || i >= m_modifiers.size())
        return nullptr;
    return m_modifiers.at(i);
}

DzModifier *DzObject::findModifier(const QString &name) const
{
    for (DzModifier *m : m_modifiers)
        if (m->getName() == name)
            return m;
    return nullptr;
}
