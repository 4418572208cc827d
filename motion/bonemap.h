#pragma once

// Which joints of a BVH skeleton drive which bones of the standard figure.
//
// A joint name maps to a standard bone name when it is one already (letter
// case aside), or through a table of the common MotionBuilder-style names
// (Hips, LowerBack, Spine, Spine1, Neck, Neck1, Head, LeftShoulder, LeftArm,
// LeftForeArm, LeftHand, LHipJoint, LeftUpLeg, LeftLeg, LeftFoot,
// LeftToeBase, LeftHandThumb1..3 / Index / Middle / Ring / Pinky, and the
// same on the right). A namespace prefix such as "mixamorig:" is ignored.
// "Left" and "Right" are the performer's sides; the performer faces +Z like
// the figure, so Left maps to the figure's l bones on +X.
//
// Several joints may drive one bone when they form a chain (LowerBack and
// Spine both drive abdomen, Neck and Neck1 both drive neck): each later
// joint must descend from the previous one through unmapped joints only.
// The bone then takes the orientation of the chain's last joint, which
// already contains the rotations of every joint above it, so the chain's
// total rotation is kept. A joint that maps to a bone already driven
// elsewhere, and every joint that maps to nothing, is reported as unmapped
// and drives nothing; its rotation still reaches the bones below it,
// because they are placed by their joints' world orientation.

#include "bvhdata.h"

#include <string>
#include <string_view>
#include <vector>

namespace trelvo::motion {

class BoneMap
{
public:
    // The 53 bones of the standard figure, "hip" first, in node-table order.
    static const std::vector<std::string> &standardNames();
    static bool isStandardName(std::string_view name);

    // The standard bone a joint name maps to, or empty.
    static std::string_view standardNameFor(std::string_view jointName);

    // The joints that drive one bone: first is nearest the root, last is the
    // joint whose orientation the bone takes. Both -1 when nothing drives it.
    struct Chain
    {
        int first = -1;
        int last = -1;
        bool isValid() const { return first >= 0; }
    };

    BoneMap() = default;
    explicit BoneMap(const BvhData &bvh);

    // The standard bone a joint drives, or empty.
    const std::string &boneOf(int joint) const;
    Chain chainOf(std::string_view bone) const;
    // Names of the joints that drive nothing, in file order, each once.
    const std::vector<std::string> &unmapped() const { return m_unmapped; }

private:
    std::vector<std::string> m_boneOfJoint;
    std::vector<std::pair<std::string, Chain>> m_chains;
    std::vector<std::string> m_unmapped;
};

} // namespace trelvo::motion
