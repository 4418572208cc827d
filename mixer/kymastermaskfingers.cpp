#include "kymastermaskfingers.h"

#include "kymixeraccess.h"
#include "kymixerpane.h"
#include "kytimeline.h"

#include <QSignalBlocker>

KyMasterMaskFingers::KyMasterMaskFingers()
    : DzAction(QStringLiteral("Mask Fingers"), QStringLiteral("Mask Fingers"))
{
    setObjectName(QStringLiteral("KyMasterMaskFingers"));
    setToggleAction(true);
}

void KyMasterMaskFingers::init()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterMaskFingers::init()")) {
        KyTimeline *timeline = pane->timeline();
        const QSignalBlocker quiet(this);
        setOn(timeline->maskFingers());
    }
    DzAction::init();
}

void KyMasterMaskFingers::toggleAction(bool onOff)
{
    KyMixerPane *pane = kyMixerPane("KyMasterMaskFingers::toggleAction()");
    if (!pane)
        return;
    KyTimeline *timeline = pane->timeline();
    timeline->setMaskFingers(onOff);
}
