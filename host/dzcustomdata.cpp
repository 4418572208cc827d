#include "dzcustomdata.h"

DzCustomData::DzCustomData(const QString &name, bool unique, QObject *parent)
    : DzBase(parent), m_unique(unique)
{
    setObjectName(name);
}
