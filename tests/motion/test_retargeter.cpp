#include "bonemap.h"
#include "motiontestdata.h"
#include "retargeter.h"
#include "targetskeleton.h"

#include <limits>

using namespace trelvo::motion;
using motiontest::radiansBetween;

namespace {

// The figure posed by a clip frame, the way the host places joints:
// world = parent world * translate(origin + local position) * rotation * translate(-origin).
struct Posed
{
    std::vector<DzQuat> rotation;  // world rotation per bone
    std::vector<DzVec3> joint;     // world position of each bone's origin
};

Posed pose(const TargetSkeleton &s, const MotionClip &clip, int frame)
{
    Posed p{std::vector<DzQuat>(s.bones.size()), std::vector<DzVec3>(s.bones.size())};
    for (std::size_t b = 0; b < s.bones.size(); ++b) {
        const int parent = s.bones[b].parent;
        const DzQuat &local = clip.rotation(frame, static_cast<int>(b));
        p.rotation[b] = parent < 0 ? local : p.rotation[parent] * local;
        p.joint[b] = parent < 0 ? s.bones[b].origin + (b == 0 ? clip.rootPositions[frame] : DzVec3())
                                : p.joint[parent]
                                      + p.rotation[parent].multVec(s.bones[b].origin - s.bones[parent].origin);
    }
    return p;
}

// A figure like the standard one: the Daz file's proportions, scaled to a
// hip origin at 99.24, with toes the file does not have.
TargetSkeleton standardLikeFigure()
{
    const BvhData walk = motiontest::readMocap("walk_01.bvh");
    TargetSkeleton s = TargetSkeleton::fromBvh(walk, BoneMap(walk));
    const double factor = 99.24 / s.bones[0].origin.m_y;
    for (TargetBone &b : s.bones) {
        b.origin = b.origin * factor;
        b.end = b.end * factor;
    }
    for (const char *side : {"l", "r"}) {
        const int foot = s.find(std::string(side) + "Foot");
        TargetBone toe{std::string(side) + "Toe", foot,
                       s.bones[foot].origin + (s.bones[foot].end - s.bones[foot].origin) * 0.7, s.bones[foot].end, {}};
        s.bones[foot].end = toe.origin;
        s.bones.push_back(toe);
    }
    return s;
}

// Synthetic file: hip -> lShldr -> lForeArm, the arm along +X at rest.
// Frame i: root at (i, 50, 2i), lShldr turned i/2 degrees about Z.
BvhData armFile(int frames, double frameTime)
{
    using motiontest::joint;
    BvhData d;
    d.frameTime = frameTime;
    d.joints = {joint("hip", -1, {}, {BvhChannel::Xposition, BvhChannel::Yposition, BvhChannel::Zposition}),
                joint("lShldr", 0, {10, 0, 0}, {BvhChannel::Zrotation}),
                joint("lForeArm", 1, {20, 0, 0}, {BvhChannel::Zrotation}, {20, 0, 0})};
    d.assignChannelIndices();
    d.frameCount = frames;
    for (int i = 0; i < frames; ++i)
        d.values.insert(d.values.end(), {float(i), 50.0f, 2.0f * i, 0.5f * i, 0.0f});
    return d;
}

TargetSkeleton armFigure()
{
    TargetSkeleton s;
    s.bones = {{"hip", -1, {0, 100, 0}, {0, 110, 0}, {}},
               {"lShldr", 0, {10, 100, 0}, {30, 100, 0}, {}},
               {"lForeArm", 1, {30, 100, 0}, {50, 100, 0}, {}}};
    return s;
}

} // namespace

TEST(Retargeting, FileOntoItsOwnRestPoseGivesBackItsRotations)
{
    for (const char *file : {"walk_01.bvh", "cmu_names/dance_01.bvh"}) {
        SCOPED_TRACE(file);
        const BvhData bvh = motiontest::readMocap(file);
        const BoneMap map(bvh);
        const TargetSkeleton own = TargetSkeleton::fromBvh(bvh, map);
        ASSERT_FALSE(own.bones.empty());
        RetargetOptions options;
        options.dropFirstFrame = false;
        options.frameTime = bvh.frameTime;
        options.placement = RetargetOptions::Placement::KeepFilePosition;
        Retargeter retargeter(bvh, own, options);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        EXPECT_NEAR(retargeter.scale(), 1.0, 1e-12);
        ASSERT_EQ(clip.frameCount, bvh.frameCount);
        for (int b = 0; b < clip.boneCount(); ++b)
            EXPECT_LT(radiansBetween(retargeter.restCorrection(b), DzQuat()), 1e-5) << own.bones[b].name;

        const auto chain = [&](int b) { return map.chainOf(own.bones[b].name); };
        const int hip = chain(0).first;
        for (int f = 0; f < bvh.frameCount; f += 7) {
            const motiontest::WorldPose file = motiontest::worldPose(bvh, f);
            const Posed posed = pose(own, clip, f);
            // Scale 1 and the same floor: the hip is where the file has it.
            EXPECT_LT((posed.joint[0] - file.at[hip]).length(), 2e-4) << "frame " << f;
            std::vector<bool> rigid(clip.boneCount());
            for (int b = 0; b < clip.boneCount(); ++b) {
                const BoneMap::Chain c = chain(b);
                const int parent = own.bones[b].parent;
                // Below single joints only (a bending chain's straight bone
                // cannot keep its length), every joint lands where the file
                // has it, and keeps the file's local rotation.
                rigid[b] = parent < 0 || (rigid[parent] && chain(parent).first == chain(parent).last);
                // A chain of joints bends: its bone is aimed, so only a
                // single joint's orientation is the bone's.
                if (c.first == c.last) {
                    ASSERT_LT(radiansBetween(posed.rotation[b], file.rotation[c.last]), 1e-5)
                        << own.bones[b].name << " frame " << f;
                    const bool local = rigid[b] && parent >= 0 && chain(parent).last == bvh.joints[c.first].parent;
                    ASSERT_LT(local ? radiansBetween(clip.rotation(f, b), bvh.localRotation(f, c.first)) : 0, 1e-5);
                }
                const DzVec3 off = (posed.joint[b] - posed.joint[0]) - (file.at[c.first] - file.at[hip]);
                EXPECT_LT(rigid[b] ? off.length() : 0.0f, 1e-3) << own.bones[b].name << " frame " << f;
            }
        }
    }
}

TEST(Retargeting, ResamplingPicksFramesByTimeAndPlacesTheRoot)
{
    // 121 frames at 120 fps; frame 0 is the converter's T-pose. Output frame
    // k shows source frame s: lShldr at s/2 degrees, root at (s, 50, 2s)
    // scaled, less the first frame's horizontal position when starting at
    // the origin.
    const BvhData file = armFile(121, 1.0 / 120.0);
    const TargetSkeleton figure = armFigure();
    const struct
    {
        const char *what;
        bool dropFirst, atOrigin;
        double scale, frameTime, from, to;
        int frames;  // -1: not checked
        std::vector<std::pair<int, double>> sources;  // output frame, source frame
    } cases[] = {
        {"drop frame 0, 30 fps; 119/120 s", true, false, 1, 1 / 30.0, 0, -1, 30, {{0, 1}, {1, 5}, {17, 69}, {29, 117}}},
        {"between source frames: slerp and lerp", true, false, 1, 1 / 90.0, 0, -1, -1, {{1, 1 + 4.0 / 3.0}}},
        {"0.5 s to 0.75 s after the first kept frame", true, false, 1, 1 / 30.0, 0.5, 0.75, 8, {{0, 61}, {7, 89}}},
        {"first frame kept, range past the end clamped", false, false, 1, 1 / 30.0, 0.9, 100, 4, {{0, 108}, {3, 120}}},
        {"start at the origin, scale 2", true, true, 2, 1 / 30.0, 0, -1, 30, {{0, 1}, {10, 41}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        RetargetOptions options;
        options.scale = c.scale;
        options.placement = c.atOrigin ? RetargetOptions::Placement::StartAtOrigin
                                       : RetargetOptions::Placement::KeepFilePosition;
        options.dropFirstFrame = c.dropFirst;
        options.frameTime = c.frameTime;
        options.fromSeconds = c.from;
        options.toSeconds = c.to;
        Retargeter retargeter(file, figure, options);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        EXPECT_TRUE(c.frames < 0 || clip.frameCount == c.frames) << clip.frameCount;
        const double start = c.atOrigin ? c.sources[0].second : 0.0;
        for (const auto &[k, s] : c.sources) {
            EXPECT_NEAR(eulerRadians(clip.rotation(k, 1), DzRotationOrder::ZYX)[2] * kRadToDeg, 0.5 * s, 1e-4) << k;
            EXPECT_NEAR(clip.rootPositions[k].m_x, c.scale * (s - start), 1e-4) << k;
            EXPECT_NEAR(clip.rootPositions[k].m_y, c.scale * 50 - 100, 1e-4) << k;
            EXPECT_NEAR(clip.rootPositions[k].m_z, c.scale * 2 * (s - start), 1e-4) << k;
        }
    }
}

TEST(Retargeting, WalksMoveForwardWithFeetWhereTheFilePutsThem)
{
    // Both conversions onto the same figure. The CMU skeleton's rest pose
    // (legs splayed, other proportions) differs from the figure's, so this
    // checks the rest correction and the scale on real data.
    const TargetSkeleton figure = standardLikeFigure();
    const std::vector<std::string> feet = {"lFoot", "rFoot", "lToe", "rToe"};
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
        const BvhData bvh = motiontest::readMocap(c.file);
        const BoneMap map(bvh);
        Retargeter retargeter(bvh, figure);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        // The hip's rest height scales to the figure's.
        EXPECT_TRUE(std::string(c.file) != "walk_01.bvh" || std::abs(retargeter.scale() - 99.24 / 82.99) < 1e-3);
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
            const motiontest::WorldPose file = motiontest::worldPose(bvh, source);
            double fileLowest = std::numeric_limits<double>::infinity();
            for (std::size_t j = 0; j < bvh.joints.size(); ++j) {
                if (std::find(feet.begin(), feet.end(), map.boneOf(int(j))) == feet.end())
                    continue;
                const BvhJoint &joint = bvh.joints[j];
                const DzVec3 tip = file.at[j] + file.rotation[j].multVec(joint.hasEndSite ? joint.endSite : DzVec3());
                fileLowest = std::min({fileLowest, double(file.at[j].m_y), double(tip.m_y)});
            }
            const Posed posed = pose(figure, clip, k);
            double figureLowest = std::numeric_limits<double>::infinity();
            for (const std::string &name : feet) {
                const int b = figure.find(name);
                const DzVec3 end =
                    posed.joint[b] + posed.rotation[b].multVec(figure.bones[b].end - figure.bones[b].origin);
                figureLowest = std::min({figureLowest, double(posed.joint[b].m_y), double(end.m_y)});
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
    const TargetSkeleton figure = armFigure();
    const BvhData file = armFile(10, 0.1);
    RetargetOptions noHip;  // a mapping that leaves out the root
    noHip.mapping = BoneMap::Assignments{{"lShldr", "lShldr"}, {"lForeArm", "lForeArm"}};
    Retargeter unrooted(file, figure, noHip);
    EXPECT_FALSE(unrooted.isValid());
    EXPECT_NE(unrooted.errorString().find("root bone 'hip'"), std::string::npos) << unrooted.errorString();
    MotionClip none;
    EXPECT_FALSE(unrooted.run(none));
    // Without End Sites below the hip there is no rest hip height.
    Retargeter unscaled(file, figure);
    EXPECT_FALSE(unscaled.isValid());
    EXPECT_NE(unscaled.errorString().find("give a scale"), std::string::npos) << unscaled.errorString();
    RetargetOptions badStep;
    badStep.scale = 1.0;
    badStep.frameTime = 0.0;
    EXPECT_FALSE(Retargeter(file, figure, badStep).isValid());

    const struct
    {
        int frames;
        double frameTime, from, to;
        const char *message;
    } cases[] = {
        {0, 1 / 30.0, 0, -1, "no frames"},
        {10, 1 / 30.0, 5, -1, "after the end"},
        {10, 1 / 30.0, 0.5, 0.2, "before it starts"},
        {20000, 1e-4, 0, -1, "too long"},  // the file's frames are 1 s apart
    };
    for (const auto &c : cases) {
        RetargetOptions options;
        options.scale = 1.0;
        options.frameTime = c.frameTime;
        options.fromSeconds = c.from;
        options.toSeconds = c.to;
        const BvhData take = armFile(c.frames, c.frames == 20000 ? 1.0 : 0.1);
        Retargeter r(take, figure, options);
        MotionClip clip;
        clip.frameCount = 12345;
        EXPECT_FALSE(r.run(clip));
        EXPECT_EQ(clip.frameCount, 12345) << "a refused run leaves the clip alone";
        EXPECT_NE(r.errorString().find(c.message), std::string::npos) << r.errorString();
    }
}
