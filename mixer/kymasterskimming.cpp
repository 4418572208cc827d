#include "kymasterskimming.h"

#include "kymixeraccess.h"
#include "kymixerpane.h"
#include "kytimeline.h"

#include <QSignalBlocker>

KyMasterSkimming::KyMasterSkimming()
    : DzAction(QStringLiteral("Enable Previewing with Mouse"), QStringLiteral("Enable Previewing With Mouse"))
{
    setObjectName(QStringLiteral("KyMasterSkimming"));
    setToggleAction(true);
}

void KyMasterSkimming::init()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterSkimming::init()")) {
        KyTimeline *timeline = pane->timeline();
        const QSignalBlocker quiet(this);
        setOn(timeline->skimmingEnabled());
    }
    DzAction::init();
}

void KyMasterSkimming::toggleAction(bool onOff)
{
    KyMixerPane *pane = kyMixerPane("KyMasterSkimming::toggleAction()");
    if (!pane)
        return;
    KyTimeline *timeline = pane->timeline();
    timeline->setSkimmingEnabled(onOff);
}
