#pragma once

// In-memory form of a BVH motion file: the joint hierarchy with its rest
// offsets and channels, and the motion as one float per channel per frame.
//
// Meaning of the data, as this library reads and writes it:
// - A joint's local rotation is the product of its rotation channels in the
//   order they are listed, the first being outermost:
//   "Zrotation Xrotation Yrotation" is Rz * Rx * Ry (the host's rotation
//   order YXZ). Channel values are degrees.
// - A joint's local translation is its OFFSET; each position channel the
//   joint has replaces the matching component of the OFFSET. (For the usual
//   root with OFFSET 0 0 0 this is the same as adding them.)
// - World transform: G(joint) = G(parent) * R(joint); the joint sits at
//   P(parent) + G(parent) * translation(joint). The root's parent is the
//   identity at the origin.
// - The rest pose is every joint at its OFFSET with every rotation zero.

#include <dzquat.h>
#include <dzvec3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo::motion {

enum class BvhChannel : std::uint8_t { Xposition, Yposition, Zposition, Xrotation, Yrotation, Zrotation };

constexpr bool isRotation(BvhChannel c) { return c >= BvhChannel::Xrotation; }
// 0 = X, 1 = Y, 2 = Z
constexpr int channelAxis(BvhChannel c) { return static_cast<int>(c) % 3; }
std::string_view channelName(BvhChannel c);

struct BvhJoint
{
    std::string name;
    int parent = -1;        // index into BvhData::joints, -1 for the root
    DzVec3 offset;          // from the parent joint, in the parent's frame
    std::vector<BvhChannel> channels;
    int firstChannel = 0;   // index of this joint's first value in a frame
    bool hasEndSite = false;
    DzVec3 endSite;         // End Site OFFSET, when hasEndSite
    int line = 0;           // line of the ROOT/JOINT keyword (0 when built in code)
};

struct BvhData
{
    // Depth-first file order: a parent always precedes its children, and
    // joint 0 is the root.
    std::vector<BvhJoint> joints;
    double frameTime = 1.0 / 30.0;  // seconds per frame, > 0
    int channelCount = 0;           // sum of the joints' channel counts
    int frameCount = 0;
    std::vector<float> values;      // frameCount * channelCount, frame after frame

    const float *frame(int index) const { return values.data() + static_cast<std::size_t>(index) * channelCount; }

    int findJoint(std::string_view name) const;
    std::vector<int> childrenOf(int joint) const;

    // Local rotation and translation of a joint in a frame (see above).
    DzQuat localRotation(int frameIndex, int joint) const;
    DzVec3 localTranslation(int frameIndex, int joint) const;

    // World positions of the joints in the rest pose.
    std::vector<DzVec3> restPositions() const;

    // Recomputes firstChannel and channelCount from the joints' channel lists.
    void assignChannelIndices();

    // Checks the invariants above (parents before children, one root,
    // channel indices and value count consistent, frame time positive,
    // everything finite). On failure returns false and says why.
    bool validate(std::string *why = nullptr) const;
};

} // namespace trelvo::motion
