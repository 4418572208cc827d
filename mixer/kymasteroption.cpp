#include "kymasteroption.h"

#include "kymasterfacing.h"
#include "kymasterhor.h"
#include "kymasterinthor.h"
#include "kymastermaskfingers.h"
#include "kymasterskimming.h"
#include "kymastertrimtimeline.h"
#include "kymixeraccess.h"
#include "kymixerpane.h"
#include "kytimeline.h"

#include "kyblock.h"

#include <QSignalBlocker>

namespace {

template <int Bit> bool flagIsOn(const KyTimeline &timeline)
{
    return (timeline.defaultFlags() & Bit) != 0;
}

template <int Bit> void setFlag(KyMixerPane &pane, bool on)
{
    KyTimeline *timeline = pane.timeline();
    const int flags = timeline->defaultFlags();
    timeline->setDefaultFlags(on ? (flags | Bit) : (flags & ~Bit));
}

const KyMasterOption kSkimming = {
    "KyMasterSkimming", "Enable Previewing with Mouse", "Enable Previewing With Mouse",
    [](const KyTimeline &t) { return t.skimmingEnabled(); },
    [](KyMixerPane &pane, bool on) { pane.timeline()->setSkimmingEnabled(on); }};

const KyMasterOption kTrimTimeline = {
    "KyMasterTrimTimeline", "Auto Trim Total Time", "Auto Trim Total Time",
    [](const KyTimeline &t) { return t.autoTrim(); },
    [](KyMixerPane &pane, bool on) {
        const bool wasOn = pane.timeline()->autoTrim();
        pane.timeline()->setAutoTrim(on);
        // Switched on: the range follows the tracks at once.
        if (on && !wasOn)
            pane.trimTimeline();
    }};

const KyMasterOption kMaskFingers = {
    "KyMasterMaskFingers", "Mask Fingers", "Mask Fingers",
    [](const KyTimeline &t) { return t.maskFingers(); },
    [](KyMixerPane &pane, bool on) { pane.timeline()->setMaskFingers(on); }};

const KyMasterOption kHor = {
    "KyMasterHor", "Default: Reorient Horizontal Position", "Default: Reorient Horizontal Position",
    flagIsOn<KyBlock::ReorientHorizontalPosition>, setFlag<KyBlock::ReorientHorizontalPosition>};

const KyMasterOption kFacing = {
    "KyMasterFacing", "Default: Reorient Facing Direction", "Default: Reorient Facing Direction",
    flagIsOn<KyBlock::ReorientFacing>, setFlag<KyBlock::ReorientFacing>};

const KyMasterOption kIntHor = {
    "KyMasterIntHor", "Default: Reorient Internal Horizontal Position",
    "Default: Reorient Internal Horizontal Position", flagIsOn<KyBlock::ReorientInternalHorizontalPosition>,
    setFlag<KyBlock::ReorientInternalHorizontalPosition>};

} // namespace

KyMasterOptionAction::KyMasterOptionAction(const KyMasterOption &option)
    : DzAction(QString::fromLatin1(option.text), QString::fromLatin1(option.description))
    , m_option(option)
{
    setObjectName(QString::fromLatin1(option.className));
    setToggleAction(true);
}

void KyMasterOptionAction::init()
{
    const QByteArray caller = QByteArray(m_option.className) + "::init()";
    if (KyMixerPane *pane = kyMixerPane(caller.constData())) {
        const QSignalBlocker quiet(this);
        setOn(m_option.isOn(*pane->timeline()));
    }
    DzAction::init();
}

void KyMasterOptionAction::toggleAction(bool onOff)
{
    const QByteArray caller = QByteArray(m_option.className) + "::toggleAction()";
    if (KyMixerPane *pane = kyMixerPane(caller.constData()))
        m_option.setOn(*pane, onOff);
}

KyMasterSkimming::KyMasterSkimming()
    : KyMasterOptionAction(kSkimming)
{
}

KyMasterTrimTimeline::KyMasterTrimTimeline()
    : KyMasterOptionAction(kTrimTimeline)
{
}

KyMasterMaskFingers::KyMasterMaskFingers()
    : KyMasterOptionAction(kMaskFingers)
{
}

KyMasterHor::KyMasterHor()
    : KyMasterOptionAction(kHor)
{
}

KyMasterFacing::KyMasterFacing()
    : KyMasterOptionAction(kFacing)
{
}

KyMasterIntHor::KyMasterIntHor()
    : KyMasterOptionAction(kIntHor)
{
}
