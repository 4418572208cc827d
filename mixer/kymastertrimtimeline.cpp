#include "kymastertrimtimeline.h"

#include "kymixeraccess.h"
#include "kymixerpane.h"
#include "kytimeline.h"

#include <QSignalBlocker>

KyMasterTrimTimeline::KyMasterTrimTimeline()
    : DzAction(QStringLiteral("Auto Trim Total Time"), QStringLiteral("Auto Trim Total Time"))
{
    setObjectName(QStringLiteral("KyMasterTrimTimeline"));
    setToggleAction(true);
}

void KyMasterTrimTimeline::init()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterTrimTimeline::init()")) {
        KyTimeline *timeline = pane->timeline();
        const QSignalBlocker quiet(this);
        setOn(timeline->autoTrim());
    }
    DzAction::init();
}

void KyMasterTrimTimeline::toggleAction(bool onOff)
{
    KyMixerPane *pane = kyMixerPane("KyMasterTrimTimeline::toggleAction()");
    if (!pane)
        return;
    KyTimeline *timeline = pane->timeline();
    const bool wasOn = timeline->autoTrim();
    timeline->setAutoTrim(onOff);
    if (onOff && !wasOn)
        KyMixerPane::instance()->trimTimeline();
}
