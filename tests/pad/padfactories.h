#pragma once
// The pad's data classes registered with the host, as the plug-in does.

#include "kyfactory.h"
#include "kypadelementdata.h"
#include "kypadlayer.h"
#include "kypadnodedata.h"
#include "kypadpose.h"

#include "dzapp.h"

inline bool registerPadDataClasses(DzApp *app)
{
    static KyFactory<KyPadElementData> data(DzGUID::fromLegacyClassID(0x13370014));
    static KyFactory<KyPadLayer> layer(DzGUID::fromLegacyClassID(0x13370015));
    static KyFactory<KyPadPose> pose(DzGUID::fromLegacyClassID(0x13370016));
    static KyFactory<KyPadNodeData> node(DzGUID::fromLegacyClassID(0x13370017));
    return app->registerClassFactory(&data) && app->registerClassFactory(&layer)
        && app->registerClassFactory(&pose) && app->registerClassFactory(&node);
}
