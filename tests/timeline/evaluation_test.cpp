// Evaluation: which block a time falls in, and what the engine and the
// figure show there.
#include "timelinetestsupport.h"

#include "kyevaluator.h"

class Evaluation : public FigureTimelineTest {
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        // A turns the neck from 0 to 40 degrees about X; B holds it at −30.
        KyBlock *a = makeBlock(
            QStringLiteral("neckA"), still(1000).ramp(QStringLiteral("neck"), 0, 40, { 1, 0, 0 }));
        KyBlock *b
            = makeBlock(QStringLiteral("neckB"), still(1000).hold(QStringLiteral("neck"), -30, { 1, 0, 0 }));
        //  0        1000        1500        2500
        //  |--- A ---|    gap    |--- B ----|
        m_track->appendBlock(*a, true);
        m_track->setGap(m_track->appendBlock(*b, true), 500);
        m_neck = boneOf(m_figure, "neck");
    }
    // Evaluates at t and gives the neck's angle written there.
    double neckAngleAt(int t)
    {
        m_timeline->goSeek(t, true, false);
        m_timeline->updateStep();
        return angleBetween(m_neck->getLocalRot(snappedTicks(t)), DzQuat());
    }

    DzNode *m_neck = nullptr;
};

TEST_F(Evaluation, LocatesInsideInAGapBeforeTheFirstAndAfterTheEnd)
{
    // Time → kind, block index and (inside a block) its local time.
    const std::tuple<int, BlockLocation::Kind, int, int> cases[] = {
        { 999, BlockLocation::Inside, 0, 999 },
        { 1000, BlockLocation::InGap, 1, 0 },
        { 1499, BlockLocation::InGap, 1, 0 },
        { 1500, BlockLocation::Inside, 1, 0 },
        { 2499, BlockLocation::Inside, 1, 999 },
        { 2500, BlockLocation::AfterEnd, -1, 0 },
    };
    for (auto [t, kind, index, local] : cases) {
        const BlockLocation l = locateBlock(*m_track, t);
        EXPECT_EQ(std::tuple(l.kind, l.index, kind == BlockLocation::Inside ? l.local : local),
            std::tuple(kind, index, local))
            << t;
    }
    m_track->setGap(m_track->blockAt(0), 200);
    EXPECT_EQ(std::tuple(locateBlock(*m_track, 100).kind, locateBlock(*m_track, 100).index),
        std::tuple(BlockLocation::BeforeFirst, 0));
    KyTrack empty(m_timeline.get());
    EXPECT_EQ(locateBlock(empty, 0).kind, BlockLocation::AfterEnd);
    EXPECT_FALSE(driveEngine(empty, locateBlock(empty, 0)));
}

TEST_F(Evaluation, ShowsTheBlockAtItsLocalTimeAndHoldsItsEndsInGaps)
{
    KyBlock *a = m_track->blockAt(0);
    // What, A's gap, in and out points and seam blend, the time and the angle shown.
    const std::tuple<const char *, int, int, int, int, int, double> cases[] = {
        { "inside A", 0, 0, 1000, 100, 500, 20.0 },
        { "before A: its first frame", 400, 0, 1000, 100, 200, 0.0 },
        { "500 ms into A after its gap", 400, 0, 1000, 100, 900, 20.0 },
        // A shows 200 .. 700 ms of its clip: the gap holds 700 (28 degrees).
        { "gap after a trimmed A", 0, 200, 700, 100, 600, 28.0 },
        // With or without a loop seam blend, and when A's end falls exactly
        // on the end of its first or second cycle, the gap holds A's last
        // frame, never its first.
        { "gap after A", 0, 0, 1000, 100, 1200, 40.0 },
        { "gap after A, no seam blend", 0, 0, 1000, 0, 1200, 40.0 },
        { "gap after two cycles", 0, 0, 2000, 100, 2200, 40.0 },
        { "gap after two cycles, no seam blend", 0, 0, 2000, 0, 2200, 40.0 },
    };
    for (auto [what, gapA, inA, outA, internalBlend, t, degrees] : cases) {
        SCOPED_TRACE(what);
        m_track->setGap(a, gapA);
        m_track->setInOut(a, inA, outA);
        a->internalBlend = internalBlend;
        EXPECT_NEAR(neckAngleAt(t), degrees, 0.3);
        EXPECT_EQ(m_track->playheadMs(), t);
    }
    // After the end everything stays as it was.
    const auto state
        = [this] { return std::tuple(m_neck->getXRotControl()->getNumKeys(), m_track->playheadMs()); };
    const auto before = state();
    m_timeline->goSeek(5000, false, false);
    m_timeline->updateStep();
    EXPECT_EQ(state(), before);
}

TEST_F(Evaluation, BlendsFromThePreviousBlockOverBlendIn)
{
    // B starts right after A (no gap), blending over 300 ms from A's last
    // pose (+40) into B's (−30) about the same axis: 5 degrees halfway.
    m_track->setGap(m_track->blockAt(1), 0);
    EXPECT_NEAR(neckAngleAt(1150), 5.0, 1.0);
    EXPECT_NEAR(neckAngleAt(1400), 30.0, 0.3);
    // While a handle is dragged the previous block is not faded out.
    m_track->setHandleDrag(true);
    EXPECT_NEAR(neckAngleAt(1183), 30.0, 0.3);
}
