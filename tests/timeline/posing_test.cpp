// Posing: the engine's output written to a figure's bones.
#include "timelinetestsupport.h"

#include "figurebinding.h"
#include "kyoffsets.h"
#include "kyposer.h"
#include "kytime.h"

#include "engine.h"

#include "dzfigureloader.h"
#include "dzfloatproperty.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

DzQuat about(float x, float y, float z, double degrees)
{
    return DzQuat(DzVec3(x, y, z), degrees * kPi / 180.0);
}

// A block rotation that the host sees as +degrees about (x, y, z).
BlockRotation hostAbout(float x, float y, float z, float degrees)
{
    return BlockRotation{degrees, {-x, -y, -z}};
}

void expectRotation(const DzQuat &actual, const DzQuat &expected, double toleranceDegrees = 0.05)
{
    EXPECT_LT(angleBetween(actual, expected), toleranceDegrees)
        << "actual (" << actual.m_x << ", " << actual.m_y << ", " << actual.m_z << ", " << actual.m_w
        << ") expected (" << expected.m_x << ", " << expected.m_y << ", " << expected.m_z << ", "
        << expected.m_w << ")";
}

} // namespace

class Posing : public TimelineTest
{
protected:
    void play(KyBlock *block, int localMs)
    {
        block->startOn(localMs, 0);
        engineAdvance(0);
    }
    DzNode *bone(DzSkeleton *figure, const char *name)
    {
        DzNode *node = figure->findNodeChild(QString::fromLatin1(name), true);
        EXPECT_NE(node, nullptr) << name;
        return node;
    }
    FigureBinding bindingFor(DzSkeleton *figure)
    {
        FigureBinding binding;
        binding.m_skeleton = figure;
        return binding;
    }
};

TEST_F(Posing, RootPositionUsesTheFigureScale)
{
    MotionPlan motion = still(500);
    motion.hip = [](int) { return Vec3f{10.0f, 120.0f, -5.0f}; };
    KyBlock *block = makeBlock(QStringLiteral("raised"), motion);

    DzSkeleton *standard = addFigure(QStringLiteral("standard"));
    DzSkeleton *large = addFigure(QStringLiteral("large"));
    EXPECT_FLOAT_EQ(figureScaleOf(standard), 1.0f);
    EXPECT_NEAR(figureScaleOf(large), 1.1f, 1e-5f);

    play(block, 100);
    FigureBinding s = bindingFor(standard);
    FigureBinding l = bindingFor(large);
    applyPose(s, 100, 0, PoseOptions());
    applyPose(l, 100, 0, PoseOptions());
    const DzTime t = snappedTicks(100);
    const DzVec3 ps = bone(standard, "hip")->getLocalPos(t);
    const DzVec3 pl = bone(large, "hip")->getLocalPos(t);
    EXPECT_NEAR(ps.m_x, 10.0f, 1e-3f);
    EXPECT_NEAR(ps.m_y, 20.76f, 1e-3f);
    EXPECT_NEAR(ps.m_z, -5.0f, 1e-3f);
    EXPECT_NEAR(pl.m_x, 11.0f, 1e-3f);
    EXPECT_NEAR(pl.m_y, 22.836f, 1e-3f);
    EXPECT_NEAR(pl.m_z, -5.5f, 1e-3f);
    EXPECT_NEAR(l.m_figureScale, 1.1f, 1e-5f);
    // The keys are at the snapped frame of the time.
    EXPECT_EQ(bone(standard, "hip")->getXPosControl()->getKeyTime(0), 480);
}

TEST(ContinuousAngle, StaysNextToTheReference)
{
    struct Case {
        float angle, reference, expected;
    } cases[] = {
        {10, 0, 10},     {10, 350, 370},  {-10, -350, -370}, {170, -170, -190},
        {5, 725, 725},   {-170, 170, 190}, {90, 0, 90},       {0, 180, 0},
        {-179, 179, 181}, {10, 1070, 1090},
    };
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(continuousAngle(c.angle, c.reference), c.expected)
            << c.angle << " next to " << c.reference;
}

TEST_F(Posing, RootEulerAnglesContinueFromThePreviousKey)
{
    // The previous key of the root's Y rotation is 350; the block turns it
    // +10 degrees: written as 370, not 10.
    MotionPlan motion = still(500);
    motion.rotations[QStringLiteral("hip")] = [](int) { return hostAbout(0, 1, 0, 10.0f); };
    KyBlock *block = makeBlock(QStringLiteral("turn10"), motion);
    DzSkeleton *figure = addFigure();
    DzNode *hip = bone(figure, "hip");
    hip->getYRotControl()->setValue(0, 350.0f);

    play(block, 33);
    FigureBinding binding = bindingFor(figure);
    applyPose(binding, 33, 0, PoseOptions());
    EXPECT_NEAR(hip->getYRotControl()->getValue(160), 370.0f, 1e-3f);
    EXPECT_NEAR(hip->getXRotControl()->getValue(160), 0.0f, 1e-3f);
    expectRotation(hip->getLocalRot(160), about(0, 1, 0, 10.0));

    // With only the new key there is no previous key: plain Euler angles.
    DzSkeleton *other = addFigure();
    FigureBinding second = bindingFor(other);
    applyPose(second, 33, 0, PoseOptions());
    EXPECT_NEAR(bone(other, "hip")->getYRotControl()->getValue(160), 10.0f, 1e-3f);
}

TEST_F(Posing, HeelOffsetsTurnFeetAndToes)
{
    MotionPlan motion = still(500);
    motion.rotations[QStringLiteral("lFoot")] = [](int) { return hostAbout(1, 0, 0, 0.0f); };
    motion.rotations[QStringLiteral("lToe")] = [](int) { return hostAbout(1, 0, 0, 10.0f); };
    motion.rotations[QStringLiteral("rToe")] = [](int) { return hostAbout(0, 1, 0, 15.0f); };
    KyBlock *block = makeBlock(QStringLiteral("feet"), motion);
    DzSkeleton *figure = addFigure();
    FigureBinding binding = bindingFor(figure);
    play(block, 0);

    struct Case {
        float heel;
        DzQuat foot, leftToe, rightToe;
    } cases[] = {
        // Feet turn by -h about X; toes compose +h below the 60-degree limit...
        {40.0f, about(1, 0, 0, -40), about(1, 0, 0, 50), about(1, 0, 0, 40) * about(0, 1, 0, 15)},
        // ...and are replaced by a pure +h turn above it.
        {70.0f, about(1, 0, 0, -70), about(1, 0, 0, 70), about(1, 0, 0, 70)},
        {60.0f, about(1, 0, 0, -60), about(1, 0, 0, 70), about(1, 0, 0, 60) * about(0, 1, 0, 15)},
        // Negative offsets turn the feet the other way and leave the toes.
        {-20.0f, about(1, 0, 0, 20), about(1, 0, 0, 10), about(0, 1, 0, 15)},
        {0.0f, DzQuat(), about(1, 0, 0, 10), about(0, 1, 0, 15)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.heel);
        binding.m_heelOffset = c.heel;
        applyPose(binding, 0, 0, PoseOptions());
        expectRotation(bone(figure, "lFoot")->getLocalRot(0), c.foot);
        expectRotation(bone(figure, "lToe")->getLocalRot(0), c.leftToe);
        expectRotation(bone(figure, "rToe")->getLocalRot(0), c.rightToe);
        // Sampling takes the offset back out (up to the limit).
        if (c.heel <= 60.0f) {
            expectRotation(removeHeelOffset(QStringLiteral("lToe"), c.heel,
                                            bone(figure, "lToe")->getLocalRot(0)),
                           about(1, 0, 0, 10));
            expectRotation(removeHeelOffset(QStringLiteral("lFoot"), c.heel,
                                            bone(figure, "lFoot")->getLocalRot(0)),
                           DzQuat());
        }
    }
}

TEST_F(Posing, FingerMaskingLeavesEverythingBelowTheHands)
{
    MotionPlan motion = still(500);
    for (const char *name : {"lHand", "rHand", "lIndex1", "lIndex3", "rThumb2"}) {
        motion.rotations[QString::fromLatin1(name)] = [](int) { return hostAbout(0, 0, 1, 25.0f); };
    }
    KyBlock *block = makeBlock(QStringLiteral("hands"), motion);
    DzSkeleton *figure = addFigure();
    FigureBinding binding = bindingFor(figure);
    play(block, 0);

    PoseOptions masked;
    masked.maskFingers = true;
    applyPose(binding, 0, 0, masked);
    EXPECT_GT(bone(figure, "lHand")->getZRotControl()->getNumKeys(), 0);
    EXPECT_GT(bone(figure, "rHand")->getZRotControl()->getNumKeys(), 0);
    for (const char *name : {"lIndex1", "lIndex3", "rThumb2"})
        EXPECT_EQ(bone(figure, name)->getZRotControl()->getNumKeys(), 0) << name;

    applyPose(binding, 0, 0, PoseOptions());
    for (const char *name : {"lIndex1", "lIndex3", "rThumb2"})
        expectRotation(bone(figure, name)->getLocalRot(0), about(0, 0, 1, 25.0));
}

TEST_F(Posing, BonesTheBlockDoesNotDriveKeepTheirKeys)
{
    // The block drives the hand but no finger: the hand takes the block's
    // rotation and the finger keeps the key it had.
    MotionPlan motion = still(500);
    motion.rotations[QStringLiteral("lHand")] = [](int) { return hostAbout(0, 1, 0, 30.0f); };
    KyBlock *block = makeBlock(QStringLiteral("handOnly"), motion);
    DzSkeleton *figure = addFigure();
    bone(figure, "lIndex1")->getXRotControl()->setValue(160, 12.0f);
    FigureBinding binding = bindingFor(figure);
    play(block, 33);
    applyPose(binding, 33, 0, PoseOptions());
    expectRotation(bone(figure, "lHand")->getLocalRot(160), about(0, 1, 0, 30.0));
    EXPECT_FLOAT_EQ(bone(figure, "lIndex1")->getXRotControl()->getValue(160), 12.0f);
    EXPECT_EQ(bone(figure, "lIndex1")->getXRotControl()->getNumKeys(), 1);
    EXPECT_EQ(bone(figure, "lIndex1")->getYRotControl()->getNumKeys(), 0);
}

TEST_F(Posing, RotationalOffsetsComposeBeforeTheBlockRotation)
{
    MotionPlan motion = still(500);
    motion.rotations[QStringLiteral("hip")] = [](int) { return hostAbout(0, 1, 0, 30.0f); };
    motion.rotations[QStringLiteral("rForeArm")] = [](int) { return hostAbout(0, 1, 0, 30.0f); };
    KyBlock *block = makeBlock(QStringLiteral("arms"), motion);
    DzSkeleton *figure = addFigure();
    FigureBinding binding = bindingFor(figure);
    const DzQuat x20 = about(1, 0, 0, 20);
    const DzQuat z15 = about(0, 0, 1, 15);
    ASSERT_TRUE(setRotationalOffset(binding, QStringLiteral("rForeArm"), x20.m_x, x20.m_y, x20.m_z,
                                    x20.m_w));
    ASSERT_TRUE(setRotationalOffset(binding, QStringLiteral("hip"), z15.m_x, z15.m_y, z15.m_z, z15.m_w));
    EXPECT_FALSE(setRotationalOffset(binding, QStringLiteral("tail"), 0, 0, 0, 1));
    play(block, 0);
    applyPose(binding, 0, 0, PoseOptions());
    expectRotation(bone(figure, "rForeArm")->getLocalRot(0), x20 * about(0, 1, 0, 30));
    expectRotation(bone(figure, "hip")->getLocalRot(0), z15 * about(0, 1, 0, 30));
}

TEST_F(Posing, ConversionTableReplacesEarlierOffsets)
{
    DzSkeleton *figure = addFigure();
    FigureBinding binding = bindingFor(figure);
    setRotationalOffset(binding, QStringLiteral("head"), 0, 0, 0.1, 1);
    EXPECT_EQ(applyConversionTable(binding), 6);
    EXPECT_EQ(applyConversionTable(binding), 6);
    EXPECT_EQ(binding.m_rotationalOffsets.size(), 6u);
    const DzQuat foot = binding.m_rotationalOffsets.at(bone(figure, "lFoot"));
    EXPECT_NEAR(foot.length(), 1.0, 1e-12);
    EXPECT_NEAR(foot.m_x, -0.203642 / std::hypot(0.203642, 0.979045), 1e-9);
    EXPECT_EQ(binding.m_rotationalOffsets.count(bone(figure, "head")), 0u);

    // A figure without some of the bones gets the others.
    FigureBinding none;
    EXPECT_EQ(applyConversionTable(none), 0);
}

TEST_F(Posing, SwitchesClampingOffOnDrivenBones)
{
    MotionPlan motion = still(500);
    motion.rotations[QStringLiteral("rForeArm")] = [](int) { return hostAbout(1, 0, 0, 80.0f); };
    KyBlock *block = makeBlock(QStringLiteral("bend"), motion);
    DzSkeleton *figure = addFigure();
    DzFloatProperty *x = bone(figure, "rForeArm")->getXRotControl();
    x->setMinMax(-10.0f, 10.0f);
    x->setIsClamped(true);
    FigureBinding binding = bindingFor(figure);
    play(block, 0);
    applyPose(binding, 0, 0, PoseOptions());
    EXPECT_FALSE(x->isClamped());
    expectRotation(bone(figure, "rForeArm")->getLocalRot(0), about(1, 0, 0, 80));
}

TEST_F(Posing, FollowersAndMissingSkeletonsAreLeftAlone)
{
    MotionPlan motion = still(500);
    motion.rotations[QStringLiteral("neck")] = [](int) { return hostAbout(1, 0, 0, 20.0f); };
    KyBlock *block = makeBlock(QStringLiteral("nod"), motion);
    DzSkeleton *figure = addFigure();
    DzSkeleton *clothing = addFigure();
    clothing->setFollowTarget(figure);
    FigureBinding follower = bindingFor(clothing);
    FigureBinding nobody;
    play(block, 0);
    applyPose(follower, 0, 0, PoseOptions());
    applyPose(nobody, 0, 0, PoseOptions());
    EXPECT_EQ(bone(clothing, "neck")->getXRotControl()->getNumKeys(), 0);
    EXPECT_EQ(bone(clothing, "hip")->getXPosControl()->getNumKeys(), 0);
}

TEST_F(Posing, FigureWithoutHipPosesItsTopNode)
{
    const QByteArray json = R"({"format": "trelvo-figure", "version": 1,
        "figure": {"name": "Plain", "label": "Plain", "rotationOrder": "YZX",
                   "origin": [0, 50, 0], "endPoint": [0, 60, 0]},
        "bones": [{"name": "neck", "label": "Neck", "parent": null, "origin": [0, 50, 0],
                   "endPoint": [0, 60, 0], "rotationOrder": "XYZ"}]})";
    QString error;
    DzSkeleton *plain = DzFigureLoader::loadData(json, &error);
    ASSERT_NE(plain, nullptr) << error.toStdString();
    dzScene->addNode(plain);
    MotionPlan motion = still(500);
    motion.hip = [](int) { return Vec3f{0.0f, 99.24f + 10.0f, 0.0f}; };
    motion.rotations[QStringLiteral("neck")] = [](int) { return hostAbout(1, 0, 0, 20.0f); };
    KyBlock *block = makeBlock(QStringLiteral("plain"), motion);
    FigureBinding binding = bindingFor(plain);
    play(block, 0);
    applyPose(binding, 0, 0, PoseOptions());
    // Root = the figure node, scale 50 / 99.24.
    EXPECT_NEAR(plain->getLocalPos(0).m_y, 10.0f * 50.0f / 99.24f, 1e-3f);
    expectRotation(plain->findNodeChild(QStringLiteral("neck"))->getLocalRot(0), about(1, 0, 0, 20));
}
