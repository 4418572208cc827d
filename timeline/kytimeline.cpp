#include "kytimeline.h"

#include "kyevaluator.h"
#include "kyoffsets.h"
#include "kyposer.h"
#include "kyprompt.h"
#include "kytime.h"

#include "engine.h"

#include "dznode.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <QDir>

#include <algorithm>

KyTimeline::KyTimeline(QObject *parent)
    : QObject(parent)
    , m_bindings(new KyBindings(this, this))
    , m_clock([] { return static_cast<int>(elapsedMs()); })
{
    connect(m_bindings, &KyBindings::trackAdded, this, &KyTimeline::trackAdded);
    connect(m_bindings, &KyBindings::trackRemoved, this, &KyTimeline::trackRemoved);
    connect(m_bindings, &KyBindings::currentTrackChanged, this, &KyTimeline::currentTrackChanged);
    connect(m_bindings, &KyBindings::pickerListChanged, this, &KyTimeline::pickerListChanged);
    KyBlock::setDefaultFlags(m_defaultFlags);
    activateNode(nullptr);
}

KyTimeline::~KyTimeline()
{
    // The tracks go with the bindings, before anything they refer to here.
    delete m_bindings;
    m_bindings = nullptr;
}

void KyTimeline::setDefaultFlags(int flags)
{
    m_defaultFlags = flags;
    KyBlock::setDefaultFlags(flags);
}

void KyTimeline::setClock(std::function<int()> clock)
{
    if (clock)
        m_clock = std::move(clock);
}

int KyTimeline::now() const
{
    return m_clock();
}

QString KyTimeline::blockFolder() const
{
    return m_blockFolder ? m_blockFolder() : QDir::homePath();
}

void KyTimeline::setBlockFolderProvider(std::function<QString()> provider)
{
    m_blockFolder = std::move(provider);
}

void KyTimeline::setAnimationUpdate(std::function<void()> update)
{
    m_animationUpdate = std::move(update);
}

FigureBinding *KyTimeline::binding(int index) const
{
    return m_bindings ? m_bindings->binding(index) : nullptr;
}

int KyTimeline::findBinding(const DzSkeleton *skeleton) const
{
    return m_bindings->find(skeleton);
}

std::vector<KyTrack *> KyTimeline::tracks(int bindingIndex) const
{
    return m_bindings->tracks(bindingIndex);
}

std::vector<KyTrack *> KyTimeline::allTracks() const
{
    return m_bindings ? m_bindings->allTracks() : std::vector<KyTrack *>();
}

FigureBinding *KyTimeline::currentBinding() const
{
    return binding(currentBindingIndex());
}

int KyTimeline::currentBindingIndex() const
{
    return m_bindings->currentIndex();
}

int KyTimeline::longestTrack() const
{
    return m_bindings->longestTrack();
}

void KyTimeline::resetBindings(int count)
{
    m_bindings->reset(count);
    if (m_toolOn)
        setOffsetTool(false);
}

KyTrack *KyTimeline::addTrack(int bindingIndex)
{
    return m_bindings->addTrack(bindingIndex);
}

void KyTimeline::resetForSceneClear()
{
    if (m_toolOn)
        setOffsetTool(false);
    m_bindings->resetForSceneClear();
    activateNode(nullptr);
}

void KyTimeline::setOffsetTool(bool on)
{
    if (on == m_toolOn)
        return;
    if (on) {
        FigureBinding *b = currentBinding();
        if (b && b->skeleton()) {
            m_toolOn = true;
            startOffsetTool(*b);
            m_toolStartTime = m_currentTime;
        } else {
            kyMessage(QStringLiteral("No Skeleton Selected"));
        }
    } else {
        m_toolOn = false;
    }
    emit offsetToolChanged(m_toolOn);
}

void KyTimeline::recheckOffsetTool()
{
    if (!m_toolOn)
        return;
    FigureBinding *b = currentBinding();
    if (b && b->skeleton() && m_currentTime == m_toolStartTime)
        startOffsetTool(*b);
    else
        setOffsetTool(false);
}

void KyTimeline::updateStep()
{
    const int now = m_clock();
    const int elapsed = m_lastStepValid ? std::max(0, msBetween(m_lastStep, now)) : 0;
    m_lastStep = now;
    m_lastStepValid = true;
    evaluateAll(m_currentTime);
    m_currentTime = snappedMs(m_currentTime + elapsed);
    m_dirty = false;
}

void KyTimeline::reevaluate()
{
    m_lastStepValid = false;
    m_dirty = true;
    if (!m_active)
        return;
    if (m_animationUpdate)
        m_animationUpdate();
    else
        updateStep();
}

void KyTimeline::evaluateAll(int ms)
{
    m_bindings->forEachTrack([this, ms](KyTrack &track) { evaluateTrack(*this, track, ms); });
}

void KyTimeline::releaseKeyHolds(int elapsedMs)
{
    for (int i = 0; i < m_bindings->count(); ++i)
        releaseKeyHold(*m_bindings->binding(i), elapsedMs);
}

void KyTimeline::restoreAllBackups()
{
    for (int i = 0; i < m_bindings->count(); ++i)
        restoreBackups(*m_bindings->binding(i));
}

void KyTimeline::goActive(bool on)
{
    m_active = on;
}

void KyTimeline::goLoop()
{
    m_loop = !m_loop;
    if (dzScene)
        dzScene->loopPlayback(m_loop);
}

void KyTimeline::goBack()
{
    if (m_currentTime == 0)
        return;
    if (dzScene)
        dzScene->pause();
    m_playing = false;
    goSeek(0, true, true);
}

void KyTimeline::goPlay()
{
    if (dzScene && dzScene->isPlaying()) {
        goStop();
        return;
    }
    m_currentTime = m_seekTarget;
    m_lastStepValid = false;
    m_playing = true;
    if (dzScene)
        dzScene->play(true);
}

void KyTimeline::goStop()
{
    if (dzScene)
        dzScene->pause();
    m_playing = false;
    emit playStopped();
}

void KyTimeline::goForward()
{
    if (dzScene)
        dzScene->pause();
    m_playing = false;
    const int length = currentTrack() ? currentTrack()->length() : 0;
    goSeek(snappedMs(length - 1), true, true);
}

void KyTimeline::goSeek(int ms)
{
    goSeek(ms, true, true);
}

void KyTimeline::goSeek(int ms, bool updatePlayhead)
{
    goSeek(ms, updatePlayhead, true);
}

void KyTimeline::goSeek(int ms, bool updatePlayhead, bool doUpdateScene)
{
    if (ms == m_currentTime)
        return;
    m_currentTime = ms;
    m_seekTarget = ms;
    m_lastStepValid = false;
    m_dirty = true;
    m_bindings->forEachTrack([ms, updatePlayhead](KyTrack &track) { track.setPlayhead(ms, updatePlayhead); });
    if (!doUpdateScene || !dzScene)
        return;
    const DzTime ticks = snappedTicks(ms);
    if (dzScene->getTime() == ticks)
        return;
    if (m_active) {
        // m_dirty was set above: the update evaluates.
        if (m_animationUpdate)
            m_animationUpdate();
        else
            updateStep();
    }
    const bool wasPlaying = dzScene->isPlaying();
    if (wasPlaying)
        dzScene->pause();
    dzScene->setTime(ticks);
    if (wasPlaying)
        dzScene->play(true);
}

void KyTimeline::goSkim(int ms)
{
    if (!m_skimming || ms == m_currentTime || m_playing)
        return;
    m_currentTime = ms;
    m_lastStepValid = false;
    m_dirty = true;
}

void KyTimeline::reSkim()
{
    m_lastStepValid = false;
    m_dirty = true;
}

void KyTimeline::activateNode(DzNode *node)
{
    KyTrack *track = m_bindings->activate(node);
    track->setPlayhead(m_currentTime, true);
    emit pickerNodeChanged(qobject_cast<DzSkeleton *>(node));
}

void KyTimeline::selectNode(DzNode *node)
{
    if (!dzScene)
        return;
    DzNode *primary = dzScene->getPrimarySelection();
    if (node == primary)
        return;
    if (primary)
        dzScene->selectNode(primary, false);
    if (node)
        dzScene->setPrimarySelection(node);
}

void KyTimeline::refresh()
{
    m_bindings->refresh();
}

void KyTimeline::nodeRemoved(DzNode *node)
{
    m_bindings->nodeRemoved(node);
}
