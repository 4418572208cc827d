#include "kymasterinthor.h"

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

KyMasterIntHor::KyMasterIntHor()
    : DzAction(QStringLiteral("Default: Reorient Internal Horizontal Position"), QStringLiteral("Default: Reorient Internal Horizontal Position"))
{
    setObjectName(QStringLiteral("KyMasterIntHor"));
    setToggleAction(true);
}

void KyMasterIntHor::init()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterIntHor::init()")) {
        KyTimeline *timeline = pane->timeline();
        const QSignalBlocker quiet(this);
        setOn((timeline->defaultFlags() & KyBlock::ReorientInternalHorizontalPosition) != 0);
    }
    DzAction::init();
}

void KyMasterIntHor::toggleAction(bool onOff)
{
    KyMixerPane *pane = kyMixerPane("KyMasterIntHor::toggleAction()");
    if (!pane)
        return;
    KyTimeline *timeline = pane->timeline();
    setDefaultFlag(timeline, KyBlock::ReorientInternalHorizontalPosition, onOff);
}
