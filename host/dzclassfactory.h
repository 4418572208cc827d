#pragma once

#include "dzguid.h"

#include <QString>
#include <QVariant>

class QObject;
struct QMetaObject;

// Makes instances of one class for the host. A factory is known by the class
// name in its class's meta-object and by its class identifier; the host
// finds factories by either (DzApp's class registry) when it builds panes and
// menus and when it reads objects back from a file.
//
// A factory does not own what it creates; the caller does.
class DzClassFactory {
public:
    // metaObject: the static meta-object of the created class (not null).
    DzClassFactory(const QMetaObject *metaObject, const DzGUID &classId);
    virtual ~DzClassFactory();

    DzClassFactory(const DzClassFactory &) = delete;
    DzClassFactory &operator=(const DzClassFactory &) = delete;

    // A new instance made with the class's default constructor arguments;
    // null when it cannot be made.
    virtual QObject *createInstance() const = 0;
    // A new instance made from one argument. The base returns null, and so
    // may every subclass: callers must be prepared for it.
    virtual QObject *createInstance(const QVariant &arg) const;

    QString getClassName() const;
    const DzGUID &getClassID() const { return m_classId; }
    const QMetaObject *getMetaObject() const { return m_metaObject; }
    // True when the created class is className or derives from it.
    bool inherits(const char *className) const;

private:
    const QMetaObject *m_metaObject;
    DzGUID m_classId;
};
