#include "dzscenedata.h"

DzSceneData::DzSceneData(const QString &name, bool unique, QObject *parent)
    : DzCustomData(name, unique, parent)
{
}
