// The track model: units, start times, insertion, selection, parameter
// slots, slides, moves, removal and trimming.
#include "timelinetestsupport.h"

#include "kybake.h"

#include <climits>

TEST(TimeUnits, ConvertsAndSnapsMillisecondsTicksAndPixels)
{
    // Milliseconds → ticks and pixels.
    const std::tuple<int, DzTime, int> cases[] = {
        { 1, 4, 0 },
        { 33, 158, 1 },
        { -1000, -4800, -40 },
        // 10 minutes: ms × 4800 passes 2^31; the 64-bit product does not wrap.
        { 600000, 2880000, 24000 },
        { INT_MAX, INT_MAX, 85899345 },
    };
    for (auto [ms, ticks, px] : cases)
        EXPECT_EQ(std::tuple(msToTicks(ms), msToPixels(ms)), std::tuple(ticks, px)) << ms;
    EXPECT_EQ(std::tuple(ticksToMs(4800), ticksToMs(160), pixelsToMs(40), pixelsToMs(-8)),
        std::tuple(1000, 33, 1000, -200));
    // To the nearest frame.
    EXPECT_EQ(std::tuple(snapTicks(79, 160), snapTicks(80, 160), snapTicks(4799, 160), snappedTicks(33, 160)),
        std::tuple(0, 160, 4800, 160));
    // One millisecond before the start is frame 0 (goForward on an empty
    // track), and a broken step does not divide by zero.
    EXPECT_EQ(std::tuple(snappedMs(33, 160), snappedMs(50, 160), snappedMs(-1, 160), snapTicks(100, 0)),
        std::tuple(33, 66, 0, 100));
}

class TrackModel : public FigureTimelineTest {
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        m_walk = makeBlock(QStringLiteral("walk"), walkZ(100.0f, 1000));
        m_hipX = boneOf(m_figure, "hip")->getXRotControl();
    }
    // Appends n walks and returns the track's blocks.
    std::vector<KyBlock *> walks(int n)
    {
        for (int i = 0; i < n; ++i)
            m_track->appendBlock(*m_walk, true);
        return m_track->blocks();
    }
    void expectConsistent() { EXPECT_EQ(m_track->checkConsistency().toStdString(), ""); }
    void select(std::initializer_list<KyBlock *> blocks)
    {
        m_track->clearSelection();
        for (KyBlock *b : blocks)
            m_track->addToSelection(b);
    }

    KyBlock *m_walk = nullptr;
    DzFloatProperty *m_hipX = nullptr;
};

TEST_F(TrackModel, StartTimesFollowGapsAndVisibleLengths)
{
    //  0        1000   1500       2500  2700   3200
    //  |-- A ---|  gap |--- B ----| gap |-- C --|
    const auto b = walks(3);
    m_track->setGap(b[1], 500);
    m_track->setGap(b[2], 200);
    m_track->setInOut(b[2], 300, 800);
    EXPECT_EQ(std::tuple(m_track->endOf(0), m_track->startOf(1), m_track->endOf(1), m_track->startOf(2),
                  m_track->endTime(), m_track->length(), m_timeline->longestTrack()),
        std::tuple(1000, 1500, 2500, 2700, 3200, 3200, 3200));
    // A negative gap (a slide left of the previous block) stays 0.
    m_track->setGap(b[1], -300);
    EXPECT_EQ(b[1]->gap, 0);
    expectConsistent();

    // Without a skeleton a track has no length.
    KyTrack *nullTrack = m_timeline->tracks(0).front();
    nullTrack->appendBlock(*m_walk, true);
    EXPECT_EQ(std::tuple(nullTrack->endTime(), nullTrack->length()), std::tuple(1000, 0));
    m_timeline->nodeRemoved(m_figure);
    EXPECT_EQ(std::tuple(m_track->length(), m_timeline->longestTrack()), std::tuple(0, 0));
}

TEST_F(TrackModel, InsertsCopiesBeforeAnIndexAndClearsHostKeysUnderThem)
{
    // Keys at 0.5 s and 3 s on a bone the block drives and at 0.5 s on one
    // it does not.
    m_hipX->setValue(2400, 5.0f);
    m_hipX->setValue(14400, 7.0f);
    DzFloatProperty *neckX = boneOf(m_figure, "neck")->getXRotControl();
    neckX->setValue(2400, 9.0f);
    const auto b = walks(3);
    EXPECT_EQ(m_hipX->getNumKeys(), 2); // appended keeping keys
    KyBlock *d = m_track->insertBlock(1, *m_walk, true);
    EXPECT_EQ(m_track->blocks(), (std::vector<KyBlock *> { b[0], d, b[1], b[2] }));
    // The placed block is a copy owned by the track, sharing the clip.
    EXPECT_EQ(std::tuple(d != m_walk, d->clipHandle, m_track->startOf(1), m_track->startOf(3)),
        std::tuple(true, m_walk->clipHandle, 1000, 3000));
    // Out-of-range indices clamp to the ends.
    KyBlock *last = m_track->insertBlock(99, *m_walk, true);
    // Inserted at 0..1000 ms without keeping keys: cleared from 0 to 1040 ms.
    KyBlock *first = m_track->insertBlock(-5, *m_walk, false);
    EXPECT_EQ(std::tuple(first, last), std::tuple(m_track->blockAt(0), m_track->blockAt(5)));
    EXPECT_EQ(std::tuple(m_hipX->findKeyIndex(2400), m_hipX->findKeyIndex(14400), neckX->getNumKeys()),
        std::tuple(-1, 0, 1));
    EXPECT_EQ(m_track->endTime(), 6000);
    expectConsistent();
}

TEST_F(TrackModel, SpeedScalesFromTheRememberedClipOutPoint)
{
    const auto b = walks(2);
    m_track->setInOut(b[1], 0, 2500); // loops two and a half times
    select({ b[0], b[1] });
    m_track->rememberClipOutPoints();
    m_track->speedChanged(50);
    EXPECT_EQ(std::tuple(b[0]->speed, b[0]->outPoint, b[1]->outPoint, m_track->startOf(1)),
        std::tuple(0.5f, 2000, 5000, 2000));
    // B is chained again: A plays half as fast but still walks 100.
    EXPECT_NEAR(b[1]->startPos.z, 100.0f, 0.05f);
    m_track->speedChanged(100);
    EXPECT_EQ(std::tuple(b[0]->outPoint, b[1]->outPoint), std::tuple(1000, 2500));
    m_track->speedChanged(33);
    EXPECT_EQ(b[0]->outPoint, 3030);
    // Out-of-range speeds are refused; nothing changes.
    m_track->speedChanged(0);
    m_track->speedChanged(-20);
    EXPECT_FLOAT_EQ(b[0]->speed, 0.33f);
    // A change without remembered out points remembers them first.
    KyBlock *c = m_track->appendBlock(*m_walk, true);
    select({ c });
    m_track->speedChanged(200);
    EXPECT_EQ(std::tuple(c->outPoint, m_track->rememberedClipOutPoints().size()), std::tuple(500, 1u));
    expectConsistent();
}

TEST_F(TrackModel, SelectionHoldsEachBlockOnceAndParameterSlotsActOnItOnly)
{
    const auto b = walks(3);
    select({ b[0], b[2], b[0] });
    EXPECT_EQ(m_track->selection(), (std::vector<KyBlock *> { b[0], b[2] }));
    m_track->flagsHor(false);
    m_track->flagsFacing(false);
    EXPECT_EQ(std::tuple(b[0]->flags, b[1]->flags), std::tuple(8, 13));
    // Chained again: C no longer follows B's end but starts where B starts.
    EXPECT_NEAR(b[2]->startPos.z, b[1]->startPos.z, 0.05f);
    m_track->flagsIHor(false);
    m_track->flagsHor(true);
    EXPECT_EQ(b[2]->flags, 1);
    m_track->iblend_vChanged(250);
    m_track->rotyOffsetChanged(-90);
    m_track->poszOffsetChanged(30);
    m_track->mirrorChanged(true);
    for (KyBlock *block : { b[0], b[2] })
        EXPECT_EQ(std::tuple(block->internalBlend, block->facingOffset, block->posOffset.z, block->mirror),
            std::tuple(250, -90.0f, 30.0f, true));
    EXPECT_EQ(std::tuple(b[1]->internalBlend, b[1]->mirror), std::tuple(m_walk->internalBlend, false));
    expectConsistent();
    // Another track's block is not selected; an insert clears the selection.
    KyTrack other(m_timeline.get());
    other.addToSelection(b[0]);
    m_track->rememberClipOutPoints();
    m_track->appendBlock(*m_walk, true);
    EXPECT_TRUE(other.selection().empty() && m_track->selection().empty()
        && m_track->rememberedClipOutPoints().empty());
}

TEST_F(TrackModel, MovesBlocksWithTheirGaps)
{
    const auto b = walks(3);
    m_track->setGap(b[1], 250);
    m_track->moveBlock(b[1], nullptr);
    EXPECT_EQ(m_track->blocks(), (std::vector<KyBlock *> { b[0], b[2], b[1] }));
    EXPECT_EQ(
        std::tuple(b[1]->gap, m_track->startOf(2), m_track->currentBlock()), std::tuple(250, 2250, b[1]));
    m_track->moveBlock(b[1], b[0]);
    m_track->moveBlock(b[0], b[0]); // onto itself: it stays
    EXPECT_EQ(std::tuple(m_track->blocks(), m_track->startOf(1)),
        std::tuple(std::vector<KyBlock *> { b[1], b[0], b[2] }, 1250));
    expectConsistent();
}

TEST_F(TrackModel, RemovesBlocksAndWidensTheAnimationRange)
{
    // Blocks of another track are not removed, and the host's keys stay.
    const auto b = walks(3);
    m_hipX->setValue(2400, 5.0f);
    KyTrack other(m_timeline.get());
    EXPECT_FALSE(m_track->removeBlock(other.appendBlock(*m_walk, true)));
    EXPECT_FALSE(m_track->removeBlock(nullptr));
    EXPECT_EQ(std::tuple(m_hipX->getNumKeys(), m_track->count()), std::tuple(1, 3));

    dzScene->setAnimRange(DzTimeRange(0, 4800));
    dzScene->setPlayRange(DzTimeRange(0, 4800));
    m_track->setGap(b[2], 2000);
    m_track->setCurrentBlock(b[1]);
    select({ b[1], b[2] });
    EXPECT_TRUE(m_track->removeBlock(b[1]));
    EXPECT_EQ(std::tuple(m_track->blocks(), m_track->currentBlock(), m_track->selection().size(),
                  m_track->startOf(1)),
        std::tuple(std::vector<KyBlock *> { b[0], b[2] }, nullptr, 1u, 3000));
    EXPECT_EQ(std::tuple(dzScene->getAnimRange(), dzScene->getPlayRange()),
        std::tuple(DzTimeRange(0, 19200), DzTimeRange(0, 19200)));
    // Clear removes every block, each with its signal.
    m_track->setCurrentBlock(b[2]);
    int removed = 0;
    QObject::connect(m_track, &KyTrack::blockRemoved, [&removed](KyBlock *) { ++removed; });
    m_track->clear();
    EXPECT_EQ(std::tuple(removed, m_track->count(), m_track->currentBlock()), std::tuple(2, 0, nullptr));
    expectConsistent();
}

TEST_F(TrackModel, TrimSetsTheAnimationRangeToTheLongestTrack)
{
    dzScene->setAnimRange(DzTimeRange(0, 9600));
    dzScene->setPlayRange(DzTimeRange(0, 9600));
    trimTimelineRange(*m_timeline); // no blocks: one second
    EXPECT_EQ(std::tuple(dzScene->getAnimRange(), dzScene->getPlayRange()),
        std::tuple(DzTimeRange(0, 4800), DzTimeRange(0, 4800)));
    m_track->setInOut(walks(2)[1], 0, 1333);
    // A play range the user narrowed stays.
    dzScene->setPlayRange(DzTimeRange(0, 1600));
    trimTimelineRange(*m_timeline);
    EXPECT_EQ(std::tuple(dzScene->getAnimRange(), dzScene->getPlayRange()),
        std::tuple(DzTimeRange(0, 11198), DzTimeRange(0, 1600)));
}
