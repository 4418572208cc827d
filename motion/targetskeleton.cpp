#include "targetskeleton.h"

#include "rotation.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

namespace trelvo::motion {

int TargetSkeleton::find(std::string_view name) const
{
    for (std::size_t i = 0; i < bones.size(); ++i) {
        if (bones[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

std::vector<int> TargetSkeleton::childrenOf(int bone) const
{
    std::vector<int> children;
    for (std::size_t i = 0; i < bones.size(); ++i) {
        if (bones[i].parent == bone)
            children.push_back(static_cast<int>(i));
    }
    return children;
}

bool TargetSkeleton::validate(std::string *why) const
{
    auto fail = [why](std::string message) {
        if (why)
            *why = std::move(message);
        return false;
    };
    if (bones.empty())
        return fail("the figure has no bones");
    if (bones[0].parent != -1)
        return fail("the figure's first bone is not a root");
    std::unordered_set<std::string_view> names;
    for (std::size_t i = 0; i < bones.size(); ++i) {
        const TargetBone &b = bones[i];
        if (b.name.empty())
            return fail("bone " + std::to_string(i) + " has no name");
        if (!names.insert(b.name).second)
            return fail("bone name '" + b.name + "' is used twice");
        if (b.parent < -1 || b.parent >= static_cast<int>(i))
            return fail("bone '" + b.name + "' does not follow its parent");
        if (!isFinite(b.origin) || !isFinite(b.end))
            return fail("bone '" + b.name + "' has a position that is not a finite number");
    }
    return true;
}

TargetSkeleton TargetSkeleton::fromBvh(const BvhData &bvh, const BoneMap &map)
{
    TargetSkeleton skeleton;
    const BoneMap::Chain hip = map.chainOf("hip");
    if (!hip.isValid())
        return skeleton;
    const std::vector<DzVec3> rest = bvh.restPositions();
    const int jointCount = static_cast<int>(bvh.joints.size());

    // Bones in file order of their first joints, the hip first; a parent's
    // first joint precedes its children's, so parents stay ahead.
    std::vector<int> bonesOfJoint(jointCount, -1);
    std::vector<int> firstJoints;
    auto addBone = [&](int joint) {
        bonesOfJoint[joint] = static_cast<int>(skeleton.bones.size());
        firstJoints.push_back(joint);
        TargetBone bone;
        bone.name = map.boneOf(joint);
        bone.origin = rest[joint];
        bone.end = rest[joint];
        std::vector<int> axes;
        for (BvhChannel c : bvh.joints[joint].channels) {
            if (isRotation(c))
                axes.push_back(channelAxis(c));
        }
        if (axes.size() == 3)
            bone.rotationOrder = rotationOrderFromAxes(axes[2], axes[1], axes[0]).value_or(DzRotationOrder());
        skeleton.bones.push_back(std::move(bone));
    };
    addBone(hip.first);
    for (int j = 0; j < jointCount; ++j) {
        if (j == hip.first || map.boneOf(j).empty() || map.chainOf(map.boneOf(j)).first != j)
            continue;
        addBone(j);
    }
    // Joints of a chain below its first joint belong to the same bone.
    for (int j = 0; j < jointCount; ++j) {
        if (bonesOfJoint[j] < 0 && !map.boneOf(j).empty())
            bonesOfJoint[j] = skeleton.find(map.boneOf(j));
    }
    for (std::size_t b = 1; b < skeleton.bones.size(); ++b) {
        int a = bvh.joints[firstJoints[b]].parent;
        while (a >= 0 && bonesOfJoint[a] < 0)
            a = bvh.joints[a].parent;
        skeleton.bones[b].parent = a >= 0 ? bonesOfJoint[a] : -1;
    }

    // A bone ends at the child that best continues its own direction from
    // its parent (the middle finger for a hand, the neck for the chest);
    // without mapped children, at the End Site of its chain's last joint.
    for (std::size_t b = 0; b < skeleton.bones.size(); ++b) {
        TargetBone &bone = skeleton.bones[b];
        const DzVec3 incoming = bone.parent >= 0 ? (bone.origin - skeleton.bones[bone.parent].origin).normalized()
                                               : DzVec3();
        float best = -std::numeric_limits<float>::infinity();
        bool found = false;
        for (int c : skeleton.childrenOf(static_cast<int>(b))) {
            const DzVec3 towards = (skeleton.bones[c].origin - bone.origin).normalized();
            const float score = incoming.dot(towards);
            if (score > best) {
                best = score;
                bone.end = skeleton.bones[c].origin;
                found = true;
            }
        }
        if (!found) {
            const BvhJoint &last = bvh.joints[map.chainOf(bone.name).last];
            const DzVec3 lastPos = rest[map.chainOf(bone.name).last];
            bone.end = last.hasEndSite ? lastPos + last.endSite : lastPos;
            // Without an End Site, the middle of the joints below (a head's eyes).
            const std::vector<int> below = bvh.childrenOf(map.chainOf(bone.name).last);
            if (!last.hasEndSite && !below.empty()) {
                DzVec3 sum;
                for (int c : below)
                    sum += rest[c];
                bone.end = sum * (1.0f / below.size());
            }
        }
    }

    // Stand the skeleton on the floor: lowest End Site (or joint) at y = 0.
    float lowest = std::numeric_limits<float>::infinity();
    bool anyEndSite = false;
    for (int j = 0; j < jointCount; ++j) {
        if (bvh.joints[j].hasEndSite) {
            lowest = std::min(lowest, rest[j].m_y + bvh.joints[j].endSite.m_y);
            anyEndSite = true;
        }
    }
    if (!anyEndSite) {
        for (const DzVec3 &p : rest)
            lowest = std::min(lowest, p.m_y);
    }
    for (TargetBone &bone : skeleton.bones) {
        bone.origin.m_y -= lowest;
        bone.end.m_y -= lowest;
    }
    return skeleton;
}

} // namespace trelvo::motion
