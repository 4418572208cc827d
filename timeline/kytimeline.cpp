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
    , m_clock([] { return static_cast<int>(elapsedMs()); })
{
    KyBlock::setDefaultFlags(m_defaultFlags);
    activateNode(nullptr);
}

KyTimeline::~KyTimeline()
{
    // Tracks go before the bindings they refer to.
    for (auto &list : m_trackLists)
        list.clear();
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
    if (index < 0 || index >= bindingCount())
        return nullptr;
    return m_bindings[static_cast<size_t>(index)].get();
}

int KyTimeline::findBinding(const DzSkeleton *skeleton) const
{
    for (int i = 0; i < bindingCount(); ++i) {
        if (m_bindings[static_cast<size_t>(i)]->skeleton() == skeleton)
            return i;
    }
    return -1;
}

std::vector<KyTrack *> KyTimeline::tracks(int bindingIndex) const
{
    std::vector<KyTrack *> out;
    if (bindingIndex < 0 || bindingIndex >= static_cast<int>(m_trackLists.size()))
        return out;
    for (const auto &track : m_trackLists[static_cast<size_t>(bindingIndex)])
        out.push_back(track.get());
    return out;
}

std::vector<KyTrack *> KyTimeline::allTracks() const
{
    std::vector<KyTrack *> out;
    for (const auto &list : m_trackLists) {
        for (const auto &track : list)
            out.push_back(track.get());
    }
    return out;
}

FigureBinding *KyTimeline::currentBinding() const
{
    return binding(currentBindingIndex());
}

int KyTimeline::currentBindingIndex() const
{
    return m_currentTrack ? m_currentTrack->bindingIndex() : 0;
}

int KyTimeline::longestTrack() const
{
    int longest = 0;
    for (KyTrack *track : allTracks())
        longest = std::max(longest, track->length());
    return longest;
}

void KyTimeline::deleteTracks(int bindingIndex)
{
    auto &list = m_trackLists[static_cast<size_t>(bindingIndex)];
    for (auto &track : list) {
        if (track.get() == m_currentTrack)
            m_currentTrack = nullptr;
        emit trackRemoved(track.get());
    }
    list.clear();
}

void KyTimeline::resetBindings(int count)
{
    count = std::max(0, count);
    for (int i = 0; i < static_cast<int>(m_trackLists.size()); ++i)
        deleteTracks(i);
    m_trackLists.clear();
    m_trackLists.resize(static_cast<size_t>(count));
    m_bindings.clear();
    for (int i = 0; i < count; ++i)
        m_bindings.push_back(std::make_unique<FigureBinding>());
    m_currentTrack = nullptr;
    if (m_toolOn)
        setOffsetTool(false);
}

KyTrack *KyTimeline::addTrack(int bindingIndex)
{
    if (bindingIndex < 0 || bindingIndex >= bindingCount())
        return nullptr;
    auto track = std::make_unique<KyTrack>(this);
    track->setBindingIndex(bindingIndex);
    KyTrack *added = track.get();
    m_trackLists[static_cast<size_t>(bindingIndex)].push_back(std::move(track));
    emit trackAdded(added);
    return added;
}

void KyTimeline::appendBinding(DzSkeleton *skeleton)
{
    auto binding = std::make_unique<FigureBinding>();
    binding->m_skeleton = skeleton;
    m_bindings.push_back(std::move(binding));
    m_trackLists.emplace_back();
    addTrack(bindingCount() - 1);
}

void KyTimeline::resetForSceneClear()
{
    if (m_toolOn)
        setOffsetTool(false);
    for (int i = 1; i < static_cast<int>(m_trackLists.size()); ++i)
        deleteTracks(i);
    m_trackLists.resize(std::min<size_t>(m_trackLists.size(), 1));
    if (m_trackLists.empty())
        m_trackLists.emplace_back();
    m_bindings.clear();
    m_bindings.push_back(std::make_unique<FigureBinding>());
    for (auto &track : m_trackLists[0])
        track->setBindingIndex(0);
    m_shown.clear();
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
    const int elapsed = m_lastStep == -1 ? 0 : std::max(0, now - m_lastStep);
    m_lastStep = now;
    evaluateAll(m_currentTime);
    m_currentTime = snappedMs(m_currentTime + elapsed);
    m_dirty = false;
}

void KyTimeline::reevaluate()
{
    m_lastStep = -1;
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
    for (KyTrack *track : allTracks())
        evaluateTrack(*this, *track, ms);
}

void KyTimeline::releaseKeyHolds(int elapsedMs)
{
    for (auto &b : m_bindings)
        releaseKeyHold(*b, elapsedMs);
}

void KyTimeline::restoreAllBackups()
{
    for (auto &b : m_bindings)
        restoreBackups(*b);
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
    m_lastStep = -1;
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
    const int length = m_currentTrack ? m_currentTrack->length() : 0;
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
    m_lastStep = -1;
    m_dirty = true;
    for (KyTrack *track : allTracks())
        track->setPlayhead(ms, updatePlayhead);
    if (!doUpdateScene || !dzScene)
        return;
    const DzTime ticks = snappedTicks(ms);
    if (dzScene->getTime() == ticks)
        return;
    if (m_active) {
        if (m_animationUpdate)
            m_animationUpdate();
        else if (m_dirty)
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
    m_lastStep = -1;
    m_dirty = true;
}

void KyTimeline::reSkim()
{
    m_lastStep = -1;
    m_dirty = true;
}

void KyTimeline::activateNode(DzNode *node)
{
    DzSkeleton *skeleton = qobject_cast<DzSkeleton *>(node);
    int index = findBinding(skeleton);
    if (index < 0) {
        appendBinding(skeleton);
        index = bindingCount() - 1;
    }
    if (m_trackLists[static_cast<size_t>(index)].empty())
        addTrack(index);
    KyTrack *track = m_trackLists[static_cast<size_t>(index)].front().get();
    if (track != m_currentTrack) {
        m_currentTrack = track;
        emit currentTrackChanged(track);
    }
    track->setPlayhead(m_currentTime, true);
    emit pickerNodeChanged(skeleton);
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
    QList<DzNode *> visible;
    QList<DzNode *> present;
    if (dzScene) {
        for (DzNode *node : dzScene->getNodeList()) {
            if (!qobject_cast<DzSkeleton *>(node))
                continue;
            present.append(node);
            if (!node->isHidden())
                visible.append(node);
        }
    }
    // A hidden figure keeps its timeline: only figures that left the scene
    // are unbound, so hiding one never loses its track when saving.
    for (auto &b : m_bindings) {
        DzSkeleton *skeleton = b->skeleton();
        if (skeleton && !present.contains(skeleton))
            nodeRemoved(skeleton);
    }
    if (visible != m_shown) {
        m_shown = visible;
        emit pickerListChanged(visible);
    }
}

void KyTimeline::nodeRemoved(DzNode *node)
{
    if (!node)
        return;
    for (auto &b : m_bindings)
        b->forgetNode(node);
}
