#include "bonemap.h"

#include <algorithm>

namespace trelvo::motion {

namespace {

bool iequals(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

struct Alias
{
    const char *from;
    const char *to;
};

// MotionBuilder-style names (CMU's 2010 BVH release, Mixamo and most
// retargeting tools). Fingers follow the HandThumb/Index/Middle/Ring/Pinky
// pattern; CMU's single LeftHandIndex1 and LThumb carry no data but map
// harmlessly where their names fit.
constexpr Alias kAliases[] = {
    {"Hips", "hip"},
    {"LowerBack", "abdomen"},
    {"Spine", "abdomen"},
    {"Spine1", "chest"},
    {"Spine2", "chest"},
    {"Neck", "neck"},
    {"Neck1", "neck"},
    {"Head", "head"},
    {"LeftShoulder", "lCollar"},
    {"LeftArm", "lShldr"},
    {"LeftForeArm", "lForeArm"},
    {"LeftHand", "lHand"},
    {"RightShoulder", "rCollar"},
    {"RightArm", "rShldr"},
    {"RightForeArm", "rForeArm"},
    {"RightHand", "rHand"},
    {"LHipJoint", "lButtock"},
    {"LeftUpLeg", "lThigh"},
    {"LeftLeg", "lShin"},
    {"LeftFoot", "lFoot"},
    {"LeftToeBase", "lToe"},
    {"RHipJoint", "rButtock"},
    {"RightUpLeg", "rThigh"},
    {"RightLeg", "rShin"},
    {"RightFoot", "rFoot"},
    {"RightToeBase", "rToe"},
    {"LeftHandThumb1", "lThumb1"},
    {"LeftHandThumb2", "lThumb2"},
    {"LeftHandThumb3", "lThumb3"},
    {"LeftHandIndex1", "lIndex1"},
    {"LeftHandIndex2", "lIndex2"},
    {"LeftHandIndex3", "lIndex3"},
    {"LeftHandMiddle1", "lMid1"},
    {"LeftHandMiddle2", "lMid2"},
    {"LeftHandMiddle3", "lMid3"},
    {"LeftHandRing1", "lRing1"},
    {"LeftHandRing2", "lRing2"},
    {"LeftHandRing3", "lRing3"},
    {"LeftHandPinky1", "lPinky1"},
    {"LeftHandPinky2", "lPinky2"},
    {"LeftHandPinky3", "lPinky3"},
    {"RightHandThumb1", "rThumb1"},
    {"RightHandThumb2", "rThumb2"},
    {"RightHandThumb3", "rThumb3"},
    {"RightHandIndex1", "rIndex1"},
    {"RightHandIndex2", "rIndex2"},
    {"RightHandIndex3", "rIndex3"},
    {"RightHandMiddle1", "rMid1"},
    {"RightHandMiddle2", "rMid2"},
    {"RightHandMiddle3", "rMid3"},
    {"RightHandRing1", "rRing1"},
    {"RightHandRing2", "rRing2"},
    {"RightHandRing3", "rRing3"},
    {"RightHandPinky1", "rPinky1"},
    {"RightHandPinky2", "rPinky2"},
    {"RightHandPinky3", "rPinky3"},
};

const std::string kNone;

} // namespace

const std::vector<std::string> &BoneMap::standardNames()
{
    // The standard figure's bones (content/figures/standard.json), the names
    // the tables above map onto.
    static const std::vector<std::string> names = {
        "hip", "abdomen", "chest", "neck", "head",
        "rCollar", "rShldr", "rForeArm", "rHand", "lCollar", "lShldr", "lForeArm", "lHand",
        "rButtock", "rThigh", "rShin", "rFoot", "rToe", "lButtock", "lThigh", "lShin", "lFoot", "lToe",
        "rThumb1", "rThumb2", "rThumb3", "rIndex1", "rIndex2", "rIndex3", "rMid1", "rMid2", "rMid3",
        "rRing1", "rRing2", "rRing3", "rPinky1", "rPinky2", "rPinky3",
        "lThumb1", "lThumb2", "lThumb3", "lIndex1", "lIndex2", "lIndex3", "lMid1", "lMid2", "lMid3",
        "lRing1", "lRing2", "lRing3", "lPinky1", "lPinky2", "lPinky3"};
    return names;
}

bool BoneMap::isStandardName(std::string_view name)
{
    const auto &names = standardNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string_view BoneMap::standardNameFor(std::string_view jointName)
{
    const std::size_t colon = jointName.rfind(':');
    if (colon != std::string_view::npos)
        jointName.remove_prefix(colon + 1);
    for (const std::string &name : standardNames()) {
        if (iequals(name, jointName))
            return name;
    }
    for (const Alias &alias : kAliases) {
        if (iequals(alias.from, jointName))
            return alias.to;
    }
    return {};
}

BoneMap::BoneMap(const BvhData &bvh)
{
    const int count = static_cast<int>(bvh.joints.size());
    m_boneOfJoint.assign(count, std::string());
    for (int j = 0; j < count; ++j) {
        const std::string_view bone = standardNameFor(bvh.joints[j].name);
        if (bone.empty()) {
            m_unmapped.push_back(bvh.joints[j].name);
            continue;
        }
        auto it = std::find_if(m_chains.begin(), m_chains.end(), [&](const auto &c) { return c.first == bone; });
        if (it == m_chains.end()) {
            m_chains.emplace_back(std::string(bone), Chain{j, j});
            m_boneOfJoint[j] = bone;
            continue;
        }
        // Extend the chain only if j hangs below its last joint through
        // joints that drive nothing.
        int a = bvh.joints[j].parent;
        while (a >= 0 && a != it->second.last && m_boneOfJoint[a].empty())
            a = bvh.joints[a].parent;
        if (a == it->second.last) {
            it->second.last = j;
            m_boneOfJoint[j] = bone;
        } else {
            m_unmapped.push_back(bvh.joints[j].name);
        }
    }
}

const std::string &BoneMap::boneOf(int joint) const
{
    if (joint < 0 || joint >= static_cast<int>(m_boneOfJoint.size()))
        return kNone;
    return m_boneOfJoint[joint];
}

BoneMap::Chain BoneMap::chainOf(std::string_view bone) const
{
    for (const auto &c : m_chains) {
        if (c.first == bone)
            return c.second;
    }
    return {};
}

} // namespace trelvo::motion
