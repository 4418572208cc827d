#include "bonemap.h"
#include "bvhfromclip.h"
#include "bvhreader.h"
#include "bvhwriter.h"
#include "motiontestdata.h"
#include "retargeter.h"
#include "targetskeleton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace trelvo::motion;

namespace {

BvhData readMocap(const std::string &relative)
{
    BvhReader reader;
    BvhData data;
    EXPECT_TRUE(reader.readFile(motiontest::mocapDir() / relative, data)) << reader.errorString();
    return data;
}

// World rotations of the BVH joints in one frame, by plain forward kinematics.
std::vector<DzQuat> fileWorld(const BvhData &bvh, int frame)
{
    std::vector<DzQuat> world(bvh.joints.size());
    for (std::size_t j = 0; j < bvh.joints.size(); ++j) {
        const int p = bvh.joints[j].parent;
        world[j] = (p >= 0 ? world[p] : DzQuat()) * bvh.localRotation(frame, static_cast<int>(j));
    }
    return world;
}

// The figure posed by a clip frame, the way the host places joints:
// world = parent world * translate(origin + local position) * rotation * translate(-origin).
struct Posed
{
    std::vector<DzQuat> rotation;  // world rotation per bone
    std::vector<DzVec3> joint;     // world position of each bone's origin
    DzVec3 end(const TargetSkeleton &s, int b) const { return joint[b] + rotation[b].multVec(s.bones[b].end - s.bones[b].origin); }
};

Posed pose(const TargetSkeleton &s, const MotionClip &clip, int frame)
{
    Posed p;
    p.rotation.resize(s.bones.size());
    p.joint.resize(s.bones.size());
    for (std::size_t b = 0; b < s.bones.size(); ++b) {
        const int parent = s.bones[b].parent;
        const DzQuat &local = clip.rotation(frame, static_cast<int>(b));
        if (parent < 0) {
            p.rotation[b] = local;
            p.joint[b] = s.bones[b].origin + (b == 0 ? clip.rootPositions[frame] : DzVec3());
        } else {
            p.rotation[b] = p.rotation[parent] * local;
            p.joint[b] = p.joint[parent] + p.rotation[parent].multVec(s.bones[b].origin - s.bones[parent].origin);
        }
    }
    return p;
}

void scaleSkeleton(TargetSkeleton &s, double factor)
{
    for (TargetBone &b : s.bones) {
        b.origin = b.origin * factor;
        b.end = b.end * factor;
    }
}

// A figure like the standard one: the Daz file's proportions, scaled to a
// hip origin at 99.24, with toes the file does not have.
TargetSkeleton standardLikeFigure()
{
    const BvhData walk = readMocap("walk_01.bvh");
    TargetSkeleton s = TargetSkeleton::fromBvh(walk, BoneMap(walk));
    scaleSkeleton(s, 99.24 / s.bones[0].origin.m_y);
    for (const char *side : {"l", "r"}) {
        const int foot = s.find(std::string(side) + "Foot");
        TargetBone toe;
        toe.name = std::string(side) + "Toe";
        toe.parent = foot;
        toe.origin = s.bones[foot].origin + (s.bones[foot].end - s.bones[foot].origin) * 0.7;
        toe.end = s.bones[foot].end;
        s.bones[foot].end = toe.origin;
        s.bones.push_back(toe);
    }
    return s;
}

// Synthetic file: hip -> lShldr -> lForeArm, the arm along +X at rest.
// Frame i: root at (i, 50, 2i), lShldr turned i/2 degrees about Z.
BvhData armFile(int frames, double frameTime)
{
    BvhData d;
    d.frameTime = frameTime;
    using motiontest::joint;
    d.joints = {joint("hip", -1, {}, {BvhChannel::Xposition, BvhChannel::Yposition, BvhChannel::Zposition}),
                joint("lShldr", 0, {10, 0, 0}, {BvhChannel::Zrotation}),
                joint("lForeArm", 1, {20, 0, 0}, {BvhChannel::Zrotation})};
    d.joints[2].hasEndSite = true;
    d.joints[2].endSite = {20, 0, 0};
    d.assignChannelIndices();
    d.frameCount = frames;
    for (int i = 0; i < frames; ++i) {
        const float v[] = {float(i), 50.0f, 2.0f * i, 0.5f * i, 0.0f};
        d.values.insert(d.values.end(), std::begin(v), std::end(v));
    }
    return d;
}

TargetSkeleton armFigure(DzVec3 shoulderDirection)
{
    TargetSkeleton s;
    s.bones = {{"hip", -1, {0, 100, 0}, {0, 110, 0}, {}},
               {"lShldr", 0, {10, 100, 0}, DzVec3(10, 100, 0) + shoulderDirection * 20, {}},
               {"lForeArm", 1, DzVec3(10, 100, 0) + shoulderDirection * 20, DzVec3(10, 100, 0) + shoulderDirection * 40, {}}};
    return s;
}

double angleOf(const DzQuat &q, int axis)
{
    return eulerRadians(q, DzRotationOrder::ZYX)[axis] * kRadToDeg;
}

} // namespace

TEST(Retargeting, FileOntoItsOwnRestPoseGivesBackItsRotations)
{
    for (const char *file : {"walk_01.bvh", "cmu_names/dance_01.bvh"}) {
        SCOPED_TRACE(file);
        const BvhData bvh = readMocap(file);
        const BoneMap map(bvh);
        const TargetSkeleton own = TargetSkeleton::fromBvh(bvh, map);
        ASSERT_FALSE(own.bones.empty());
        RetargetOptions options;
        options.dropFirstFrame = false;
        options.frameTime = bvh.frameTime;
        options.placement = RetargetOptions::Placement::KeepFilePosition;
        Retargeter retargeter(bvh, own, options);
        ASSERT_TRUE(retargeter.isValid()) << retargeter.errorString();
        EXPECT_NEAR(retargeter.scale(), 1.0, 1e-12);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        ASSERT_EQ(clip.frameCount, bvh.frameCount);
        for (int b = 0; b < clip.boneCount(); ++b)
            EXPECT_LT(motiontest::radiansBetween(retargeter.restCorrection(b), DzQuat()), 1e-5) << own.bones[b].name;

        const int hipJoint = map.chainOf("hip").first;
        const DzVec3 rest0 = bvh.restPositions()[hipJoint];
        for (int f = 0; f < bvh.frameCount; f += 7) {
            const std::vector<DzQuat> world = fileWorld(bvh, f);
            const Posed posed = pose(own, clip, f);
            std::vector<DzVec3> fileAt(bvh.joints.size());
            for (std::size_t j = 1; j < bvh.joints.size(); ++j) {
                const int p = bvh.joints[j].parent;
                fileAt[j] = fileAt[p] + world[p].multVec(bvh.joints[j].offset);
            }
            for (std::size_t j = 0; j < bvh.joints.size(); ++j)
                fileAt[j] += own.bones[0].origin - rest0;
            std::vector<bool> rigid(clip.boneCount(), true);
            for (int b = 0; b < clip.boneCount(); ++b) {
                const BoneMap::Chain chain = map.chainOf(own.bones[b].name);
                // A chain of joints bends: its bone is aimed, so only a
                // single joint's orientation is the bone's.
                if (chain.first == chain.last) {
                    ASSERT_LT(motiontest::radiansBetween(posed.rotation[b], world[chain.last]), 1e-5)
                        << own.bones[b].name << " frame " << f;
                }
                // Below single joints only (a bending chain's straight bone
                // cannot keep its length), every joint lands where the
                // file has it and keeps the file's local rotation.
                const int parent = own.bones[b].parent;
                rigid[b] = parent < 0 || (rigid[parent] && map.chainOf(own.bones[parent].name).first
                                                               == map.chainOf(own.bones[parent].name).last);
                if (!rigid[b])
                    continue;
                const DzVec3 at = posed.joint[b] - (posed.joint[0] - own.bones[0].origin);
                EXPECT_LT((at - fileAt[chain.first]).length(), 1e-3) << own.bones[b].name << " frame " << f;
                if (chain.first == chain.last && own.bones[b].parent >= 0
                    && map.chainOf(own.bones[own.bones[b].parent].name).last == bvh.joints[chain.first].parent) {
                    ASSERT_LT(motiontest::radiansBetween(clip.rotation(f, b), bvh.localRotation(f, chain.first)), 1e-5);
                }
            }
            const DzVec3 hip = own.bones[0].origin + clip.rootPositions[f];
            const DzVec3 file = bvh.localTranslation(f, hipJoint);
            // Scale 1 and the same floor: the hip is where the file has it.
            EXPECT_NEAR(hip.m_x, file.m_x, 1e-4);
            EXPECT_NEAR(hip.m_y, file.m_y, 1e-4);
            EXPECT_NEAR(hip.m_z, file.m_z, 1e-4);
        }
    }
}

TEST(Retargeting, ResamplingPicksFramesByTime)
{
    // 121 frames at 120 fps; frame 0 is the converter's T-pose.
    const BvhData file = armFile(121, 1.0 / 120.0);
    const TargetSkeleton figure = armFigure({1, 0, 0});
    RetargetOptions options;
    options.scale = 1.0;
    options.placement = RetargetOptions::Placement::KeepFilePosition;
    {
        // Defaults: drop frame 0, 30 fps. Output k is source frame 1 + 4k.
        Retargeter retargeter(file, figure, options);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        EXPECT_EQ(clip.frameCount, 30);  // 119/120 s of motion
        for (int k : {0, 1, 17, 29}) {
            EXPECT_NEAR(angleOf(clip.rotation(k, 1), 2), 0.5 * (1 + 4 * k), 1e-4) << k;
            EXPECT_NEAR(clip.rootPositions[k].m_z, 2.0 * (1 + 4 * k), 1e-4) << k;
        }
    }
    {
        // Between source frames: interpolated, slerp and lerp alike.
        options.frameTime = 1.0 / 90.0;
        Retargeter retargeter(file, figure, options);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        EXPECT_NEAR(angleOf(clip.rotation(1, 1), 2), 0.5 * (1 + 4.0 / 3.0), 1e-5);
        EXPECT_NEAR(clip.rootPositions[1].m_x, 1 + 4.0 / 3.0, 1e-5);
        EXPECT_NEAR(clip.rootPositions[1].m_y, 50 - 100, 1e-4);
    }
    {
        // A range: 0.5 s to 0.75 s after the first kept frame.
        options.frameTime = 1.0 / 30.0;
        options.fromSeconds = 0.5;
        options.toSeconds = 0.75;
        Retargeter retargeter(file, figure, options);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        EXPECT_EQ(clip.frameCount, 8);
        EXPECT_NEAR(angleOf(clip.rotation(0, 1), 2), 0.5 * 61, 1e-4);
        EXPECT_NEAR(angleOf(clip.rotation(7, 1), 2), 0.5 * 89, 1e-4);
    }
    {
        // Keeping the first frame starts at source frame 0; a range past
        // the end is clamped.
        options.dropFirstFrame = false;
        options.fromSeconds = 0.9;
        options.toSeconds = 100.0;
        Retargeter retargeter(file, figure, options);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        EXPECT_EQ(clip.frameCount, 4);  // 0.9, 0.933, 0.967, 1.0 s
        EXPECT_NEAR(angleOf(clip.rotation(0, 1), 2), 0.5 * 108, 1e-4);
        EXPECT_NEAR(angleOf(clip.rotation(3, 1), 2), 0.5 * 120, 1e-4);
    }
}

TEST(Retargeting, StartAtOriginRemovesOnlyTheHorizontalStart)
{
    const BvhData file = armFile(121, 1.0 / 120.0);
    const TargetSkeleton figure = armFigure({1, 0, 0});
    RetargetOptions options;
    options.scale = 2.0;
    Retargeter retargeter(file, figure, options);
    MotionClip clip;
    ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
    EXPECT_NEAR(clip.rootPositions[0].m_x, 0.0, 1e-12);
    EXPECT_NEAR(clip.rootPositions[0].m_z, 0.0, 1e-12);
    EXPECT_NEAR(clip.rootPositions[0].m_y, 2 * 50 - 100, 1e-12);
    // Frame k is source 1 + 4k: x grows by 4 * 2 per frame, z by 8 * 2.
    EXPECT_NEAR(clip.rootPositions[10].m_x, 80.0, 1e-4);
    EXPECT_NEAR(clip.rootPositions[10].m_z, 160.0, 1e-4);
}

TEST(Retargeting, ScalesTheFilesRestHipHeightToTheFiguresHip)
{
    const BvhData walk = readMocap("walk_01.bvh");
    const TargetSkeleton figure = standardLikeFigure();
    Retargeter retargeter(walk, figure);
    ASSERT_TRUE(retargeter.isValid()) << retargeter.errorString();
    EXPECT_NEAR(retargeter.scale(), 99.24 / 82.99, 1e-3);
}

TEST(Retargeting, WalksMoveForwardWithFeetWhereTheFilePutsThem)
{
    // Both conversions onto the same figure. The CMU skeleton's rest pose
    // (legs splayed, other proportions) differs from the figure's, so this
    // checks the rest correction and the scale on real data.
    const TargetSkeleton figure = standardLikeFigure();
    const char *const footBones[] = {"lFoot", "rFoot", "lToe", "rToe"};
    struct Case
    {
        const char *file;
        double minSpeed, maxSpeed;  // cm/s along +Z
        // Largest and mean difference (cm) between the lowest point of the
        // file's feet and the figure's. The Daz files have the figure's
        // proportions; the CMU subjects' feet are a third longer than the
        // figure's, which shifts the lowest point as a foot rolls (there is
        // no foot IK), but must not lift or sink the figure on average.
        double worstDifference;
        double meanDifference;
    };
    for (const Case &c : {Case{"walk_01.bvh", 80, 200, 0.5, 0.1}, Case{"walk_04.bvh", 80, 200, 0.5, 0.1},
                          Case{"run_01.bvh", 250, 500, 0.5, 0.1},
                          Case{"cmu_names/navigate_01.bvh", -1000, 1000, 8.0, 2.5},
                          Case{"cmu_names/dance_01.bvh", -1000, 1000, 8.0, 2.5}}) {
        SCOPED_TRACE(c.file);
        const BvhData bvh = readMocap(c.file);
        const BoneMap map(bvh);
        Retargeter retargeter(bvh, figure);
        ASSERT_TRUE(retargeter.isValid()) << retargeter.errorString();
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        const double seconds = (clip.frameCount - 1) * clip.frameTime;
        const double speed = (clip.rootPositions.back().m_z - clip.rootPositions.front().m_z) / seconds;
        EXPECT_GT(speed, c.minSpeed);
        EXPECT_LT(speed, c.maxSpeed);

        // The lowest point of the feet, frame by frame, in the figure and in
        // the file (scaled). The captured floor is not level in every take
        // (walk_01's feet rise 9 units over the walk), so the figure must
        // follow the file rather than some fixed floor.
        double worst = 0.0, sum = 0.0;
        for (int k = 0; k < clip.frameCount; ++k) {
            const int source = static_cast<int>(std::lround(1 + k * clip.frameTime / bvh.frameTime));
            std::vector<DzQuat> world(bvh.joints.size());
            std::vector<DzVec3> at(bvh.joints.size());
            double fileLowest = std::numeric_limits<double>::infinity();
            for (std::size_t j = 0; j < bvh.joints.size(); ++j) {
                const int p = bvh.joints[j].parent;
                at[j] = (p >= 0 ? at[p] : DzVec3()) + (p >= 0 ? world[p] : DzQuat()).multVec(bvh.localTranslation(source, int(j)));
                world[j] = (p >= 0 ? world[p] : DzQuat()) * bvh.localRotation(source, int(j));
                const std::string &bone = map.boneOf(int(j));
                if (std::find(std::begin(footBones), std::end(footBones), bone) == std::end(footBones))
                    continue;
                fileLowest = std::min(fileLowest, double(at[j].m_y));
                if (bvh.joints[j].hasEndSite)
                    fileLowest = std::min(fileLowest, double((at[j] + world[j].multVec(bvh.joints[j].endSite)).m_y));
            }
            const Posed posed = pose(figure, clip, k);
            double figureLowest = std::numeric_limits<double>::infinity();
            for (const char *name : footBones) {
                const int b = figure.find(name);
                figureLowest = std::min({figureLowest, double(posed.joint[b].m_y), double(posed.end(figure, b).m_y)});
            }
            const double difference = figureLowest - fileLowest * retargeter.scale();
            worst = std::max(worst, std::abs(difference));
            sum += difference;
        }
        EXPECT_LT(worst, c.worstDifference);
        EXPECT_LT(std::abs(sum / clip.frameCount), c.meanDifference);
    }
}

TEST(Retargeting, RefusesWhatItCannotDo)
{
    const TargetSkeleton figure = armFigure({1, 0, 0});
    {
        // A mapping that leaves out the root.
        RetargetOptions noHip;
        noHip.mapping = BoneMap::Assignments{{"lShldr", "lShldr"}, {"lForeArm", "lForeArm"}};
        Retargeter r(armFile(10, 0.1), figure, noHip);
        EXPECT_FALSE(r.isValid());
        EXPECT_NE(r.errorString().find("root bone 'hip'"), std::string::npos) << r.errorString();
        MotionClip clip;
        EXPECT_FALSE(r.run(clip));
    }
    {
        // Without End Sites below the hip there is no rest hip height.
        BvhData flat = armFile(10, 0.1);
        Retargeter r(flat, figure);
        EXPECT_FALSE(r.isValid());
        EXPECT_NE(r.errorString().find("give a scale"), std::string::npos) << r.errorString();
    }
    RetargetOptions options;
    options.scale = 1.0;
    auto runError = [&](const BvhData &file, const RetargetOptions &o) {
        Retargeter r(file, figure, o);
        MotionClip clip;
        clip.frameCount = 12345;
        EXPECT_FALSE(r.run(clip));
        EXPECT_EQ(clip.frameCount, 12345) << "a refused run leaves the clip alone";
        return r.errorString();
    };
    EXPECT_NE(runError(armFile(0, 0.1), options).find("no frames"), std::string::npos);
    RetargetOptions late = options;
    late.fromSeconds = 5.0;
    EXPECT_NE(runError(armFile(10, 0.1), late).find("after the end"), std::string::npos);
    RetargetOptions backwards = options;
    backwards.fromSeconds = 0.5;
    backwards.toSeconds = 0.2;
    EXPECT_NE(runError(armFile(10, 0.1), backwards).find("before it starts"), std::string::npos);
    RetargetOptions dense = options;
    dense.frameTime = 1e-4;
    EXPECT_NE(runError(armFile(20000, 1.0), dense).find("too long"), std::string::npos);
    RetargetOptions badStep = options;
    badStep.frameTime = 0.0;
    EXPECT_FALSE(Retargeter(armFile(10, 0.1), figure, badStep).isValid());
}
