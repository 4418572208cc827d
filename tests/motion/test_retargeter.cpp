#include "bonemap.h"
#include "bvhfromclip.h"
#include "motiontestdata.h"
#include "retargeter.h"
#include "targetskeleton.h"

#include <limits>

using namespace trelvo::motion;

namespace {

// The lowest point of the named joints (figure bones, through `map` when
// given) and their End Sites in one frame.
double lowest(
    const BvhData &d, int frame, const std::vector<std::string> &names, const BoneMap *map = nullptr)
{
    const motiontest::WorldPose w = motiontest::worldPose(d, frame);
    double y = std::numeric_limits<double>::infinity();
    for (std::size_t j = 0; j < d.joints.size(); ++j) {
        const std::string name = map ? map->boneOf(int(j)) : d.joints[j].name;
        if (std::find(names.begin(), names.end(), name) == names.end())
            continue;
        const DzVec3 tip = w.at[j] + w.rotation[j].multVec(d.joints[j].endSite); // zero without one
        y = std::min({ y, double(w.at[j].m_y), double(tip.m_y) });
    }
    return y;
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
    for (const char *side : { "l", "r" }) {
        const int foot = s.find(std::string(side) + "Foot");
        TargetBone toe { std::string(side) + "Toe", foot,
            s.bones[foot].origin + (s.bones[foot].end - s.bones[foot].origin) * 0.7, s.bones[foot].end, {} };
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
    d.joints
        = { joint("hip", -1, {}, { BvhChannel::Xposition, BvhChannel::Yposition, BvhChannel::Zposition }),
              joint("lShldr", 0, { 10, 0, 0 }, { BvhChannel::Zrotation }),
              joint("lForeArm", 1, { 20, 0, 0 }, { BvhChannel::Zrotation }, { 20, 0, 0 }) };
    d.assignChannelIndices();
    d.frameCount = frames;
    for (int i = 0; i < frames; ++i)
        d.values.insert(d.values.end(), { float(i), 50.0f, 2.0f * i, 0.5f * i, 0.0f });
    return d;
}

TargetSkeleton armFigure()
{
    TargetSkeleton s;
    s.bones = { { "hip", -1, { 0, 100, 0 }, { 0, 110, 0 }, {} },
        { "lShldr", 0, { 10, 100, 0 }, { 30, 100, 0 }, {} },
        { "lForeArm", 1, { 30, 100, 0 }, { 50, 100, 0 }, {} } };
    return s;
}

} // namespace

TEST(Retargeting, ResamplingPicksFramesByTimeAndPlacesTheRootAndRefusesWhatItCannotDo)
{
    // 121 frames at 120 fps; frame 0 is the converter's T-pose. Output frame
    // k shows source frame s: lShldr at s/2 degrees, root at (s, 50, 2s)
    // scaled, less the first frame's horizontal position when starting at
    // the origin.
    const BvhData file = armFile(121, 1.0 / 120.0);
    const TargetSkeleton figure = armFigure();
    const struct {
        const char *what;
        bool dropFirst, atOrigin;
        double scale, frameTime, from, to;
        int frames; // -1: not checked
        std::vector<std::pair<int, double>> sources; // output frame, source frame
    } cases[] = {
        { "drop frame 0, 30 fps; 119/120 s", true, false, 1, 1 / 30.0, 0, -1, 30,
            { { 0, 1 }, { 1, 5 }, { 17, 69 }, { 29, 117 } } },
        { "between source frames: slerp and lerp", true, false, 1, 1 / 90.0, 0, -1, -1,
            { { 1, 1 + 4.0 / 3.0 } } },
        { "0.5 s to 0.75 s after the first kept frame", true, false, 1, 1 / 30.0, 0.5, 0.75, 8,
            { { 0, 61 }, { 7, 89 } } },
        { "first frame kept, range past the end clamped", false, false, 1, 1 / 30.0, 0.9, 100, 4,
            { { 0, 108 }, { 3, 120 } } },
        { "start at the origin, scale 2", true, true, 2, 1 / 30.0, 0, -1, 30, { { 0, 1 }, { 10, 41 } } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        // In the order of its fields, the mapping automatic.
        const RetargetOptions options { c.dropFirst, 0.0, std::nullopt, c.from, c.to, c.frameTime, c.scale,
            c.atOrigin ? RetargetOptions::Placement::StartAtOrigin
                       : RetargetOptions::Placement::KeepFilePosition };
        Retargeter retargeter(file, figure, options);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        EXPECT_TRUE(c.frames < 0 || clip.frameCount == c.frames) << clip.frameCount;
        const double start = c.atOrigin ? c.sources[0].second : 0.0;
        for (const auto &[k, s] : c.sources) {
            EXPECT_NEAR(eulerRadians(clip.rotation(k, 1), DzRotationOrder::ZYX)[2] * kRadToDeg, 0.5 * s, 1e-4)
                << k;
            const DzVec3 root(c.scale * (s - start), c.scale * 50 - 100, c.scale * 2 * (s - start));
            EXPECT_TRUE(clip.rootPositions[k].isEqual(root, 1e-4f)) << k;
        }
    }

    // What it cannot do it refuses.
    const auto options = [](double frameTime, double from = 0, double to = -1) {
        return RetargetOptions { true, 0.0, std::nullopt, from, to, frameTime, 1.0,
            RetargetOptions::Placement::StartAtOrigin };
    };
    RetargetOptions noHip; // a mapping that leaves out the root
    noHip.mapping = BoneMap::Assignments { { "lShldr", "lShldr" }, { "lForeArm", "lForeArm" } };
    const struct {
        int frames;
        RetargetOptions options;
        const char *message;
    } refusals[] = {
        { 10, noHip, "root bone 'hip'" },
        { 10, RetargetOptions(), "give a scale" }, // no End Sites below the hip: no rest hip height
        { 10, options(0.0), "" }, { 0, options(1 / 30.0), "no frames" },
        { 10, options(1 / 30.0, 5), "after the end" },
        { 10, options(1 / 30.0, 0.5, 0.2), "before it starts" },
        { 20000, options(1e-2), "too long" }, // 2 million frames of 3 bones; the file's frames are 1 s apart
    };
    for (const auto &c : refusals) {
        const BvhData take = armFile(c.frames, c.frames == 20000 ? 1.0 : 0.1);
        Retargeter r(take, figure, c.options);
        EXPECT_FALSE(&c - refusals < 3 && r.isValid()) << "bad options are known at once: " << c.message;
        MotionClip clip;
        clip.frameCount = 12345;
        EXPECT_FALSE(r.run(clip)) << c.message;
        EXPECT_EQ(clip.frameCount, 12345) << "a refused run leaves the clip alone";
        EXPECT_NE(r.errorString().find(c.message), std::string::npos) << r.errorString();
    }
}

TEST(Retargeting, WalksMoveForwardWithFeetWhereTheFilePutsThem)
{
    // Both conversions onto the same figure. The CMU skeleton's rest pose
    // (legs splayed, other proportions) differs from the figure's, so this
    // checks the rest correction and the scale on real data.
    const TargetSkeleton figure = standardLikeFigure();
    const std::vector<std::string> feet = { "lFoot", "rFoot", "lToe", "rToe" };
    struct Case {
        const char *file;
        double minSpeed, maxSpeed; // cm/s along +Z
        // Largest and mean difference (cm) between the lowest point of the
        // file's feet and the figure's. The Daz files have the figure's
        // proportions; the CMU subjects' feet are a third longer than the
        // figure's, which shifts the lowest point as a foot rolls (there is
        // no foot IK), but must not lift or sink the figure on average.
        double worstDifference, meanDifference;
    };
    for (const Case &c :
        { Case { "walk_01.bvh", 80, 200, 0.5, 0.1 }, Case { "run_01.bvh", 250, 500, 0.5, 0.1 },
            Case { "cmu_names/navigate_01.bvh", -1000, 1000, 8.0, 2.5 } }) {
        SCOPED_TRACE(c.file);
        const BvhData bvh = motiontest::readMocap(c.file);
        const BoneMap map(bvh);
        Retargeter retargeter(bvh, figure);
        MotionClip clip;
        ASSERT_TRUE(retargeter.run(clip)) << retargeter.errorString();
        // The hip's rest height scales to the figure's.
        EXPECT_TRUE(
            std::string(c.file) != "walk_01.bvh" || std::abs(retargeter.scale() - 99.24 / 82.99) < 1e-3);
        const double seconds = (clip.frameCount - 1) * clip.frameTime;
        const double speed = (clip.rootPositions.back().m_z - clip.rootPositions.front().m_z) / seconds;
        EXPECT_GT(speed, c.minSpeed);
        EXPECT_LT(speed, c.maxSpeed);

        // The lowest point of the feet, frame by frame, in the figure and in
        // the file (scaled). The captured floor is not level in every take
        // (walk_01's feet rise 9 units over the walk), so the figure must
        // follow the file rather than some fixed floor.
        BvhData posed;
        ASSERT_TRUE(bvhFromClip(figure, clip, posed));
        double worst = 0.0, sum = 0.0;
        for (int k = 0; k < clip.frameCount; ++k) {
            const int source = static_cast<int>(std::lround(1 + k * clip.frameTime / bvh.frameTime));
            const double difference
                = lowest(posed, k, feet) - lowest(bvh, source, feet, &map) * retargeter.scale();
            worst = std::max(worst, std::abs(difference));
            sum += difference;
        }
        EXPECT_LT(worst, c.worstDifference);
        EXPECT_LT(std::abs(sum / clip.frameCount), c.meanDifference);
    }
}
