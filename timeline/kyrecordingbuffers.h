#pragma once
// The buffers of a pad recording: per recorded frame its duration, the
// root's position and every written node's rotation, then written to the
// host as keys (writeKeys).
//
// The first frame fixes the node list (the root first when the root is
// driven, at most kMaxNodes nodes); only the node given to addRoot gets
// position keys; rotations are filed by node, so a frame in which the engine drives
// fewer bones does not shift the others, and a node missing from a frame
// repeats its previous rotation. At most kMaxFrames frames are held;
// beginFrame refuses more, and nodes beyond kMaxNodes are not recorded.

#include "dzquat.h"
#include "dztime.h"
#include "dzvec3.h"

#include <QPointer>

#include <vector>

class DzNode;

class KyRecordingBuffers
{
public:
    static constexpr int kMaxNodes = 500;
    static constexpr int kMaxFrames = 10000;

    // Empties the buffers.
    void reset();
    int frameCount() const { return static_cast<int>(m_durations.size()); }
    int nodeCount() const { return static_cast<int>(m_nodes.size()); }
    bool isFull() const { return frameCount() >= kMaxFrames; }
    bool isEmpty() const { return m_durations.empty(); }

    // Opens a frame lasting durationMs; false (nothing opened) when full.
    bool beginFrame(int durationMs);
    // Called by posing while a frame is open; ignored otherwise.
    void addRoot(DzNode *node, const DzVec3 &position, const DzQuat &rotation);
    void addRotation(DzNode *node, const DzQuat &rotation);
    // Closes the frame: nodes not written in it repeat their last rotation.
    void endFrame();

    DzNode *node(int i) const;
    int duration(int frame) const;
    DzVec3 position(int frame) const;
    DzQuat rotation(int node, int frame) const;

    // Tick time of each frame from start: frame i + 1 follows frame i after
    // its duration × 4800 / 1000 ticks.
    std::vector<DzTime> frameTimes(DzTime start) const;

    // Writes the frames as host keys from start: for each node (root first)
    // its animation in [start, last frame time] is cleared, then a rotation
    // key per frame, and for the root (if one was recorded) a position key
    // per frame. The
    // animation and play ranges are extended to the last frame time. Returns
    // the written range (empty when there were no frames).
    DzTimeRange writeKeys(DzTime start) const;

private:
    int nodeIndex(DzNode *node);

    std::vector<QPointer<DzNode>> m_nodes;
    std::vector<int> m_durations;
    std::vector<DzVec3> m_positions;
    std::vector<std::vector<DzQuat>> m_rotations; // per node, per frame
    bool m_frameOpen = false;
    bool m_nodesFixed = false;
    bool m_warnedFull = false;
    int m_rootIndex = -1; // the node addRoot named, −1 when none was
};
