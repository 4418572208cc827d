#include "kymixercore.h"

#include "figurebinding.h"
#include "kybake.h"
#include "kykeystoblock.h"
#include "kyoffsets.h"
#include "kyposer.h"
#include "kyprompt.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrackedit.h"

#include "engine.h"

#include "dzapp.h"
#include "dznode.h"
#include "dzpanesettings.h"
#include "dzrendermgr.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <QTimer>

#include <algorithm>

namespace {

// Marks an animation update as running for as long as it lives.
class UpdateGuard
{
public:
    explicit UpdateGuard(bool &flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~UpdateGuard() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

KyMixerCore::KyMixerCore(KyTimeline *timeline, QObject *parent)
    : QObject(parent)
    , m_timeline(timeline)
    , m_trimTimer(new QTimer(this))
    , m_clock([] { return static_cast<int>(elapsedMs()); })
{
    m_previousElapsed = m_clock();
    m_trimTimer->setSingleShot(true);
    connect(m_trimTimer, &QTimer::timeout, this, &KyMixerCore::trimTimeline);
    connect(m_timeline, &KyTimeline::delayTrimRequested, this, &KyMixerCore::delayTrimTimeline);
    m_timeline->setAnimationUpdate([this] { animUpdate(); });
}

KyMixerCore::~KyMixerCore()
{
    if (m_timeline)
        m_timeline->setAnimationUpdate(nullptr);
}

void KyMixerCore::connectHost()
{
    if (dzScene) {
        connect(dzScene, &DzScene::nodeListChanged, this, &KyMixerCore::refresh, Qt::UniqueConnection);
        connect(dzScene, &DzScene::primarySelectionChanged, this, &KyMixerCore::refreshSelected0,
                Qt::UniqueConnection);
        connect(dzScene, &DzScene::sceneLoadStarting, this, &KyMixerCore::blockRefresh,
                Qt::UniqueConnection);
        connect(dzScene, &DzScene::sceneClearStarting, this, &KyMixerCore::sceneClearStarting,
                Qt::UniqueConnection);
        connect(dzScene, &DzScene::sceneLoaded, this, &KyMixerCore::sceneLoaded,
                Qt::UniqueConnection);
        connect(dzScene, &DzScene::sceneCleared, this, &KyMixerCore::unblockRefresh,
                Qt::UniqueConnection);
        connect(dzScene, &DzScene::timeChanged, this, &KyMixerCore::timeChanged1,
                Qt::UniqueConnection);
        // Bones leaving the scene take their backups and offsets with them.
        connect(dzScene, &DzScene::nodeRemoved, this, &KyMixerCore::nodeRemoved,
                Qt::UniqueConnection);
    }
    if (dzApp && dzApp->getRenderMgr()) {
        connect(dzApp->getRenderMgr(), &DzRenderMgr::renderStarting, this,
                &KyMixerCore::renderStarting, Qt::UniqueConnection);
        connect(dzApp->getRenderMgr(), &DzRenderMgr::renderFinished, this,
                &KyMixerCore::renderFinished, Qt::UniqueConnection);
    }
}

bool KyMixerCore::isTrimPending() const
{
    return m_trimTimer->isActive();
}

void KyMixerCore::setClock(std::function<int()> clock)
{
    if (!clock)
        return;
    m_clock = std::move(clock);
    m_previousElapsed = m_clock();
}

void KyMixerCore::setProgressQuery(std::function<bool()> query)
{
    m_progressQuery = std::move(query);
}

void KyMixerCore::setStartFolderProvider(std::function<QString()> provider)
{
    m_timeline->setBlockFolderProvider(std::move(provider));
}

bool KyMixerCore::progressUp() const
{
    return m_progressQuery && m_progressQuery();
}

void KyMixerCore::saveSettings(DzPaneSettings &settings) const
{
    settings.setBoolValue(QStringLiteral("mDoSkimming"), m_timeline->skimmingEnabled());
    settings.setBoolValue(QStringLiteral("mTrimTimeline"), m_timeline->autoTrim());
    settings.setBoolValue(QStringLiteral("mMaskFingers"), m_timeline->maskFingers());
    settings.setIntValue(QStringLiteral("mDefaultFlags0"), m_timeline->defaultFlags());
}

void KyMixerCore::restoreSettings(const DzPaneSettings &settings)
{
    m_timeline->setSkimmingEnabled(settings.getBoolValue(QStringLiteral("mDoSkimming"), true));
    m_timeline->setAutoTrim(settings.getBoolValue(QStringLiteral("mTrimTimeline"), true));
    m_timeline->setMaskFingers(settings.getBoolValue(QStringLiteral("mMaskFingers"), false));
    // Only the three reorientation bits mean anything.
    const int flags = settings.getIntValue(QStringLiteral("mDefaultFlags0"), 13);
    m_timeline->setDefaultFlags(flags & (KyBlock::ReorientHorizontalPosition | KyBlock::ReorientFacing
                                         | KyBlock::ReorientInternalHorizontalPosition));
}

void KyMixerCore::refresh()
{
    if (m_refreshBlocked)
        return;
    m_timeline->refresh();
    refreshSelected0(dzScene ? dzScene->getPrimarySelection() : nullptr);
}

void KyMixerCore::createKinBlockFromScene()
{
    createKinBlockFromScene(nullptr);
}

void KyMixerCore::createKinBlockFromScene(DzTimeRange *range)
{
    KyBlock *block = ::createKinBlockFromScene(range, m_timeline, m_timeline->blockFolder());
    if (!block)
        return;
    kyStatus(QStringLiteral("Created kinBlock %1").arg(block->path));
    emit blockCreated(block);
}

void KyMixerCore::trimTimeline()
{
    if (m_refreshBlocked)
        return;
    // The track views repaint on the scene's range signals.
    trimTimelineRange(*m_timeline);
}

void KyMixerCore::delayTrimTimeline()
{
    if (m_timeline->autoTrim())
        m_trimTimer->start(kTrimDelayMs);
}

void KyMixerCore::clearDSKeys()
{
    clearDSKeys(nullptr);
}

void KyMixerCore::clearDSKeys(DzTimeRange *range)
{
    KyTrackEdit edit(m_timeline.data());
    if (!::clearDSKeys(range))
        return;
    edit.commit(QStringLiteral("Delete DS Keyframes"));
    kyStatus(QStringLiteral("Deleted the figure's keyframes"));
}

void KyMixerCore::renderStarting()
{
    m_renderInProgress = true;
}

void KyMixerCore::renderFinished(bool)
{
    m_renderInProgress = false;
}

void KyMixerCore::timerDone()
{
    if (m_refreshBlocked || progressUp())
        return;
    animUpdate();
}

void KyMixerCore::timeChanged1(DzTime time)
{
    if (m_refreshBlocked)
        return;
    if (progressUp() && !m_renderInProgress)
        return;
    const DzTime step = hostTimeStep();
    if (step < 1 || time % step != 0 || m_updating)
        return;
    m_timeline->goSeek(snappedMs(ticksToMs(time)), true, false);
    animUpdate();
}

void KyMixerCore::animUpdate()
{
    if (m_updating)
        return;
    UpdateGuard guard(m_updating);

    if (m_timeline->isActive() && m_timeline->isDirty()) {
        m_timeline->updateStep();
        return;
    }

    if (m_recordingRequested != m_recording) {
        if (m_recordingRequested)
            startRecording();
        else
            stopRecording();
    }

    const int now = m_clock();
    const int elapsed = std::clamp(msBetween(m_previousElapsed, now), 0, kMaxElapsedMs);
    m_previousElapsed = now;

    if (m_dragVelocity != 0.0f && m_timeline->skimmingEnabled()) {
        poseFromDrag(elapsed);
        return;
    }

    // A hovered tile keeps its preview pose on the figure.
    if (m_timeline->pointerOverBlock())
        return;
    m_timeline->releaseKeyHolds(elapsed);
    if (m_timeline->offsetToolOn()) {
        FigureBinding *binding = m_timeline->currentBinding();
        if (binding && m_timeline->currentTime() == m_timeline->offsetToolStartTime())
            recomputeOffsets(*binding);
        else
            m_timeline->setOffsetTool(false);
    }
}

void KyMixerCore::poseFromDrag(int elapsed)
{
    if (!m_timeline->isActive() && !m_recording)
        return;
    DzNode *primary = dzScene ? dzScene->getPrimarySelection() : nullptr;
    DzSkeleton *skeleton = primary ? primary->getSkeleton() : nullptr;
    if (!skeleton)
        return;
    FigureBinding *binding = m_timeline->binding(m_timeline->findBinding(skeleton));
    if (!binding)
        return;
    engineAdvance(static_cast<int>(static_cast<float>(elapsed) * m_dragVelocity));

    PoseOptions options;
    options.maskFingers = m_timeline->maskFingers();
    if (!m_recording) {
        applyPose(*binding, hostSnappedMs(), kPadKeyHold, options);
        return;
    }
    const bool recordFrame = m_buffers.beginFrame(elapsed);
    if (recordFrame)
        options.recording = &m_buffers;
    applyPose(*binding, hostSnappedMs(), 0, options);
    if (recordFrame)
        m_buffers.endFrame();
}

void KyMixerCore::startRecording()
{
    m_buffers.reset();
    m_recording = true;
}

void KyMixerCore::stopRecording()
{
    m_recording = false;
    if (!dzScene || m_buffers.isEmpty())
        return;
    DzTimeRange range = m_buffers.writeKeys(dzScene->getTime());
    m_buffers.reset();
    createKinBlockFromScene(&range);
}

void KyMixerCore::nodeRemoved(DzNode *node)
{
    m_timeline->nodeRemoved(node);
}

void KyMixerCore::ensureEvaluationTimer()
{
    if (m_evaluationTimer)
        return;
    m_evaluationTimer = new QTimer(this);
    m_evaluationTimer->setInterval(kEvaluationIntervalMs);
    connect(m_evaluationTimer, &QTimer::timeout, this, &KyMixerCore::timerDone);
    m_evaluationTimer->start();
}

void KyMixerCore::refreshSelected0(DzNode *node)
{
    if (m_refreshBlocked)
        return;
    m_timeline->refresh();
    if (!node) {
        m_timeline->activateNode(nullptr);
        return;
    }
    DzSkeleton *skeleton = node->getSkeleton();
    if (!skeleton)
        return;
    ensureEvaluationTimer();
    const FigureBinding *current = m_timeline->currentBinding();
    if (current && current->skeleton() == skeleton)
        return;
    m_timeline->activateNode(skeleton);
}

void KyMixerCore::blockRefresh()
{
    m_refreshBlocked = true;
}

void KyMixerCore::unblockRefresh()
{
    m_refreshBlocked = false;
    emit sceneDataNeeded();
    refresh();
}

void KyMixerCore::sceneLoaded()
{
    unblockRefresh();
    if (!dzScene || progressUp())
        return;
    // The loaded time may equal the timeline's, so a seek alone would not
    // evaluate: ask for a fresh evaluation there.
    m_timeline->goSeek(snappedMs(ticksToMs(dzScene->getTime())), true, false);
    m_timeline->reevaluate();
}

void KyMixerCore::sceneClearStarting()
{
    m_refreshBlocked = true;
    m_timeline->resetForSceneClear();
}
