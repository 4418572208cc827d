#include "kybindings.h"

#include "kytrack.h"

#include "dznode.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <algorithm>

KyBindings::KyBindings(KyTimeline *timeline, QObject *parent)
    : QObject(parent)
    , m_timeline(timeline)
{
}

KyBindings::~KyBindings()
{
    // Tracks go before the bindings they refer to.
    for (auto &list : m_trackLists)
        list.clear();
}

FigureBinding *KyBindings::binding(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return m_bindings[static_cast<size_t>(index)].get();
}

int KyBindings::find(const DzSkeleton *skeleton) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_bindings[static_cast<size_t>(i)]->skeleton() == skeleton)
            return i;
    }
    return -1;
}

std::vector<KyTrack *> KyBindings::tracks(int bindingIndex) const
{
    std::vector<KyTrack *> out;
    if (bindingIndex < 0 || bindingIndex >= static_cast<int>(m_trackLists.size()))
        return out;
    for (const auto &track : m_trackLists[static_cast<size_t>(bindingIndex)])
        out.push_back(track.get());
    return out;
}

std::vector<KyTrack *> KyBindings::allTracks() const
{
    std::vector<KyTrack *> out;
    for (const auto &list : m_trackLists) {
        for (const auto &track : list)
            out.push_back(track.get());
    }
    return out;
}

int KyBindings::currentIndex() const
{
    return m_currentTrack ? m_currentTrack->bindingIndex() : 0;
}

int KyBindings::longestTrack() const
{
    int longest = 0;
    for (KyTrack *track : allTracks())
        longest = std::max(longest, track->length());
    return longest;
}

void KyBindings::deleteTracks(int bindingIndex)
{
    auto &list = m_trackLists[static_cast<size_t>(bindingIndex)];
    for (auto &track : list) {
        if (track.get() == m_currentTrack)
            m_currentTrack = nullptr;
        emit trackRemoved(track.get());
    }
    list.clear();
}

void KyBindings::reset(int n)
{
    n = std::max(0, n);
    for (int i = 0; i < static_cast<int>(m_trackLists.size()); ++i)
        deleteTracks(i);
    m_trackLists.clear();
    m_trackLists.resize(static_cast<size_t>(n));
    m_bindings.clear();
    for (int i = 0; i < n; ++i)
        m_bindings.push_back(std::make_unique<FigureBinding>());
    m_currentTrack = nullptr;
}

KyTrack *KyBindings::addTrack(int bindingIndex)
{
    if (bindingIndex < 0 || bindingIndex >= count())
        return nullptr;
    auto track = std::make_unique<KyTrack>(m_timeline);
    track->setBindingIndex(bindingIndex);
    KyTrack *added = track.get();
    m_trackLists[static_cast<size_t>(bindingIndex)].push_back(std::move(track));
    emit trackAdded(added);
    return added;
}

void KyBindings::appendBinding(DzSkeleton *skeleton)
{
    auto binding = std::make_unique<FigureBinding>();
    binding->m_skeleton = skeleton;
    m_bindings.push_back(std::move(binding));
    m_trackLists.emplace_back();
    addTrack(count() - 1);
}

void KyBindings::resetForSceneClear()
{
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
}

KyTrack *KyBindings::activate(DzNode *node)
{
    DzSkeleton *skeleton = qobject_cast<DzSkeleton *>(node);
    int index = find(skeleton);
    if (index < 0) {
        appendBinding(skeleton);
        index = count() - 1;
    }
    if (m_trackLists[static_cast<size_t>(index)].empty())
        addTrack(index);
    KyTrack *track = m_trackLists[static_cast<size_t>(index)].front().get();
    if (track != m_currentTrack) {
        m_currentTrack = track;
        emit currentTrackChanged(track);
    }
    return track;
}

void KyBindings::refresh()
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

void KyBindings::nodeRemoved(DzNode *node)
{
    if (!node)
        return;
    for (auto &b : m_bindings)
        b->forgetNode(node);
}
