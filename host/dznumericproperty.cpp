#include "dznumericproperty.h"

DzNumericProperty::DzNumericProperty(const QString &name, QObject *parent)
    : DzProperty(name, parent)
{
}
