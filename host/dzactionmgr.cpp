#include "dzactionmgr.h"

#include "dzaction.h"

#include <QMenu>

DzActionMgr::DzActionMgr(QObject *parent)
    : QObject(parent)
{
}

DzActionMgr::~DzActionMgr()
{
    // Children would go anyway; deleting here keeps m_actions honest while
    // an action's destructor runs.
    const QList<DzAction *> actions = m_actions;
    m_actions.clear();
    qDeleteAll(actions);
}

bool DzActionMgr::addAction(DzAction *action)
{
    if (!action || m_actions.contains(action))
        return false;
    // Instances of the host's own action classes are told apart by object
    // name, subclasses by class.
    const QString className = QString::fromLatin1(action->metaObject()->className());
    const QString name = action->objectName().isEmpty() ? className : action->objectName();
    const bool plain = className == u"DzAction" || className == u"DzPaneAction";
    for (DzAction *a : std::as_const(m_actions)) {
        if (a->objectName() == name)
            return false;
        if (!plain && QLatin1String(a->metaObject()->className()) == className)
            return false;
    }
    action->setObjectName(name);
    action->setParent(this);
    m_actions.append(action);
    // The pointer kept from now, not a downcast of the dying object.
    connect(action, &QObject::destroyed, this, [this, action] { m_actions.removeOne(action); });
    action->init();
    emit actionAdded(action);
    return true;
}

bool DzActionMgr::removeAction(DzAction *action)
{
    if (!action || !m_actions.contains(action))
        return false;
    m_actions.removeOne(action);
    emit actionRemoved(action);
    delete action;
    return true;
}

DzAction *DzActionMgr::findAction(const QString &className) const
{
    if (className.isEmpty())
        return nullptr;
    for (DzAction *a : m_actions) {
        if (QLatin1String(a->metaObject()->className()) == className)
            return a;
    }
    for (DzAction *a : m_actions) {
        if (a->objectName() == className)
            return a;
    }
    return nullptr;
}

DzAction *DzActionMgr::getAction(int i) const
{
    return (i >= 0 && i < m_actions.size()) ? m_actions.at(i) : nullptr;
}

bool DzActionMgr::addActionToMenu(QMenu *menu, const QString &className) const
{
    DzAction *action = findAction(className);
    if (!menu || !action)
        return false;
    menu->addAction(action);
    return true;
}
