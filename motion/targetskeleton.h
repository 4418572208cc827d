#pragma once

// The rest skeleton of the figure that motion is retargeted onto, as plain
// data so that the retargeting needs no host.
//
// Every bone's rest orientation is the identity: at rest a bone's world
// rotation is zero and it sits at its origin. A bone's direction at rest
// runs from its origin to its end point (the origin of its main child, or
// the tip of a last bone). Bone 0 is the root (the hip); it and any other
// bone with parent -1 hang directly from the figure, which stands at the
// origin on the floor y = 0, facing +Z with Y up. Positions are in figure
// space (centimetres for the standard figure).

#include "bonemap.h"
#include "bvhdata.h"

#include <dzrotationorder.h>
#include <dzvec3.h>

#include <string>
#include <string_view>
#include <vector>

namespace trelvo::motion {

struct TargetBone
{
    std::string name;
    int parent = -1;  // index into TargetSkeleton::bones; parents come first
    DzVec3 origin;    // rest position of the joint in figure space
    DzVec3 end;       // rest position of the bone's far end
    DzRotationOrder rotationOrder;  // how the host stores its rotation (XYZ by default)
};

struct TargetSkeleton
{
    std::vector<TargetBone> bones;

    int find(std::string_view name) const;
    std::vector<int> childrenOf(int bone) const;

    // Parents before children, bone 0 a root, names unique and non-empty,
    // every coordinate finite. On failure says why.
    bool validate(std::string *why = nullptr) const;

    // The rest skeleton of a BVH file itself: one bone per joint that drives
    // a standard bone (the first joint of its chain gives the origin), named
    // by the standard name, parented to the nearest mapped ancestor, with
    // the rotation order of the joint's rotation channels (XYZ when it has
    // fewer than three). Ends are the origin of the mapped child that best
    // continues the bone's direction from its parent (the first one for the
    // root), else the End Site of the chain's last joint, else its origin.
    // The skeleton is moved so that
    // its lowest End Site stands on y = 0, as a figure stands on the floor.
    // Returns an empty skeleton when no joint maps to "hip".
    static TargetSkeleton fromBvh(const BvhData &bvh, const BoneMap &map);
};

} // namespace trelvo::motion
