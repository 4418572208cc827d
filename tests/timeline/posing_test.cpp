// Posing: the engine's output written to a figure's bones. Posing resolves
// a figure's bones once and keeps that plan while nothing changes: renames,
// new and deleted bones and a changed node table must still reach the
// right bones.
#include "timelinetestsupport.h"

#include "kyevaluator.h"
#include "kyoffsets.h"
#include "kyposer.h"

#include "engine.h"

namespace {

DzQuat about(float x, float y, float z, double degrees)
{
    return DzQuat(DzVec3(x, y, z), degrees * 3.14159265358979323846 / 180.0);
}

void expectRotation(const DzQuat &actual, const DzQuat &expected)
{
    EXPECT_LT(angleBetween(actual, expected), 0.05)
        << "degrees between the rotation posed and the one expected";
}

} // namespace

class Posing : public TimelineTest {
protected:
    // A 500 ms block whose bones the host sees turned by +degrees about
    // (x, y, z) (the block stores the negated axis).
    MotionPlan turned(std::initializer_list<const char *> bones, float x, float y, float z, float degrees)
    {
        MotionPlan motion = still(500);
        for (const char *bone : bones)
            motion.hold(QString::fromLatin1(bone), degrees, { -x, -y, -z });
        return motion;
    }
    // Plays the block at localMs and poses a fresh binding of figure (with
    // the heel offset) at t.
    void pose(const MotionPlan &motion, DzSkeleton *figure, int localMs, PoseOptions options = PoseOptions(),
        FigureBinding *binding = nullptr)
    {
        KyBlock *block = makeBlock(QStringLiteral("b%1").arg(++m_blocks), motion);
        block->startOn(localMs, 0);
        engineAdvance(0);
        FigureBinding own;
        own.m_skeleton = figure;
        applyPose(binding ? *binding : own, localMs, 0, options);
    }
    int m_blocks = 0;
};

TEST_F(Posing, RootPositionUsesTheFigureScaleAtTheSnappedFrame)
{
    MotionPlan motion = still(500);
    motion.hip = [](int) { return Vec3f { 10.0f, 120.0f, -5.0f }; };
    DzSkeleton *standard = addFigure(QStringLiteral("standard"));
    DzSkeleton *large = addFigure(QStringLiteral("large"));
    pose(motion, standard, 100);
    pose(motion, large, 100);
    // Less the rest height 99.24, times the figure's scale.
    EXPECT_LT(
        (boneOf(standard, "hip")->getLocalPos(snappedTicks(100)) - DzVec3(10, 20.76, -5)).length(), 1e-3);
    EXPECT_LT(
        (boneOf(large, "hip")->getLocalPos(snappedTicks(100)) - DzVec3(11, 22.836, -5.5)).length(), 1e-3);
    EXPECT_EQ(boneOf(standard, "hip")->getXPosControl()->getKeyTime(0), 480);
}

TEST(ContinuousAngle, StaysNextToTheReference)
{
    // Angle, reference, the angle as written next to the reference.
    const std::tuple<float, float, float> cases[] = {
        { 10, 350, 370 },
        { -10, -350, -370 },
        { 5, 725, 725 },
        { 0, 180, 0 },
        { -179, 179, 181 },
    };
    for (auto [angle, reference, expected] : cases)
        EXPECT_FLOAT_EQ(continuousAngle(angle, reference), expected) << angle << " next to " << reference;
}

TEST_F(Posing, RootEulerAnglesContinueFromThePreviousKey)
{
    // The previous key of the root's Y rotation is 350; the block turns it
    // +10 degrees: written as 370, not 10.
    const MotionPlan motion = turned({ "hip" }, 0, 1, 0, 10.0f);
    DzSkeleton *figure = addFigure();
    DzNode *hip = boneOf(figure, "hip");
    hip->getYRotControl()->setValue(0, 350.0f);
    pose(motion, figure, 33);
    EXPECT_NEAR(hip->getYRotControl()->getValue(160), 370.0f, 1e-3f);
    expectRotation(hip->getLocalRot(160), about(0, 1, 0, 10.0));
    // With only the new key there is no previous key: plain Euler angles.
    DzSkeleton *other = addFigure();
    pose(motion, other, 33);
    EXPECT_NEAR(boneOf(other, "hip")->getYRotControl()->getValue(160), 10.0f, 1e-3f);
}

TEST_F(Posing, HeelOffsetsTurnFeetAndToes)
{
    MotionPlan motion = turned({ "lFoot" }, 1, 0, 0, 0.0f);
    motion.hold(QStringLiteral("lToe"), 10.0f, { -1, 0, 0 })
        .hold(QStringLiteral("rToe"), 15.0f, { 0, -1, 0 });
    DzSkeleton *figure = addFigure();
    FigureBinding binding;
    binding.m_skeleton = figure;
    // Heel offset, and the left foot, left toe and right toe posed.
    const std::tuple<float, DzQuat, DzQuat, DzQuat> cases[] = {
        // Feet turn by -h about X; toes compose +h below the 60-degree limit...
        { 40.0f, about(1, 0, 0, -40), about(1, 0, 0, 50), about(1, 0, 0, 40) * about(0, 1, 0, 15) },
        // ...and are replaced by a pure +h turn above it.
        { 70.0f, about(1, 0, 0, -70), about(1, 0, 0, 70), about(1, 0, 0, 70) },
        { 60.0f, about(1, 0, 0, -60), about(1, 0, 0, 70), about(1, 0, 0, 60) * about(0, 1, 0, 15) },
        // Negative offsets turn the feet the other way and leave the toes.
        { -20.0f, about(1, 0, 0, 20), about(1, 0, 0, 10), about(0, 1, 0, 15) },
    };
    for (const auto &[heel, foot, leftToe, rightToe] : cases) {
        SCOPED_TRACE(heel);
        binding.m_heelOffset = heel;
        pose(motion, figure, 0, PoseOptions(), &binding);
        expectRotation(boneOf(figure, "lFoot")->getLocalRot(0), foot);
        expectRotation(boneOf(figure, "lToe")->getLocalRot(0), leftToe);
        expectRotation(boneOf(figure, "rToe")->getLocalRot(0), rightToe);
    }
}

TEST_F(Posing, RotationalOffsetsComposeBeforeTheBlockRotation)
{
    DzSkeleton *figure = addFigure();
    FigureBinding binding;
    binding.m_skeleton = figure;
    const DzQuat x20 = about(1, 0, 0, 20), z15 = about(0, 0, 1, 15);
    ASSERT_TRUE(setRotationalOffset(binding, "rForeArm", x20.m_x, x20.m_y, x20.m_z, x20.m_w));
    ASSERT_TRUE(setRotationalOffset(binding, "hip", z15.m_x, z15.m_y, z15.m_z, z15.m_w));
    pose(turned({ "hip", "rForeArm" }, 0, 1, 0, 30.0f), figure, 0, PoseOptions(), &binding);
    expectRotation(boneOf(figure, "rForeArm")->getLocalRot(0), x20 * about(0, 1, 0, 30));
    expectRotation(boneOf(figure, "hip")->getLocalRot(0), z15 * about(0, 1, 0, 30));

    // The conversion table replaces earlier offsets.
    setRotationalOffset(binding, "head", 0, 0, 0.1, 1);
    EXPECT_EQ(applyConversionTable(binding), 6);
    EXPECT_EQ(applyConversionTable(binding), 6);
    const DzQuat foot = binding.m_rotationalOffsets.at(boneOf(figure, "lFoot"));
    EXPECT_NEAR(foot.m_x, -0.203642 / std::hypot(0.203642, 0.979045), 1e-9);
    EXPECT_EQ(binding.m_rotationalOffsets.count(boneOf(figure, "head")), 0u);
}

TEST_F(Posing, DrivenBonesAreUnclampedAndUndrivenOnesKeepTheirKeys)
{
    // The block drives the forearm past its limits, and the hand but no finger.
    DzSkeleton *figure = addFigure();
    DzFloatProperty *x = boneOf(figure, "rForeArm")->getXRotControl();
    x->setMinMax(-10.0f, 10.0f);
    x->setIsClamped(true);
    DzFloatProperty *finger = boneOf(figure, "lIndex1")->getXRotControl();
    finger->setValue(160, 12.0f);
    pose(turned({ "rForeArm", "lHand" }, 1, 0, 0, 80.0f), figure, 33);
    EXPECT_FALSE(x->isClamped());
    expectRotation(boneOf(figure, "rForeArm")->getLocalRot(160), about(1, 0, 0, 80));
    EXPECT_EQ(std::tuple(finger->getValue(160), finger->getNumKeys()), std::tuple(12.0f, 1));
    EXPECT_EQ(boneOf(figure, "lIndex1")->getYRotControl()->getNumKeys(), 0);
}

TEST_F(Posing, FollowersAndMissingSkeletonsAreLeftAlone)
{
    DzSkeleton *figure = addFigure();
    DzSkeleton *clothing = addFigure();
    clothing->setFollowTarget(figure);
    const MotionPlan nod = turned({ "neck" }, 1, 0, 0, 20.0f);
    pose(nod, clothing, 0);
    pose(nod, nullptr, 0);
    EXPECT_EQ(std::tuple(boneOf(clothing, "neck")->getXRotControl()->getNumKeys(),
                  boneOf(clothing, "hip")->getXPosControl()->getNumKeys()),
        std::tuple(0, 0));
}

TEST_F(Posing, FigureWithoutHipPosesItsTopNode)
{
    DzSkeleton *plain = addHiplessFigure("neck");
    ASSERT_NE(plain, nullptr);
    MotionPlan motion = turned({ "neck" }, 1, 0, 0, 20.0f);
    motion.hip = [](int) { return Vec3f { 0.0f, 99.24f + 10.0f, 0.0f }; };
    pose(motion, plain, 0);
    // Root = the figure node, scale 50 / 99.24.
    EXPECT_NEAR(plain->getLocalPos(0).m_y, 10.0f * 50.0f / 99.24f, 1e-3f);
    expectRotation(boneOf(plain, "neck")->getLocalRot(0), about(1, 0, 0, 20));
}

class PosePlan : public FigureTimelineTest {
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        m_track->appendBlock(*makeBlock(QStringLiteral("body"), fullBody(2000)), true);
    }

    // Evaluates at ms and says whether node got a key there.
    bool posedAt(DzNode *node, int ms)
    {
        m_timeline->goSeek(ms, true, false);
        m_timeline->evaluateAll(ms);
        return node->getXRotControl()->findKeyIndex(snappedTicks(ms)) >= 0;
    }

    DzNode *bone(const char *name) const { return m_figure->findNodeChild(QString::fromLatin1(name), true); }
};

TEST_F(PosePlan, FollowsRenamesAndHierarchyChanges)
{
    DzNode *forearm = bone("lForeArm");
    ASSERT_NE(forearm, nullptr);
    EXPECT_TRUE(posedAt(forearm, 100));
    const DzQuat expected = tableRotation(QStringLiteral("lForeArm"));
    EXPECT_LT(angleBetween(forearm->getLocalRot(snappedTicks(100)), expected), 0.05);

    forearm->setName(QStringLiteral("lForeArmRenamed"));
    EXPECT_FALSE(posedAt(forearm, 200)) << "a name the engine does not drive";
    forearm->setName(QStringLiteral("lForeArm"));
    EXPECT_TRUE(posedAt(forearm, 300));

    // A bone moved under a prop (not a bone) is no longer part of the figure.
    DzNode *hand = bone("lHand");
    auto *prop = new DzNode(QStringLiteral("prop"));
    forearm->addNodeChild(prop);
    prop->addNodeChild(hand);
    EXPECT_FALSE(posedAt(hand, 400));
    EXPECT_TRUE(posedAt(forearm, 400));
    forearm->addNodeChild(hand);
    EXPECT_TRUE(posedAt(hand, 500));

    // Deleted bones are dropped; the rest is posed as before.
    delete bone("rHand");
    EXPECT_TRUE(posedAt(bone("rForeArm"), 600));
    EXPECT_EQ(bone("rHand"), nullptr);
}

TEST_F(PosePlan, FingersMaskedBelowTheHandsOnly)
{
    m_timeline->setMaskFingers(true);
    EXPECT_TRUE(posedAt(bone("lHand"), 100));
    EXPECT_FALSE(posedAt(bone("lIndex1"), 200));
    EXPECT_TRUE(posedAt(bone("rForeArm"), 300));
    m_timeline->setMaskFingers(false);
    EXPECT_TRUE(posedAt(bone("lIndex1"), 400));
}
