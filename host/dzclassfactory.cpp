#include "dzclassfactory.h"

#include <QMetaObject>
#include <QObject>

#include <cstring>

DzClassFactory::DzClassFactory(const QMetaObject *metaObject, const DzGUID &classId)
    : m_metaObject(metaObject)
    , m_classId(classId)
{
}

DzClassFactory::~DzClassFactory() = default;

QObject *DzClassFactory::createInstance(const QVariant &) const
{
    return nullptr;
}

QString DzClassFactory::getClassName() const
{
    return m_metaObject ? QString::fromLatin1(m_metaObject->className()) : QString();
}

bool DzClassFactory::inherits(const char *className) const
{
    if (!className)
        return false;
    for (const QMetaObject *m = m_metaObject; m; m = m->superClass()) {
        if (std::strcmp(m->className(), className) == 0)
            return true;
    }
    return false;
}
