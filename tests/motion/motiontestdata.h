#pragma once

// Shared helpers of the motion tests: where the shipped mocap lives and the
// frame counts its SOURCE.md lists.

#include "bvhdata.h"
#include "rotation.h"

#include <cmath>

#include <filesystem>
#include <string>
#include <vector>

namespace motiontest {

inline trelvo::motion::BvhJoint joint(const std::string &name, int parent, DzVec3 offset,
                                      std::vector<trelvo::motion::BvhChannel> channels)
{
    trelvo::motion::BvhJoint j;
    j.name = name;
    j.parent = parent;
    j.offset = offset;
    j.channels = std::move(channels);
    return j;
}

// Angle (radians, 0..pi) of the rotation that turns a into b.
inline double radiansBetween(DzQuat a, DzQuat b)
{
    const DzQuat r = a.normalize().conjugate() * b.normalize();
    return 2.0 * std::atan2(std::sqrt(r.m_x * r.m_x + r.m_y * r.m_y + r.m_z * r.m_z), std::abs(r.m_w));
}

inline double degreesBetween(const DzQuat &a, const DzQuat &b)
{
    return radiansBetween(a, b) * trelvo::motion::kRadToDeg;
}

inline std::filesystem::path mocapDir()
{
    return std::filesystem::path(TRELVO_CONTENT_DIR) / "mocap" / "bvh";
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
        {"walk_01.bvh", 344, false},         {"walk_02.bvh", 317, false},
        {"walk_03.bvh", 278, false},         {"walk_04.bvh", 524, false},
        {"walk_05.bvh", 550, false},         {"walk_06.bvh", 495, false},
        {"walk_slow_01.bvh", 450, false},    {"walk_slow_02.bvh", 485, false},
        {"walk_stride_01.bvh", 299, false},  {"walk_uneven_01.bvh", 433, false},
        {"jog_01.bvh", 174, false},          {"run_01.bvh", 149, false},
        {"run_02.bvh", 131, false},          {"run_03.bvh", 142, false},
        {"run_04.bvh", 166, false},          {"jump_balance_01.bvh", 484, false},
        {"jump_forward_01.bvh", 416, false}, {"jump_forward_02.bvh", 337, false},
        {"jump_01.bvh", 352, false},         {"jump_02.bvh", 370, false},
        {"cmu_names/dance_01.bvh", 435, true},
        {"cmu_names/dance_02.bvh", 592, true},
        {"cmu_names/dance_03.bvh", 526, true},
        {"cmu_names/turn_left_dribble_01.bvh", 1114, true},
        {"cmu_names/turn_right_dribble_01.bvh", 1147, true},
        {"cmu_names/navigate_01.bvh", 1919, true},
        {"cmu_names/punch_01.bvh", 1855, true},
        {"cmu_names/bend_lift_01.bvh", 2236, true},
    };
    return files;
}

} // namespace motiontest
