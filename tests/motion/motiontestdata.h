#pragma once

// Shared helpers of the motion tests: the shipped mocap, joints built in
// code, and plain forward kinematics.

#include "bvhdata.h"
#include "bvhreader.h"
#include "rotation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace motiontest {

using namespace trelvo::motion;

inline BvhJoint joint(
    const std::string &name, int parent, DzVec3 offset, std::vector<BvhChannel> channels, DzVec3 endSite = {})
{
    BvhJoint j;
    j.name = name;
    j.parent = parent;
    j.offset = offset;
    j.channels = std::move(channels);
    j.hasEndSite = endSite.length() > 0.0f;
    j.endSite = endSite;
    return j;
}

// Angle of the rotation that turns a into b.
inline double degreesBetween(DzQuat a, DzQuat b)
{
    const DzQuat r = a.normalize().conjugate() * b.normalize();
    return 2.0 * std::atan2(std::sqrt(r.m_x * r.m_x + r.m_y * r.m_y + r.m_z * r.m_z), std::abs(r.m_w))
        * kRadToDeg;
}

// Angle between two directions.
inline double degreesBetween(const DzVec3 &a, const DzVec3 &b)
{
    const double c = double(a.dot(b)) / (double(a.length()) * double(b.length()));
    return std::acos(std::clamp(c, -1.0, 1.0)) * kRadToDeg;
}

// World rotation and position of every joint in one frame.
struct WorldPose {
    std::vector<DzQuat> rotation;
    std::vector<DzVec3> at;
};

inline WorldPose worldPose(const BvhData &d, int frame)
{
    WorldPose w { std::vector<DzQuat>(d.joints.size()), std::vector<DzVec3>(d.joints.size()) };
    for (std::size_t j = 0; j < d.joints.size(); ++j) {
        const int p = d.joints[j].parent;
        const DzVec3 t = d.localTranslation(frame, int(j));
        w.at[j] = p < 0 ? t : w.at[p] + w.rotation[p].multVec(t);
        w.rotation[j] = (p < 0 ? DzQuat() : w.rotation[p]) * d.localRotation(frame, int(j));
    }
    return w;
}

inline std::filesystem::path mocapDir()
{
    return std::filesystem::path(TRELVO_CONTENT_DIR) / "mocap" / "bvh";
}

inline BvhData readMocap(const std::filesystem::path &relative)
{
    BvhReader reader;
    BvhData data;
    EXPECT_TRUE(reader.readFile(mocapDir() / relative, data)) << reader.errorString();
    return data;
}

} // namespace motiontest
