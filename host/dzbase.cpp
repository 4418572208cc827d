#include "dzbase.h"

#include "dzlog.h"

DzBase::DzBase(QObject *parent) : QObject(parent)
{
}

DzBase::~DzBase() = default;

void DzBase::save(DzOutFile *)
{
}

void DzBase::loadSection(DzInFile *, short)
{
}

void DzBase::setPointer(const DzInFile *, short, short, DzBase *)
{
}

void DzBase::postLoad()
{
}

DzBase *DzBase::assertCast(QObject *obj, const char *className)
{
    if (!obj)
        return nullptr;
    auto *base = qobject_cast<DzBase *>(obj);
    if (base && className && obj->inherits(className))
        return base;
    // Name the class that was expected, or DzBase when even that is missing.
    const char *expected = (base || !obj->inherits(className ? className : "")) ? className : "DzBase";
    dzWarning(QStringLiteral("DzBase::assertCast(): object \"%1\" of class %2 is not a %3")
                  .arg(obj->objectName(), QString::fromLatin1(obj->metaObject()->className()),
                       QString::fromLatin1(expected ? expected : "(null)")));
    return nullptr;
}
