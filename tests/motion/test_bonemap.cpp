#include "bonemap.h"
#include "bvhreader.h"
#include "motiontestdata.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace trelvo::motion;

namespace {

BvhData readMocap(const std::string &relative)
{
    BvhReader reader;
    BvhData data;
    EXPECT_TRUE(reader.readFile(motiontest::mocapDir() / relative, data)) << reader.errorString();
    return data;
}

bool contains(const std::vector<std::string> &list, const std::string &name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

} // namespace

TEST(BoneMap, StandardListHasTheFiftyThreeBonesHipFirst)
{
    const auto &names = BoneMap::standardNames();
    ASSERT_EQ(names.size(), 53u);
    EXPECT_EQ(names.front(), "hip");
    EXPECT_EQ(names[17], "rToe");
    EXPECT_EQ(names.back(), "lPinky3");
    for (const std::string &name : names)
        EXPECT_EQ(BoneMap::standardNameFor(name), name);
}

TEST(BoneMap, MapsMotionBuilderNamesToTheFigure)
{
    const std::pair<const char *, const char *> table[] = {
        {"Hips", "hip"},          {"LowerBack", "abdomen"},     {"Spine", "abdomen"},
        {"Spine1", "chest"},      {"Neck", "neck"},             {"Neck1", "neck"},
        {"Head", "head"},         {"LeftShoulder", "lCollar"},  {"LeftArm", "lShldr"},
        {"LeftForeArm", "lForeArm"}, {"LeftHand", "lHand"},     {"RightShoulder", "rCollar"},
        {"RightArm", "rShldr"},   {"RightForeArm", "rForeArm"}, {"RightHand", "rHand"},
        {"LHipJoint", "lButtock"}, {"LeftUpLeg", "lThigh"},     {"LeftLeg", "lShin"},
        {"LeftFoot", "lFoot"},    {"LeftToeBase", "lToe"},      {"RHipJoint", "rButtock"},
        {"RightUpLeg", "rThigh"}, {"RightLeg", "rShin"},        {"RightFoot", "rFoot"},
        {"RightToeBase", "rToe"}, {"LeftHandIndex2", "lIndex2"}, {"RightHandMiddle3", "rMid3"},
        {"mixamorig:LeftHandThumb1", "lThumb1"}, {"HIPS", "hip"}, {"lshldr", "lShldr"},
    };
    for (const auto &[from, to] : table)
        EXPECT_EQ(BoneMap::standardNameFor(from), to) << from;
    for (const char *unknown : {"leftEye", "LeftFingerBase", "LThumb", "Reference", "", "Left"})
        EXPECT_EQ(BoneMap::standardNameFor(unknown), "") << unknown;
}

TEST(BoneMap, DazFilesMapDirectlyExceptTheEyes)
{
    const BvhData walk = readMocap("walk_01.bvh");
    const BoneMap map(walk);
    EXPECT_EQ(map.unmapped(), (std::vector<std::string>{"leftEye", "rightEye"}));
    for (std::size_t j = 0; j < walk.joints.size(); ++j) {
        const std::string &name = walk.joints[j].name;
        if (name != "leftEye" && name != "rightEye") {
            EXPECT_EQ(map.boneOf(static_cast<int>(j)), name);
        }
    }
    const BoneMap::Chain chest = map.chainOf("chest");
    EXPECT_EQ(chest.first, walk.findJoint("chest"));
    EXPECT_EQ(chest.last, chest.first);
    EXPECT_FALSE(map.chainOf("rToe").isValid());
    EXPECT_FALSE(map.chainOf("lThumb3").isValid());
}

TEST(BoneMap, CmuFilesMergeSpineAndNeckChains)
{
    const BvhData dance = readMocap("cmu_names/dance_01.bvh");
    const BoneMap map(dance);
    const BoneMap::Chain abdomen = map.chainOf("abdomen");
    EXPECT_EQ(abdomen.first, dance.findJoint("LowerBack"));
    EXPECT_EQ(abdomen.last, dance.findJoint("Spine"));
    const BoneMap::Chain neck = map.chainOf("neck");
    EXPECT_EQ(neck.first, dance.findJoint("Neck"));
    EXPECT_EQ(neck.last, dance.findJoint("Neck1"));
    EXPECT_EQ(map.chainOf("lButtock").first, dance.findJoint("LHipJoint"));
    EXPECT_EQ(map.chainOf("rToe").first, dance.findJoint("RightToeBase"));
    // The hand's extra joints carry no data and are reported once each.
    const std::vector<std::string> unmapped = map.unmapped();
    EXPECT_EQ(unmapped, (std::vector<std::string>{"LeftFingerBase", "LThumb", "RightFingerBase", "RThumb"}));
}

TEST(BoneMap, ReportsAJointThatWouldDriveAnAlreadyDrivenBone)
{
    // Two unrelated "neck" joints: the second cannot extend the first's chain.
    BvhData d;
    using motiontest::joint;
    d.joints = {joint("Hips", -1, {}, {BvhChannel::Xrotation}),
                joint("Neck", 0, {0, 1, 0}, {BvhChannel::Xrotation}),
                joint("Twist", 1, {0, 1, 0}, {BvhChannel::Xrotation}),
                joint("Neck1", 2, {0, 1, 0}, {BvhChannel::Xrotation}),
                joint("neck", 0, {0, -1, 0}, {BvhChannel::Xrotation})};
    d.assignChannelIndices();
    const BoneMap map(d);
    // Neck1 hangs below Neck through an unmapped joint: same chain.
    EXPECT_EQ(map.chainOf("neck").first, 1);
    EXPECT_EQ(map.chainOf("neck").last, 3);
    EXPECT_TRUE(contains(map.unmapped(), "Twist"));
    EXPECT_TRUE(contains(map.unmapped(), "neck"));
    EXPECT_EQ(map.boneOf(4), "");
    EXPECT_EQ(map.boneOf(99), "");
}
