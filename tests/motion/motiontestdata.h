#pragma once

// Shared helpers of the motion tests: the shipped mocap and the frame counts
// its SOURCE.md lists, joints built in code, and plain forward kinematics.

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

inline BvhJoint joint(const std::string &name, int parent, DzVec3 offset, std::vector<BvhChannel> channels,
                      DzVec3 endSite = {})
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
inline double radiansBetween(DzQuat a, DzQuat b)
{
    const DzQuat r = a.normalize().conjugate() * b.normalize();
    return 2.0 * std::atan2(std::sqrt(r.m_x * r.m_x + r.m_y * r.m_y + r.m_z * r.m_z), std::abs(r.m_w));
}

inline double degreesBetween(const DzQuat &a, const DzQuat &b)
{
    return radiansBetween(a, b) * kRadToDeg;
}

// Angle between two directions.
inline double degreesBetween(const DzVec3 &a, const DzVec3 &b)
{
    const double c = double(a.dot(b)) / (double(a.length()) * double(b.length()));
    return std::acos(std::clamp(c, -1.0, 1.0)) * kRadToDeg;
}

// World rotation and position of every joint in one frame.
struct WorldPose
{
    std::vector<DzQuat> rotation;
    std::vector<DzVec3> at;
};

inline WorldPose worldPose(const BvhData &d, int frame)
{
    WorldPose w{std::vector<DzQuat>(d.joints.size()), std::vector<DzVec3>(d.joints.size())};
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

inline BvhData readMocap(const std::string &relative)
{
    BvhReader reader;
    BvhData data;
    EXPECT_TRUE(reader.readFile(mocapDir() / relative, data)) << reader.errorString();
    return data;
}

struct MocapFile
{
    std::string path;  // relative to mocapDir()
    int frames;
    bool cmuNames;
};

inline const std::vector<MocapFile> &mocapFiles()
{
    static const std::vector<MocapFile> files = {
        {"walk_01.bvh", 344, false},          {"walk_02.bvh", 317, false},        {"walk_03.bvh", 278, false},
        {"walk_04.bvh", 524, false},          {"walk_05.bvh", 550, false},        {"walk_06.bvh", 495, false},
        {"walk_slow_01.bvh", 450, false},     {"walk_slow_02.bvh", 485, false},   {"walk_stride_01.bvh", 299, false},
        {"walk_uneven_01.bvh", 433, false},   {"jog_01.bvh", 174, false},         {"run_01.bvh", 149, false},
        {"run_02.bvh", 131, false},           {"run_03.bvh", 142, false},         {"run_04.bvh", 166, false},
        {"jump_balance_01.bvh", 484, false},  {"jump_forward_01.bvh", 416, false}, {"jump_forward_02.bvh", 337, false},
        {"jump_01.bvh", 352, false},          {"jump_02.bvh", 370, false},        {"cmu_names/dance_01.bvh", 435, true},
        {"cmu_names/dance_02.bvh", 592, true}, {"cmu_names/dance_03.bvh", 526, true},
        {"cmu_names/turn_left_dribble_01.bvh", 1114, true}, {"cmu_names/turn_right_dribble_01.bvh", 1147, true},
        {"cmu_names/navigate_01.bvh", 1919, true}, {"cmu_names/punch_01.bvh", 1855, true},
        {"cmu_names/bend_lift_01.bvh", 2236, true},
    };
    return files;
}

} // namespace motiontest
