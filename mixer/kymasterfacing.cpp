#include "kymasterfacing.h"

#include "kymixeraccess.h"
#include "kyblock.h"
#include "kymixerpane.h"
#include "kytimeline.h"

#include <QSignalBlocker>

namespace {

void setDefaultFlag(KyTimeline *timeline, int bit, bool on)
{
    const int flags = timeline->defaultFlags();
    timeline->setDefaultFlags(on ? (flags | bit) : (flags & ~bit));
}

} // namespace

KyMasterFacing::KyMasterFacing()
    : DzAction(QStringLiteral("Default: Reorient Facing Direction"), QStringLiteral("Default: Reorient Facing Direction"))
{
    setObjectName(QStringLiteral("KyMasterFacing"));
    setToggleAction(true);
}

void KyMasterFacing::init()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterFacing::init()")) {
        KyTimeline *timeline = pane->timeline();
        const QSignalBlocker quiet(this);
        setOn((timeline->defaultFlags() & KyBlock::ReorientFacing) != 0);
    }
    DzAction::init();
}

void KyMasterFacing::toggleAction(bool onOff)
{
    KyMixerPane *pane = kyMixerPane("KyMasterFacing::toggleAction()");
    if (!pane)
        return;
    KyTimeline *timeline = pane->timeline();
    setDefaultFlag(timeline, KyBlock::ReorientFacing, onOff);
}
