#pragma once

#include "dzbase.h"

#include <QString>

// A named data item that plug-ins attach to the scene or to an element.
// Unique items replace an earlier item of the same name when added.
class DzCustomData : public DzBase
{
    Q_OBJECT
public:
    explicit DzCustomData(const QString &name = QString(), bool unique = true,
                          QObject *parent = nullptr);

    QString getName() const { return objectName(); }
    void setName(const QString &name) { setObjectName(name); }
    bool isUnique() const { return m_unique; }

private:
    bool m_unique;
};
