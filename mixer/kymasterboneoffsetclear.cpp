#include "kymasterboneoffsetclear.h"

#include "kymixeraccess.h"
#include "figurebinding.h"
#include "kymixerpane.h"
#include "kytimeline.h"

KyMasterBoneOffsetClear::KyMasterBoneOffsetClear()
    : DzAction(QStringLiteral("Clear Offset Rotations"), QStringLiteral("Clear Offset Rotations"))
{
    setObjectName(QStringLiteral("KyMasterBoneOffsetClear"));
}

void KyMasterBoneOffsetClear::executeAction()
{
    FigureBinding *binding = kyCurrentFigure("KyMasterBoneOffsetClear::executeAction()");
    if (!binding)
        return;
    KyMixerPane::instance()->timeline()->setOffsetTool(false);
    binding->m_rotationalOffsets.clear();
}
