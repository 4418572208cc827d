#pragma once
// FigureBinding: what the timeline knows about one figure. The timeline
// holds one binding per figure (binding 0 is the one without a skeleton,
// shown while no figure is chosen) and, parallel to it, the figure's tracks.

#include "dzquat.h"
#include "dzskeleton.h"
#include "dztime.h"

#include <QPointer>

#include <QString>

#include <cstdint>
#include <map>
#include <vector>

class DzBone;
class DzFloatProperty;
class DzNode;

// The host's state of three transform controls (X, Y, Z rotation or
// position) at one time, taken before a preview writes over it, so that the
// preview can be undone exactly. Kept per control: a key of 370 degrees
// comes back as 370, not as the 10 a quaternion would give.
struct HostBackup {
    QPointer<DzNode> node; // null once the node is gone: nothing to restore
    DzTime time = 0;       // the snapped tick time that was written
    bool hadKey[3] = {false, false, false};
    float keyValue[3] = {0.0f, 0.0f, 0.0f};
    float staticValue[3] = {0.0f, 0.0f, 0.0f};

    // Whether any of the three controls had a key at time.
    bool anyKey() const { return hadKey[0] || hadKey[1] || hadKey[2]; }

    // Captures the controls of node (rotation when rotation is set, else
    // position) at time.
    static HostBackup capture(DzNode *node, DzTime time, bool rotation);
    // Writes the captured state back: controls that had a key get it back at
    // the time; the others lose the key that was written there and get their
    // static value back.
    void restore(bool rotation) const;
};

struct FigureBinding {
    QPointer<DzSkeleton> m_skeleton; // the figure the track drives, or null
    float m_heelOffset = 0.0f;       // degrees
    float m_figureScale = 1.0f;      // recomputed at every pose application
    // 0 idle; > 0 a preview hold counting down (backups pending); −1 while
    // the backups are being restored.
    int m_keyHoldTime = 0;
    std::map<DzNode *, HostBackup> m_rotationBackups;
    std::map<DzNode *, HostBackup> m_positionBackups;
    // Per-bone rotation applied on top of the block's (offset × block).
    std::map<DzNode *, DzQuat> m_rotationalOffsets;
    // The pose at the moment the offset tool was switched on (inverted).
    std::map<DzNode *, DzQuat> m_offsetSnapshot;

    // What a pose writes, resolved once instead of by name at every pose:
    // the root, and the figure's bones in the order they are written, each
    // with its node table entry. Rebuilt when the skeleton, any node's name
    // or place in a hierarchy, or the node table's names change.
    struct PosedBone {
        DzBone *bone = nullptr;
        int tableIndex = -1;
        int subtreeEnd = 0; // index just past the bone's descendants
        uint8_t kind = 0;   // kOtherBone, kFoot, kToe or kHand
    };
    static constexpr uint8_t kOtherBone = 0, kFoot = 1, kToe = 2, kHand = 3;
    struct PosePlan {
        const DzSkeleton *skeleton = nullptr; // null: not built
        quint64 structureRevision = 0;
        uint32_t tableRevision = 0;
        DzNode *root = nullptr;
        int rootTableIndex = -1;
        std::vector<PosedBone> bones;
    };
    PosePlan m_posePlan;
    // The plan for the bound skeleton, rebuilt first when it is out of date.
    const PosePlan &posePlan();

    DzSkeleton *skeleton() const { return m_skeleton.data(); }

    // Forgets backups, offsets and snapshot entries of node (it is leaving
    // the scene); unbinds the figure when node is its skeleton.
    void forgetNode(DzNode *node);
};

// The X, Y and Z rotation (rotation true) or translation controls.
DzFloatProperty *transformControl(DzNode *node, bool rotation, int axis);
