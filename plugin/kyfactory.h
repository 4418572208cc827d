#pragma once

#include "dzclassfactory.h"
#include "dzguid.h"

#include <QObject>
#include <QVariant>

#include <memory>
#include <new>

// One row of the plug-in's factory table: the factory's name, the class it
// creates and the class identifier the host knows it by - a textual GUID,
// or (guid null) a 32-bit legacy class identifier.
struct KyFactoryRow {
    const char *factoryName;
    const char *className;
    const char *guid;
    quint32 legacyClassId;

    DzGUID classId() const
    {
        return guid ? DzGUID::fromString(QString::fromLatin1(guid))
                    : DzGUID::fromLegacyClassID(legacyClassId);
    }
};

// The factory of class T: T's default constructor, and null for the
// one-argument form. Allocation failure gives null instead of throwing.
template <typename T> class KyFactory : public DzClassFactory {
public:
    explicit KyFactory(const DzGUID &classId)
        : DzClassFactory(&T::staticMetaObject, classId)
    {
    }

    QObject *createInstance() const override { return new (std::nothrow) T(); }
    QObject *createInstance(const QVariant &) const override { return nullptr; }
};

// Makes the factory of one class for its table row.
struct KyFactoryMaker {
    const char *className;
    std::unique_ptr<DzClassFactory> (*make)(const DzGUID &classId);
};

template <typename T> KyFactoryMaker kyFactoryMaker()
{
    return { T::staticMetaObject.className(), [](const DzGUID &classId) -> std::unique_ptr<DzClassFactory> {
                return std::make_unique<KyFactory<T>>(classId);
            } };
}
