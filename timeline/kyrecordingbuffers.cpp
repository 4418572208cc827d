#include "kyrecordingbuffers.h"

#include "kytime.h"

#include "dzlog.h"
#include "dznode.h"
#include "dzscene.h"

#include <algorithm>
#include <cstdint>
#include <limits>

void KyRecordingBuffers::reset()
{
    m_nodes.clear();
    m_durations.clear();
    m_positions.clear();
    m_rotations.clear();
    m_frameOpen = false;
    m_nodesFixed = false;
    m_warnedFull = false;
    m_rootIndex = -1;
    m_durations.reserve(kMaxFrames);
    m_positions.reserve(kMaxFrames);
}

bool KyRecordingBuffers::beginFrame(int durationMs)
{
    if (m_frameOpen)
        endFrame();
    if (isFull())
        return false;
    m_durations.push_back(std::max(0, durationMs));
    m_frameOpen = true;
    return true;
}

int KyRecordingBuffers::nodeIndex(DzNode *node)
{
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i].data() == node)
            return static_cast<int>(i);
    }
    // The node list is made by the first frame only.
    if (m_nodesFixed)
        return -1;
    if (static_cast<int>(m_nodes.size()) >= kMaxNodes) {
        if (!m_warnedFull) {
            dzWarning(QStringLiteral("KyRecordingBuffers: more than %1 nodes; %2 and later ones are "
                                     "not recorded")
                          .arg(kMaxNodes)
                          .arg(node->getName()));
            m_warnedFull = true;
        }
        return -1;
    }
    m_nodes.emplace_back(node);
    m_rotations.emplace_back();
    m_rotations.back().reserve(kMaxFrames);
    return static_cast<int>(m_nodes.size()) - 1;
}

void KyRecordingBuffers::addRoot(DzNode *node, const DzVec3 &position, const DzQuat &rotation)
{
    if (!m_frameOpen || !node)
        return;
    const int index = nodeIndex(node);
    if (index < 0)
        return;
    // Only the node given as root takes the root's positions; a bone that
    // came first because the root was not driven never does.
    if (m_rootIndex < 0)
        m_rootIndex = index;
    if (index != m_rootIndex)
        return;
    if (m_positions.size() < m_durations.size())
        m_positions.push_back(position);
    addRotation(node, rotation);
}

void KyRecordingBuffers::addRotation(DzNode *node, const DzQuat &rotation)
{
    if (!m_frameOpen || !node)
        return;
    const int index = nodeIndex(node);
    if (index < 0)
        return;
    std::vector<DzQuat> &list = m_rotations[static_cast<size_t>(index)];
    if (list.size() < m_durations.size())
        list.push_back(rotation);
}

void KyRecordingBuffers::endFrame()
{
    if (!m_frameOpen)
        return;
    m_frameOpen = false;
    m_nodesFixed = true;
    const size_t frames = m_durations.size();
    // A frame that did not write the root or a node repeats its previous
    // value, so that every list stays one entry per frame.
    if (m_positions.size() < frames)
        m_positions.push_back(m_positions.empty() ? DzVec3() : m_positions.back());
    for (size_t i = 0; i < m_rotations.size(); ++i) {
        std::vector<DzQuat> &list = m_rotations[i];
        if (list.size() >= frames)
            continue;
        DzQuat fill;
        if (!list.empty())
            fill = list.back();
        else if (DzNode *node = m_nodes[i].data())
            fill = node->getLocalRot();
        while (list.size() < frames)
            list.push_back(fill);
    }
}

DzNode *KyRecordingBuffers::node(int i) const
{
    if (i < 0 || i >= nodeCount())
        return nullptr;
    return m_nodes[static_cast<size_t>(i)].data();
}

int KyRecordingBuffers::duration(int frame) const
{
    if (frame < 0 || frame >= frameCount())
        return 0;
    return m_durations[static_cast<size_t>(frame)];
}

DzVec3 KyRecordingBuffers::position(int frame) const
{
    if (frame < 0 || frame >= static_cast<int>(m_positions.size()))
        return DzVec3();
    return m_positions[static_cast<size_t>(frame)];
}

DzQuat KyRecordingBuffers::rotation(int node, int frame) const
{
    if (node < 0 || node >= nodeCount())
        return DzQuat();
    const std::vector<DzQuat> &list = m_rotations[static_cast<size_t>(node)];
    if (frame < 0 || frame >= static_cast<int>(list.size()))
        return DzQuat();
    return list[static_cast<size_t>(frame)];
}

std::vector<DzTime> KyRecordingBuffers::frameTimes(DzTime start) const
{
    std::vector<DzTime> times;
    times.reserve(m_durations.size());
    int64_t t = start;
    for (int duration : m_durations) {
        times.push_back(static_cast<DzTime>(std::min<int64_t>(t, std::numeric_limits<int>::max())));
        t += msToTicks(duration);
    }
    return times;
}

DzTimeRange KyRecordingBuffers::writeKeys(DzTime start) const
{
    const int frames = frameCount();
    if (frames == 0)
        return DzTimeRange(start, start - 1);
    const std::vector<DzTime> times = frameTimes(start);
    const DzTime last = times.back();
    const DzTimeRange range(start, last);
    if (dzScene) {
        const DzTimeRange anim = dzScene->getAnimRange();
        if (anim.getEnd() < last)
            dzScene->setAnimRange(DzTimeRange(anim.getStart(), last));
        const DzTimeRange play = dzScene->getPlayRange();
        if (play.getEnd() < last)
            dzScene->setPlayRange(DzTimeRange(play.getStart(), last));
    }
    for (int n = 0; n < nodeCount(); ++n) {
        DzNode *target = node(n);
        if (!target)
            continue;
        target->clearAnimData(range);
        const std::vector<DzQuat> &list = m_rotations[static_cast<size_t>(n)];
        const int written = std::min(frames, static_cast<int>(list.size()));
        for (int f = 0; f < written; ++f)
            target->setLocalRot(times[static_cast<size_t>(f)], list[static_cast<size_t>(f)]);
        if (n == m_rootIndex) {
            const int positions = std::min(frames, static_cast<int>(m_positions.size()));
            for (int f = 0; f < positions; ++f)
                target->setLocalPos(times[static_cast<size_t>(f)], m_positions[static_cast<size_t>(f)]);
        }
    }
    return range;
}
