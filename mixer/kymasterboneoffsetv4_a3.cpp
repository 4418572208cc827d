#include "kymasterboneoffsetv4_a3.h"

#include "kymixeraccess.h"
#include "figurebinding.h"
#include "kymixerpane.h"
#include "kyoffsets.h"
#include "kytimeline.h"

KyMasterBoneOffsetV4_A3::KyMasterBoneOffsetV4_A3()
    : DzAction(QStringLiteral("V4 kinBlock -> A3/S3/D3 Character"), QStringLiteral("V4 kinBlock -> A3/S3/D3 Character"))
{
    setObjectName(QStringLiteral("KyMasterBoneOffsetV4_A3"));
}

void KyMasterBoneOffsetV4_A3::executeAction()
{
    FigureBinding *binding = kyCurrentFigure("KyMasterBoneOffsetV4_A3::executeAction()");
    if (!binding)
        return;
    KyMixerPane::instance()->timeline()->setOffsetTool(false);
    applyConversionTable(*binding);
}
