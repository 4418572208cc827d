#include "kymasterhor.h"

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

KyMasterHor::KyMasterHor()
    : DzAction(QStringLiteral("Default: Reorient Horizontal Position"), QStringLiteral("Default: Reorient Horizontal Position"))
{
    setObjectName(QStringLiteral("KyMasterHor"));
    setToggleAction(true);
}

void KyMasterHor::init()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterHor::init()")) {
        KyTimeline *timeline = pane->timeline();
        const QSignalBlocker quiet(this);
        setOn((timeline->defaultFlags() & KyBlock::ReorientHorizontalPosition) != 0);
    }
    DzAction::init();
}

void KyMasterHor::toggleAction(bool onOff)
{
    KyMixerPane *pane = kyMixerPane("KyMasterHor::toggleAction()");
    if (!pane)
        return;
    KyTimeline *timeline = pane->timeline();
    setDefaultFlag(timeline, KyBlock::ReorientHorizontalPosition, onOff);
}
