#pragma once

#include "dzelement.h"

// Something that changes an object (a morph). Owned by its DzObject.
class DzModifier : public DzElement
{
    Q_OBJECT
public:
    explicit DzModifier(const QString &name = QString(), QObject *parent = nullptr);
};
