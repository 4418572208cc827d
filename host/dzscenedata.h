#pragma once

#include "dzcustomdata.h"

// A data item carried by the scene (DzScene::addDataItem owns it). A unique
// item replaces an earlier item of the same name when added.
class DzSceneData : public DzCustomData
{
    Q_OBJECT
public:
    explicit DzSceneData(const QString &name = QString(), bool unique = true,
                         QObject *parent = nullptr);
};
