// Evaluation: which block a time falls in, and what the engine and the
// figure show there.
#include "timelinetestsupport.h"

#include "figurebinding.h"
#include "kyevaluator.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "engine.h"
#include "nodetable.h"

#include "dzfloatproperty.h"
#include "dzscene.h"
#include "dzskeleton.h"

class Evaluation : public FigureTimelineTest
{
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        // A: turns the neck from 0 to 40 degrees about X over one second.
        MotionPlan a = still(1000);
        a.rotations[QStringLiteral("neck")] = [](int t) {
            return BlockRotation{40.0f * static_cast<float>(t) / 1000.0f, {1.0f, 0.0f, 0.0f}};
        };
        // B: the neck at -30 about X throughout.
        MotionPlan b = still(1000);
        b.rotations[QStringLiteral("neck")] = [](int) { return BlockRotation{-30.0f, {1.0f, 0.0f, 0.0f}}; };
        m_a = makeBlock(QStringLiteral("neckA"), a);
        m_b = makeBlock(QStringLiteral("neckB"), b);
        //  0        1000        1500        2500
        //  |--- A ---|    gap    |--- B ----|
        m_track->appendBlock(*m_a, true);
        KyBlock *placedB = m_track->appendBlock(*m_b, true);
        m_track->setGap(placedB, 500);
        m_neck = m_figure->findNodeChild(QStringLiteral("neck"), true);
    }

    double neckAngleAt(DzTime ticks) const
    {
        return angleBetween(m_neck->getLocalRot(ticks), DzQuat());
    }

    KyBlock *m_a = nullptr;
    KyBlock *m_b = nullptr;
    DzNode *m_neck = nullptr;
};

TEST_F(Evaluation, LocatesInsideInAGapBeforeTheFirstAndAfterTheEnd)
{
    struct Case {
        int t;
        BlockLocation::Kind kind;
        int index;
        int local;
    } cases[] = {
        {0, BlockLocation::Inside, 0, 0},
        {999, BlockLocation::Inside, 0, 999},
        {1000, BlockLocation::InGap, 1, 0},
        {1499, BlockLocation::InGap, 1, 0},
        {1500, BlockLocation::Inside, 1, 0},
        {2499, BlockLocation::Inside, 1, 999},
        {2500, BlockLocation::AfterEnd, -1, 0},
        {90000, BlockLocation::AfterEnd, -1, 0},
    };
    for (const Case &c : cases) {
        const BlockLocation location = locateBlock(*m_track, c.t);
        EXPECT_EQ(location.kind, c.kind) << c.t;
        EXPECT_EQ(location.index, c.index) << c.t;
        if (c.kind == BlockLocation::Inside) {
            EXPECT_EQ(location.local, c.local) << c.t;
        }
    }
    m_track->setGap(m_track->blockAt(0), 200);
    EXPECT_EQ(locateBlock(*m_track, 100).kind, BlockLocation::BeforeFirst);
    EXPECT_EQ(locateBlock(*m_track, 100).index, 0);
    KyTrack empty(m_timeline.get());
    EXPECT_EQ(locateBlock(empty, 0).kind, BlockLocation::AfterEnd);
    EXPECT_FALSE(driveEngine(empty, locateBlock(empty, 0)));
}

// Evaluates at t and gives the neck's angle written there.
TEST_F(Evaluation, ShowsTheBlockAtItsLocalTimeAndHoldsItsEndsInGaps)
{
    KyBlock *a = m_track->blockAt(0);
    const struct {
        const char *what;
        int gapA, inA, outA, internalBlend, t;
        double degrees;
    } cases[] = {
        {"inside A", 0, 0, 1000, 100, 500, 20.0},
        {"before A: its first frame", 400, 0, 1000, 100, 200, 0.0},
        {"500 ms into A after its gap", 400, 0, 1000, 100, 900, 20.0},
        // A shows 200 .. 700 ms of its clip: the gap holds 700 (28 degrees).
        {"gap after a trimmed A", 0, 200, 700, 100, 600, 28.0},
        // With or without a loop seam blend, and when A's end falls exactly
        // on the end of its first or second cycle, the gap holds A's last
        // frame, never its first.
        {"gap after A", 0, 0, 1000, 100, 1200, 40.0},
        {"gap after A, no seam blend", 0, 0, 1000, 0, 1200, 40.0},
        {"gap after two cycles", 0, 0, 2000, 100, 2200, 40.0},
        {"gap after two cycles, no seam blend", 0, 0, 2000, 0, 2200, 40.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        m_track->setGap(a, c.gapA);
        m_track->setInOut(a, c.inA, c.outA);
        a->internalBlend = c.internalBlend;
        m_timeline->goSeek(c.t, true, false);
        m_timeline->updateStep();
        EXPECT_NEAR(neckAngleAt(snappedTicks(c.t)), c.degrees, 0.3);
        EXPECT_EQ(m_track->playheadMs(), c.t);
    }
}

TEST_F(Evaluation, AfterTheEndLeavesEverythingAsItWas)
{
    m_timeline->goSeek(500, true, false);
    m_timeline->updateStep();
    const int keys = m_neck->getXRotControl()->getNumKeys();
    const int playhead = m_track->playheadMs();
    m_timeline->goSeek(5000, false, false);
    m_timeline->updateStep();
    EXPECT_EQ(m_neck->getXRotControl()->getNumKeys(), keys);
    EXPECT_EQ(m_track->playheadMs(), playhead);
}

TEST_F(Evaluation, BlendsFromThePreviousBlockOverBlendIn)
{
    // B starts right after A (no gap), blending over 300 ms from A's last
    // pose (40) into B's (-30): halfway at 150 ms.
    m_track->setGap(m_track->blockAt(1), 0);
    KyBlock *b = m_track->blockAt(1);
    EXPECT_EQ(b->blendIn, 300);
    m_timeline->goSeek(1150, true, false);
    m_timeline->updateStep();
    const DzQuat q = m_neck->getLocalRot(snappedTicks(1150));
    // A's end rotates +40 and B -30 about the same axis: 5 degrees halfway.
    EXPECT_NEAR(angleBetween(q, DzQuat()), 5.0, 1.0);
    m_timeline->goSeek(1400, true, false);
    m_timeline->updateStep();
    EXPECT_NEAR(neckAngleAt(snappedTicks(1400)), 30.0, 0.3);

    // While a handle is dragged the previous block is not faded out.
    m_track->setHandleDrag(true);
    m_timeline->goSeek(1150 + 33, true, false);
    m_timeline->updateStep();
    EXPECT_NEAR(neckAngleAt(snappedTicks(1183)), 30.0, 0.3);
}

TEST_F(Evaluation, TimelineWithoutSkeletonPosesNothing)
{
    KyTimeline other;
    other.currentTrack()->appendBlock(*m_a, true);
    other.goSeek(500, true, false);
    other.updateStep();
    EXPECT_EQ(m_neck->getXRotControl()->getNumKeys(), 0);
}
