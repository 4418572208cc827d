#include "kymasterbake.h"

#include "kymixeraccess.h"
#include "kybake.h"
#include "kymixerpane.h"

KyMasterBake::KyMasterBake()
    : DzAction(QStringLiteral("Bake kinTimelines to DS Keyframes"), QStringLiteral("Bake kinTimelines to DS Keyframes"))
{
    setObjectName(QStringLiteral("KyMasterBake"));
}

void KyMasterBake::executeAction()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterBake::executeAction()"))
        bakeTimeline(*pane->timeline());
}
