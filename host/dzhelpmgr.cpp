#include "dzhelpmgr.h"

#include <QVariant>


DzHelpMgr::DzHelpMgr(QObject *parent)
    : QObject(parent)
{
}

void DzHelpMgr::track(QObject *object)
{
    if (m_objects.contains(object))
        return;
    connect(object, &QObject::destroyed, this, [this](QObject *gone) {
        m_objects.remove(gone);
        m_fromTable.remove(gone);
    });
}

void DzHelpMgr::apply(QObject *object, const QString &text)
{
    // Through the objects' properties: the model library links neither
    // widgets nor actions.
    const bool widget = object->isWidgetType();
    const bool action = !widget && object->inherits("QAction");
    if (widget || action) {
        object->setProperty("toolTip", text);
        object->setProperty("whatsThis", text);
    }
    if (action)
        object->setProperty("statusTip", text);
    m_objects.insert(object, text);
}

void DzHelpMgr::setOnlineHelp(QObject *object, const QString &text)
{
    if (!object)
        return;
    track(object);
    m_fromTable.remove(object);
    apply(object, text);
}

void DzHelpMgr::setOnlineHelp(QObject *widget)
{
    if (!widget)
        return;
    track(widget);
    m_fromTable.insert(widget, widget);
    apply(widget, tableTextFor(widget));
}

void DzHelpMgr::setHelpText(const QString &key, const QString &text)
{
    m_table.insert(key, text);
    for (QObject *object : std::as_const(m_fromTable))
        apply(object, tableTextFor(object));
}

QString DzHelpMgr::tableTextFor(const QObject *object) const
{
    const QString byName = m_table.value(object->objectName());
    if (!object->objectName().isEmpty() && !byName.isEmpty())
        return byName;
    return m_table.value(QString::fromLatin1(object->metaObject()->className()));
}

QString DzHelpMgr::getOnlineHelp(const QObject *object) const
{
    return m_objects.value(object);
}
