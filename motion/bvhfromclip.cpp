#include "bvhfromclip.h"

#include "rotation.h"

#include <array>
#include <cmath>

namespace trelvo::motion {

bool bvhFromClip(const TargetSkeleton &skeleton, const MotionClip &clip, BvhData &out, std::string *error)
{
    auto fail = [error](std::string message) {
        if (error)
            *error = std::move(message);
        return false;
    };
    std::string why;
    if (!skeleton.validate(&why))
        return fail("cannot export: " + why);
    const int boneCount = static_cast<int>(skeleton.bones.size());
    if (clip.boneCount() != boneCount || clip.frameCount < 0
        || clip.rotations.size() != static_cast<std::size_t>(clip.frameCount) * boneCount
        || clip.rootPositions.size() != static_cast<std::size_t>(clip.frameCount))
        return fail("cannot export: the motion does not fit the figure's skeleton");
    for (int b = 0; b < boneCount; ++b) {
        if (clip.boneNames[b] != skeleton.bones[b].name)
            return fail("cannot export: the motion's bone '" + clip.boneNames[b] + "' is not the figure's bone '"
                        + skeleton.bones[b].name + "'");
        if (b > 0 && skeleton.bones[b].parent < 0)
            return fail("cannot export: the figure has a second root bone '" + skeleton.bones[b].name
                        + "'; BVH has one root");
    }
    if (!std::isfinite(clip.frameTime) || clip.frameTime <= 0.0)
        return fail("cannot export: the frame time is not a positive number");

    BvhData data;
    data.frameTime = clip.frameTime;
    data.frameCount = clip.frameCount;
    std::vector<int> childCount(boneCount, 0);
    for (int b = 1; b < boneCount; ++b)
        ++childCount[skeleton.bones[b].parent];
    for (int b = 0; b < boneCount; ++b) {
        const TargetBone &bone = skeleton.bones[b];
        BvhJoint joint;
        joint.name = bone.name;
        joint.parent = bone.parent;
        joint.offset = bone.parent >= 0 ? bone.origin - skeleton.bones[bone.parent].origin : DzVec3();
        if (b == 0)
            joint.channels = {BvhChannel::Xposition, BvhChannel::Yposition, BvhChannel::Zposition};
        // Channels list the outermost rotation first: the order's last axis.
        const DzRotationOrder &order = bone.rotationOrder;
        for (int axis : {int(order.thirdAxis()), int(order.secondAxis()), int(order.firstAxis())})
            joint.channels.push_back(static_cast<BvhChannel>(static_cast<int>(BvhChannel::Xrotation) + axis));
        const DzVec3 tip = bone.end - bone.origin;
        if (childCount[b] == 0 && tip.length() > 1e-9) {
            joint.hasEndSite = true;
            joint.endSite = tip;
        }
        data.joints.push_back(std::move(joint));
    }
    data.assignChannelIndices();

    data.values.resize(static_cast<std::size_t>(data.frameCount) * data.channelCount);
    std::vector<std::array<double, 3>> previous(boneCount);
    for (int f = 0; f < clip.frameCount; ++f) {
        float *values = data.values.data() + static_cast<std::size_t>(f) * data.channelCount;
        const DzVec3 root = skeleton.bones[0].origin + clip.rootPositions[f];
        for (int b = 0; b < boneCount; ++b) {
            const BvhJoint &joint = data.joints[b];
            std::array<double, 3> degrees = eulerRadians(clip.rotation(f, b), skeleton.bones[b].rotationOrder);
            for (double &angle : degrees)
                angle *= kRadToDeg;
            if (f > 0) {
                for (int axis = 0; axis < 3; ++axis)
                    degrees[axis] += 360.0 * std::round((previous[b][axis] - degrees[axis]) / 360.0);
            }
            previous[b] = degrees;
            for (std::size_t c = 0; c < joint.channels.size(); ++c) {
                const BvhChannel channel = joint.channels[c];
                const int axis = channelAxis(channel);
                values[joint.firstChannel + c] = static_cast<float>(isRotation(channel) ? degrees[axis] : root[axis]);
            }
        }
    }
    if (!data.validate(&why))
        return fail("cannot export: " + why);
    out = std::move(data);
    return true;
}

} // namespace trelvo::motion
