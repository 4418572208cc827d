#include "dzelementdata.h"

DzElementData::DzElementData(const QString &name, bool unique, QObject *parent)
    : DzCustomData(name, unique, parent)
{
}
