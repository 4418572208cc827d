// Chaining: where each block of a track starts, from its flags, offsets and
// the end of the block before it.
#include "timelinetestsupport.h"

#include "kychaining.h"

constexpr float kTolerance = 0.05f;

class Chaining : public FigureTimelineTest {
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        m_walk = makeBlock(QStringLiteral("walk100"), walkZ(100.0f));
    }
    // A copy of source placed last on the track, with these flags.
    KyBlock *add(const KyBlock &source, int flags)
    {
        KyBlock *block = m_track->appendBlock(source, true);
        block->flags = flags;
        return block;
    }
    void chain() { m_track->chain(); }

    KyBlock *m_walk = nullptr;
};

TEST_F(Chaining, HorizontalPositionFollowsThePreviousEndOnlyWithFlag1)
{
    // Three walks of 100 along Z. The first starts at the origin whatever
    // its flags (and whatever it held); without flag 1 a block starts at the
    // previous block's start, not its end; the height never follows.
    for (auto [flags, secondZ, thirdZ] :
        { std::tuple { 0, 0.0f, 0.0f }, { KyBlock::ReorientHorizontalPosition, 100.0f, 200.0f } }) {
        SCOPED_TRACE(flags);
        m_track->clear();
        KyBlock *a = add(*m_walk, 13);
        a->startPos = Vec3f { 5.0f, 5.0f, 5.0f };
        a->startFacing = 30.0f;
        KyBlock *b = add(*m_walk, flags);
        KyBlock *d = add(*m_walk, flags);
        chain();
        EXPECT_EQ(std::tuple(a->startPos.x, a->startPos.z, a->startFacing, a->startAxis.y),
            std::tuple(0.0f, 0.0f, 0.0f, 1.0f));
        EXPECT_TRUE(near(b->startPos, { 0, 0, secondZ }, kTolerance));
        EXPECT_NEAR(d->startPos.z, thirdZ, kTolerance);
        EXPECT_FLOAT_EQ(b->startFacing, 0.0f);
    }
}

TEST_F(Chaining, ReorientsFacingSnappedTo45Degrees)
{
    // A turns 35 degrees; the heading it ends with snaps to 45.
    add(*makeBlock(QStringLiteral("turn35"), turnY(35.0f)), 0);
    KyBlock *b = add(*m_walk, KyBlock::ReorientFacing);
    chain();
    EXPECT_NEAR(std::fabs(b->startFacing), 45.0f, 1e-3f);
    EXPECT_NEAR(b->startPos.z, 0.0f, kTolerance); // facing alone does not move the start
    // The walk of B then goes 100 units along the turned direction, so a
    // block after it with both flags starts 100 units away at 45 degrees.
    KyBlock *c = add(*m_walk, KyBlock::ReorientFacing | KyBlock::ReorientHorizontalPosition);
    chain();
    EXPECT_TRUE(near({ std::fabs(c->startPos.x), 0.0f, c->startPos.z }, { 70.71f, 0.0f, 70.71f }, 0.2f));
    EXPECT_FLOAT_EQ(c->startFacing, b->startFacing);
}

TEST_F(Chaining, FacingOffsetTurnsThePositionOffset)
{
    // Facing offset 90 and a position offset of 10 along X: the offset is
    // applied in the block's turned frame (+Z toward +X), ending up along −Z.
    KyBlock *a = add(*m_walk, 0);
    a->facingOffset = 90.0f;
    a->posOffset = Vec3f { 10.0f, 3.0f, 0.0f };
    KyBlock *b = add(*m_walk, 0);
    chain();
    EXPECT_TRUE(near(a->startPos, { 0, 3, -10 }, 1e-4f));
    // The facing is carried on to later blocks that do not reorient.
    EXPECT_EQ(std::tuple(a->startFacing, b->startFacing), std::tuple(90.0f, 90.0f));
}

TEST_F(Chaining, LoopShiftCarriesTheNextBlockPastEveryCycle)
{
    // A loops twice (2000 ms of a 1000 ms clip walking 100 along Z) with
    // internal reorientation; B follows A's end horizontally: z 200.
    KyBlock *a = add(*m_walk, KyBlock::ReorientInternalHorizontalPosition);
    a->outPoint = 2000;
    KyBlock *b = add(*m_walk, KyBlock::ReorientHorizontalPosition);
    chain();
    EXPECT_TRUE(near(a->loopShift, { 0, 0, 100 }, kTolerance));
    EXPECT_NEAR(b->startPos.z, 200.0f, kTolerance);
    // Without flag 8 there is no loop shift, and the loop runs on the spot.
    a->flags = 0;
    chain();
    chain();
    EXPECT_EQ(std::tuple(a->loopShift.z, b->startPos.z), std::tuple(0.0f, 100.0f));
}

TEST_F(Chaining, BlocksWithoutEvaluableMotionEndWhereTheyStart)
{
    // A clip of a single key is 0 ms long: its loop length is 0, and no
    // division may be reached by chaining, evaluating or naming it previous.
    KyBlock *empty = makeBlock(QStringLiteral("single"), still(0));
    EXPECT_EQ(std::tuple(empty->clipLength, empty->loopLength()), std::tuple(0, 0));
    add(*m_walk, 13);
    KyBlock *e = add(*empty, 13);
    e->outPoint = 500;
    KyBlock *c = add(*m_walk, 13);
    chain();
    chain();
    EXPECT_NEAR(e->startPos.z, 100.0f, kTolerance);
    EXPECT_NEAR(c->startPos.z, 100.0f, kTolerance);
    EXPECT_EQ(e->loopShift.z, 0.0f);
}
