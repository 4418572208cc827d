#include "bvhdata.h"

#include "rotation.h"

#include <cmath>
#include <unordered_set>

namespace trelvo::motion {

std::string_view channelName(BvhChannel c)
{
    switch (c) {
    case BvhChannel::Xposition: return "Xposition";
    case BvhChannel::Yposition: return "Yposition";
    case BvhChannel::Zposition: return "Zposition";
    case BvhChannel::Xrotation: return "Xrotation";
    case BvhChannel::Yrotation: return "Yrotation";
    case BvhChannel::Zrotation: return "Zrotation";
    }
    return "Xrotation";
}

int BvhData::findJoint(std::string_view name) const
{
    for (std::size_t i = 0; i < joints.size(); ++i) {
        if (joints[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

std::vector<int> BvhData::childrenOf(int joint) const
{
    std::vector<int> children;
    for (std::size_t i = 0; i < joints.size(); ++i) {
        if (joints[i].parent == joint)
            children.push_back(static_cast<int>(i));
    }
    return children;
}

DzQuat BvhData::localRotation(int frameIndex, int joint) const
{
    const BvhJoint &j = joints[joint];
    const float *v = frame(frameIndex) + j.firstChannel;
    DzQuat q;
    for (std::size_t c = 0; c < j.channels.size(); ++c) {
        if (isRotation(j.channels[c]))
            q = q * axisRotation(channelAxis(j.channels[c]), v[c] * kDegToRad);
    }
    return q;
}

DzVec3 BvhData::localTranslation(int frameIndex, int joint) const
{
    const BvhJoint &j = joints[joint];
    const float *v = frame(frameIndex) + j.firstChannel;
    DzVec3 t = j.offset;
    for (std::size_t c = 0; c < j.channels.size(); ++c) {
        if (!isRotation(j.channels[c]))
            t[channelAxis(j.channels[c])] = v[c];
    }
    return t;
}

std::vector<DzVec3> BvhData::restPositions() const
{
    std::vector<DzVec3> positions(joints.size());
    for (std::size_t i = 0; i < joints.size(); ++i) {
        const int p = joints[i].parent;
        positions[i] = (p >= 0 ? positions[p] : DzVec3()) + joints[i].offset;
    }
    return positions;
}

void BvhData::assignChannelIndices()
{
    int next = 0;
    for (BvhJoint &j : joints) {
        j.firstChannel = next;
        next += static_cast<int>(j.channels.size());
    }
    channelCount = next;
}

bool BvhData::validate(std::string *why) const
{
    auto fail = [why](std::string message) {
        if (why)
            *why = std::move(message);
        return false;
    };
    if (joints.empty())
        return fail("the skeleton has no joints");
    if (!(frameTime > 0.0) || !std::isfinite(frameTime))
        return fail("the frame time must be a positive number");
    if (frameCount < 0)
        return fail("the frame count is negative");
    int next = 0;
    std::unordered_set<std::string_view> names;
    for (std::size_t i = 0; i < joints.size(); ++i) {
        const BvhJoint &j = joints[i];
        if (j.name.empty())
            return fail("joint " + std::to_string(i) + " has no name");
        if (!names.insert(j.name).second)
            return fail("joint name '" + j.name + "' is used twice");
        if (i == 0 ? j.parent != -1 : (j.parent < 0 || j.parent >= static_cast<int>(i)))
            return fail("joint '" + j.name + "' does not follow its parent (or is a second root)");
        if (!isFinite(j.offset) || (j.hasEndSite && !isFinite(j.endSite)))
            return fail("joint '" + j.name + "' has an offset that is not a finite number");
        if (j.channels.size() > 6)
            return fail("joint '" + j.name + "' has more than 6 channels");
        unsigned seen = 0;
        for (BvhChannel c : j.channels) {
            const unsigned bit = 1u << static_cast<unsigned>(c);
            if (seen & bit)
                return fail("joint '" + j.name + "' lists a channel twice");
            seen |= bit;
        }
        if (j.firstChannel != next)
            return fail("joint '" + j.name + "' has an inconsistent channel index");
        next += static_cast<int>(j.channels.size());
    }
    if (next != channelCount)
        return fail("the channel count does not match the joints' channels");
    if (values.size() != static_cast<std::size_t>(frameCount) * static_cast<std::size_t>(channelCount))
        return fail("the number of values does not match frames times channels");
    for (float v : values) {
        if (!std::isfinite(v))
            return fail("the motion holds a value that is not a finite number");
    }
    return true;
}

} // namespace trelvo::motion
