#include "kymasterbake.h"

#include "kymixeraccess.h"
#include "kybake.h"
#include "kymixerpane.h"
#include "kyprompt.h"
#include "kytrackedit.h"

KyMasterBake::KyMasterBake()
    : DzAction(QStringLiteral("Bake kinTimelines to DS Keyframes"), QStringLiteral("Bake kinTimelines to DS Keyframes"))
{
    setObjectName(QStringLiteral("KyMasterBake"));
}

void KyMasterBake::executeAction()
{
    KyMixerPane *pane = kyMixerPane("KyMasterBake::executeAction()");
    if (!pane)
        return;
    // Every figure's keys before and after: one undo step.
    KyTrackEdit edit(pane->timeline());
    const int frames = bakeTimeline(*pane->timeline());
    edit.commit(QStringLiteral("Bake kinTimelines"));
    kyStatus(QStringLiteral("Baked %1 frames to DS keyframes").arg(frames));
}
