#include "kymasterboneoffsetnone.h"

#include "kymixeraccess.h"
#include "figurebinding.h"
#include "kymixerpane.h"
#include "kytimeline.h"

KyMasterBoneOffsetNone::KyMasterBoneOffsetNone()
    : DzAction(QStringLiteral("Clear"), QStringLiteral("Clear"))
{
    setObjectName(QStringLiteral("KyMasterBoneOffsetNone"));
}

void KyMasterBoneOffsetNone::executeAction()
{
    FigureBinding *binding = kyCurrentFigure("KyMasterBoneOffsetNone::executeAction()");
    if (!binding)
        return;
    KyMixerPane::instance()->timeline()->setOffsetTool(false);
    binding->m_rotationalOffsets.clear();
}
