#pragma once

// Retargets BVH motion onto a target rest skeleton and resamples it to the
// scene's frame rate. No host is involved; the result is a MotionClip of
// local bone rotations and the root position.
//
// How the file's rest pose becomes the figure's rest pose:
// 1. The file's joints are matched to the figure's bones (BoneMap: names,
//    then structure, or a given mapping). Every BVH joint gets its world
//    rotation G(j) and position P(j) by forward kinematics.
// 2. For each driven bone b, a rest correction C(b) is computed once: the
//    shortest-arc rotation that turns the figure's rest bone direction onto
//    the file's. When b has a driven child bone starting near its end point
//    (within a quarter of its length), both directions run to that child's
//    joint: in the figure from b's origin to the child's origin, in the file
//    from b's first joint to the child's first joint. Otherwise the figure's
//    runs to b's end point and the file's to the End Site (or the average of
//    the nearest non-coincident descendants) of b's last joint. Where both
//    rest directions agree C(b) is the identity. Twist about the bone is
//    left as the file has it. The root bone (hip) takes no correction: both
//    rest poses stand upright facing +Z.
// 3. A driven bone starts from W0(b) = G(last joint of b) * C(b), which
//    gives its twist; every bone but the root is then turned the shortest
//    way so that its direction (as in step 2) runs from P(first joint) to
//    where the end point is in this frame: W(b) = A(b) * W0(b). For a single
//    joint whose end is its own child A(b) is the identity; for a chain
//    that bends (Neck + Neck1), or unmapped joints between a bone and its
//    child, it is what keeps the bone on target. A bone nothing drives
//    keeps its rest pose relative to its parent, W(b) = W(parent). The
//    local rotation written for b is inverse(W(parent)) * W(b). Thus the
//    figure's bones point where the file's bones point, frame by frame, and
//    at the file's rest pose the figure takes the file's rest shape.
// 4. The root position is the world position of the hip's first joint,
//    scaled by s = (figure's rest hip height) / (file's rest hip height), so
//    that the file's rest hip height corresponds to the figure's hip origin.
//    Both heights are taken above the skeleton's lowest tip: for the figure,
//    the hip origin's height above the lowest end point of a bone without
//    children (the standard figure: 99.24 - 1.0 at the toe tips); for the
//    file, the hip's height above its lowest End Site, measured with the
//    file's skeleton in the figure's rest pose (every driven joint turned by
//    inverse(C(b)), so W(b) is the identity), not in the file's own. CMU's
//    rest pose has its legs splayed 20 degrees; measuring that would leave
//    the figure's feet floating some 5 cm above the floor. (The root's own
//    rest Y is no help either: both CMU releases have OFFSET 0 0 0 there.)
//    Measured this way the figure's lowest tip lands where the file's lowest
//    End Site is, a figure exported to BVH reads back at scale 1, and the
//    file's floor y = 0 stays the figure's floor. The result is expressed as
//    an offset from the hip's rest origin. With Placement::StartAtOrigin
//    the horizontal offset of the first output frame is removed, so the
//    figure starts where it stands.
// 5. Resampling: output frame k is at time from + k * frameTime (seconds
//    after the first kept frame). Its source position is fractional; the
//    two neighbouring source frames are retargeted and blended (slerp for
//    rotations, lerp for the root position). Positions within 1e-4 of a
//    source frame take that frame exactly. Output rotations are kept in
//    one hemisphere from frame to frame.

#include "bonemap.h"
#include "bvhdata.h"
#include "motionclip.h"
#include "targetskeleton.h"

#include <optional>
#include <string>
#include <vector>

namespace trelvo::motion {

struct RetargetOptions
{
    enum class Placement {
        StartAtOrigin,    // first frame's hip at the figure's origin horizontally
        KeepFilePosition, // the file's absolute horizontal position, scaled
    };

    // Converters often put a rest pose before the motion: frame 0 is dropped
    // when it is one (every joint turned less than 15 degrees, or every
    // rotation a whole number of degrees as a hand-written pose is, unlike
    // any captured frame). False keeps it always.
    bool dropFirstFrame = true;
    // Seconds per source frame; 0 takes the file's Frame Time.
    double sourceFrameTime = 0.0;
    // Joint -> bone; when given it replaces the mapping by names and
    // structure, and undriven legs or spine are no reason to refuse.
    std::optional<BoneMap::Assignments> mapping;
    // Range to import, in seconds after the first kept frame; toSeconds < 0
    // means to the end. A range beyond the end is clamped to it.
    double fromSeconds = 0.0;
    double toSeconds = -1.0;
    // Output seconds per frame (the scene's time step; 160 ticks of 4800/s).
    double frameTime = 1.0 / 30.0;
    // Factor from file units to figure units; 0 derives it from the hip heights.
    double scale = 0.0;
    Placement placement = Placement::StartAtOrigin;
};

class Retargeter
{
public:
    // Largest output the retargeter produces, in frames times bones
    // (about 40 minutes of a 53-bone figure at 30 fps).
    static constexpr long long kMaxSamples = 4LL << 20;

    // Both objects must outlive the Retargeter. Checks them, maps the bones
    // and computes the rest corrections and the scale; isValid() and
    // errorString() tell whether that worked.
    Retargeter(const BvhData &bvh, const TargetSkeleton &target, const RetargetOptions &options = {});

    bool isValid() const { return m_valid; }
    const std::string &errorString() const { return m_error; }

    // Retargets and resamples the whole selected range into clip. False,
    // with errorString(), for an empty or oversized range.
    bool run(MotionClip &clip);

    // Local rotations (one per target bone) and root position of one source
    // frame, before resampling and placement. An invalid retargeter or a
    // frame out of range gives the rest pose.
    void poseAt(int sourceFrame, std::vector<DzQuat> &rotations, DzVec3 &rootPosition) const;

    // Whether run() left out the file's first frame as a rest pose.
    bool droppedFirstFrame() const { return m_firstFrame == 1; }
    // Whether the file's frame 0 is a rest pose (see dropFirstFrame).
    bool firstFrameIsRestPose() const;

    double scale() const { return m_scale; }
    const BoneMap &boneMap() const { return m_map; }
    // Joints of the file that drive no bone, each once.
    const std::vector<std::string> &unmappedJoints() const { return m_map.unmapped(); }
    // Bones of the figure that no joint drives; they keep their rest pose.
    const std::vector<std::string> &undrivenBones() const { return m_undriven; }
    // C(b) of step 2 above; the identity for an index out of range.
    DzQuat restCorrection(int bone) const
    {
        return bone >= 0 && bone < static_cast<int>(m_corrections.size()) ? m_corrections[bone] : DzQuat();
    }

private:
    bool fail(std::string message);
    struct End
    {
        bool found = false;
        int joint = -1;          // the end is this joint's position, or else
        DzVec3 offset;           // this offset in the chain's last joint's frame
        DzVec3 figureDirection;  // the figure bone's rest direction to the same end
    };
    End fileEndFor(int bone, const std::vector<DzVec3> &rest) const;
    double fileHipHeightInFigureRest() const;

    const BvhData &m_bvh;
    const TargetSkeleton &m_target;
    RetargetOptions m_options;
    BoneMap m_map;
    bool m_valid = false;
    std::string m_error;
    double m_scale = 1.0;
    std::vector<BoneMap::Chain> m_chains;  // per target bone
    std::vector<DzQuat> m_corrections;     // per target bone
    std::vector<End> m_ends;               // per target bone
    int m_firstFrame = 0;
    std::vector<std::string> m_undriven;
    std::vector<std::vector<int>> m_jointChildren;
};

} // namespace trelvo::motion
