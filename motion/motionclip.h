#pragma once

// Motion of a target skeleton at a fixed frame rate: for every frame the
// local rotation of every bone, and the root bone's local position.
//
// A bone's local rotation is relative to its parent's frame, with the
// identity meaning the rest pose. The root position is the host's local
// position of the root bone: the offset of the joint from its rest origin
// in figure space (so (0, 0, 0) leaves the hip where the figure stands).

#include <dzquat.h>
#include <dzvec3.h>

#include <cstdint>
#include <string>
#include <vector>

namespace trelvo::motion {

struct MotionClip
{
    std::vector<std::string> boneNames;  // the target skeleton's bones, same order
    std::vector<std::uint8_t> driven;    // per bone: 1 when the motion drove it
    double frameTime = 1.0 / 30.0;       // seconds per frame
    int frameCount = 0;
    std::vector<DzQuat> rotations;        // frameCount * boneCount, frame after frame
    std::vector<DzVec3> rootPositions;    // frameCount

    int boneCount() const { return static_cast<int>(boneNames.size()); }
    const DzQuat &rotation(int frame, int bone) const
    {
        return rotations[static_cast<std::size_t>(frame) * boneNames.size() + bone];
    }
    DzQuat &rotation(int frame, int bone)
    {
        return rotations[static_cast<std::size_t>(frame) * boneNames.size() + bone];
    }
};

} // namespace trelvo::motion
