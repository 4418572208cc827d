#include "kymasterboneoffsetv4_v3.h"

#include "kymixeraccess.h"
#include "figurebinding.h"
#include "kymixerpane.h"
#include "kyoffsets.h"
#include "kytimeline.h"

KyMasterBoneOffsetV4_V3::KyMasterBoneOffsetV4_V3()
    : DzAction(QStringLiteral("V4 kinBlock -> V3 Character"), QStringLiteral("V4 kinBlock -> V3 Character"))
{
    setObjectName(QStringLiteral("KyMasterBoneOffsetV4_V3"));
}

void KyMasterBoneOffsetV4_V3::executeAction()
{
    FigureBinding *binding = kyCurrentFigure("KyMasterBoneOffsetV4_V3::executeAction()");
    if (!binding)
        return;
    KyMixerPane::instance()->timeline()->setOffsetTool(false);
    applyConversionTable(*binding);
}
