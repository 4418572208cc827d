#include "kymasterboneoffsettool.h"

#include "kymixeraccess.h"
#include "kymixerpane.h"
#include "kytimeline.h"

#include <QSignalBlocker>

KyMasterBoneOffsetTool::KyMasterBoneOffsetTool()
    : DzAction(QStringLiteral("Adjust Character Rotational Offsets"), QStringLiteral("Adjust Character Rotational Offsets"))
{
    setObjectName(QStringLiteral("KyMasterBoneOffsetTool"));
    setToggleAction(true);
}

void KyMasterBoneOffsetTool::init()
{
    if (KyMixerPane *pane = kyMixerPane("KyMasterBoneOffsetTool::init()")) {
        KyTimeline *timeline = pane->timeline();
        const QSignalBlocker quiet(this);
        setOn(timeline->offsetToolOn());
        // The tool also goes off by itself (the time moved, a block was
        // removed) and on through the pane's "rotate" button.
        connect(timeline, &KyTimeline::offsetToolChanged, this, [this](bool on) {
            const QSignalBlocker follow(this);
            setOn(on);
        });
    }
    DzAction::init();
}

void KyMasterBoneOffsetTool::toggleAction(bool onOff)
{
    KyMixerPane *pane = kyMixerPane("KyMasterBoneOffsetTool::toggleAction()");
    if (!pane)
        return;
    KyTimeline *timeline = pane->timeline();
    timeline->setOffsetTool(onOff);
    // Refused (no figure): the action goes back off.
    if (timeline->offsetToolOn() != onOff)
        setOn(timeline->offsetToolOn());
}
