// The track model: units, start times, insertion, selection, parameter
// slots, slides, moves, removal and trimming.
#include "timelinetestsupport.h"

#include "figurebinding.h"
#include "kybake.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"

#include "dzfloatproperty.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <climits>

namespace {

void expectConsistent(const KyTrack &track)
{
    EXPECT_EQ(track.checkConsistency().toStdString(), "");
}

} // namespace

TEST(TimeUnits, ConvertsMillisecondsTicksAndPixels)
{
    struct Case {
        int ms;
        DzTime ticks;
        int px;
    } cases[] = {
        {0, 0, 0}, {1, 4, 0}, {33, 158, 1}, {1000, 4800, 40}, {-1, -4, 0}, {-1000, -4800, -40},
        // 10 minutes: ms × 4800 passes 2^31; the 64-bit product does not wrap.
        {600000, 2880000, 24000},
        {INT_MAX, INT_MAX, 85899345},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(msToTicks(c.ms), c.ticks) << c.ms;
        EXPECT_EQ(msToPixels(c.ms), c.px) << c.ms;
    }
    EXPECT_EQ(ticksToMs(4800), 1000);
    EXPECT_EQ(ticksToMs(160), 33);
    EXPECT_EQ(pixelsToMs(40), 1000);
    EXPECT_EQ(pixelsToMs(-8), -200);
}

TEST(TimeUnits, SnapsToTheNearestFrame)
{
    EXPECT_EQ(snapTicks(79, 160), 0);
    EXPECT_EQ(snapTicks(80, 160), 160);
    EXPECT_EQ(snapTicks(4799, 160), 4800);
    EXPECT_EQ(snappedTicks(33, 160), 160);
    EXPECT_EQ(snappedMs(33, 160), 33);
    EXPECT_EQ(snappedMs(50, 160), 66);
    // One millisecond before the start is frame 0 (goForward on an empty track).
    EXPECT_EQ(snappedMs(-1, 160), 0);
    // A broken step does not divide by zero.
    EXPECT_EQ(snapTicks(100, 0), 100);
    EXPECT_EQ(snappedMs(INT_MAX, 160), ticksToMs(snapTicks(INT_MAX, 160)));
}

class TrackModel : public FigureTimelineTest
{
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        m_walk = makeBlock(QStringLiteral("walk"), walkZ(100.0f, 1000));
    }

    KyBlock *m_walk = nullptr;
};

TEST_F(TrackModel, StartTimesFollowGapsAndVisibleLengths)
{
    //  0        1000   1500       2500  2700   3200
    //  |-- A ---|  gap |--- B ----| gap |-- C --|
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *b = m_track->appendBlock(*m_walk, true);
    KyBlock *c = m_track->appendBlock(*m_walk, true);
    m_track->setGap(b, 500);
    m_track->setGap(c, 200);
    m_track->setInOut(c, 300, 800);
    expectConsistent(*m_track);
    EXPECT_EQ(m_track->startOf(0), 0);
    EXPECT_EQ(m_track->endOf(0), 1000);
    EXPECT_EQ(m_track->startOf(1), 1500);
    EXPECT_EQ(m_track->endOf(1), 2500);
    EXPECT_EQ(m_track->startOf(2), 2700);
    EXPECT_EQ(m_track->endOf(2), 3200);
    EXPECT_EQ(m_track->endTime(), 3200);
    EXPECT_EQ(m_track->length(), 3200);
    EXPECT_EQ(m_timeline->longestTrack(), 3200);
    (void)a;

    // A negative gap (a slide left of the previous block) stays 0.
    m_track->setGap(b, -300);
    EXPECT_EQ(b->gap, 0);
    expectConsistent(*m_track);
}

TEST_F(TrackModel, LengthIsZeroWithoutSkeleton)
{
    KyTrack *nullTrack = m_timeline->tracks(0).front();
    EXPECT_EQ(nullTrack->bindingIndex(), 0);
    nullTrack->appendBlock(*m_walk, true);
    EXPECT_EQ(nullTrack->endTime(), 1000);
    EXPECT_EQ(nullTrack->length(), 0);
    m_track->appendBlock(*m_walk, true);
    m_timeline->nodeRemoved(m_figure);
    EXPECT_EQ(m_track->length(), 0);
    EXPECT_EQ(m_timeline->longestTrack(), 0);
}

TEST_F(TrackModel, InsertsBeforeAnIndexAndKeepsStartTimes)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *b = m_track->appendBlock(*m_walk, true);
    KyBlock *c = m_track->appendBlock(*m_walk, true);
    KyBlock *d = m_track->insertBlock(1, *m_walk, true);
    expectConsistent(*m_track);
    EXPECT_EQ(m_track->blocks(), (std::vector<KyBlock *>{a, d, b, c}));
    // The placed block is a copy owned by the track, sharing the clip.
    EXPECT_NE(d, m_walk);
    EXPECT_EQ(d->clipHandle, m_walk->clipHandle);
    EXPECT_EQ(m_track->startOf(1), 1000);
    EXPECT_EQ(m_track->startOf(3), 3000);
    // Out-of-range indices clamp to the ends.
    EXPECT_EQ(m_track->blockAt(0), a);
    KyBlock *last = m_track->insertBlock(99, *m_walk, true);
    EXPECT_EQ(last, m_track->blockAt(4));
    KyBlock *first = m_track->insertBlock(-5, *m_walk, true);
    EXPECT_EQ(first, m_track->blockAt(0));
    EXPECT_EQ(m_track->endTime(), 6000);
    expectConsistent(*m_track);
}

TEST_F(TrackModel, InsertClearsHostKeysUnderTheNewBlockUnlessKeysAreKept)
{
    // Keys at 0.5 s and 3 s on a bone the block drives and at 0.5 s on one it
    // does not.
    DzNode *hip = m_figure->findNodeChild(QStringLiteral("hip"), true);
    DzNode *neck = m_figure->findNodeChild(QStringLiteral("neck"), true);
    hip->getXRotControl()->setValue(2400, 5.0f);
    hip->getXRotControl()->setValue(14400, 7.0f);
    neck->getXRotControl()->setValue(2400, 9.0f);

    m_track->appendBlock(*m_walk, true);
    EXPECT_EQ(hip->getXRotControl()->getNumKeys(), 2);

    // Inserted at 0..1000 ms: cleared from 0 to 1040 ms (4992 ticks).
    m_track->insertBlock(0, *m_walk, false);
    EXPECT_EQ(hip->getXRotControl()->findKeyIndex(2400), -1);
    EXPECT_EQ(hip->getXRotControl()->findKeyIndex(14400), 0);
    EXPECT_EQ(neck->getXRotControl()->getNumKeys(), 1);
    expectConsistent(*m_track);
}

TEST_F(TrackModel, SelectionHoldsEachBlockOnceAndInsertClearsIt)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *b = m_track->appendBlock(*m_walk, true);
    m_track->addToSelection(a);
    m_track->addToSelection(b);
    m_track->addToSelection(a);
    ASSERT_EQ(m_track->selection().size(), 2u);
    EXPECT_EQ(m_track->selection()[0], a);
    m_track->rememberClipOutPoints();
    expectConsistent(*m_track);
    m_track->appendBlock(*m_walk, true);
    EXPECT_TRUE(m_track->selection().empty());
    EXPECT_TRUE(m_track->rememberedClipOutPoints().empty());
    // A block of another track is not selected.
    KyTrack other(m_timeline.get());
    other.addToSelection(a);
    EXPECT_TRUE(other.selection().empty());
}

TEST_F(TrackModel, SpeedScalesFromTheRememberedClipOutPoint)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *b = m_track->appendBlock(*m_walk, true);
    m_track->setInOut(b, 0, 2500); // loops two and a half times
    m_track->addToSelection(a);
    m_track->addToSelection(b);
    m_track->rememberClipOutPoints();
    m_track->speedChanged(50);
    EXPECT_FLOAT_EQ(a->speed, 0.5f);
    EXPECT_EQ(a->outPoint, 2000);
    EXPECT_EQ(b->outPoint, 5000);
    EXPECT_EQ(m_track->startOf(1), 2000);
    m_track->speedChanged(100);
    EXPECT_EQ(a->outPoint, 1000);
    EXPECT_EQ(b->outPoint, 2500);
    m_track->speedChanged(33);
    EXPECT_EQ(a->outPoint, 3030);
    expectConsistent(*m_track);

    // Out-of-range speeds are refused; nothing changes.
    m_track->speedChanged(0);
    m_track->speedChanged(-20);
    EXPECT_FLOAT_EQ(a->speed, 0.33f);
    expectConsistent(*m_track);

    // A change without remembered out points remembers them first.
    KyBlock *c = m_track->appendBlock(*m_walk, true);
    m_track->clearSelection();
    m_track->addToSelection(c);
    m_track->speedChanged(200);
    EXPECT_EQ(c->outPoint, 500);
    EXPECT_EQ(m_track->rememberedClipOutPoints().size(), 1u);
    expectConsistent(*m_track);
}

TEST_F(TrackModel, ParameterSlotsActOnEverySelectedBlock)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *b = m_track->appendBlock(*m_walk, true);
    KyBlock *c = m_track->appendBlock(*m_walk, true);
    m_track->addToSelection(a);
    m_track->addToSelection(c);
    m_track->flagsHor(false);
    m_track->flagsFacing(false);
    EXPECT_EQ(a->flags, 8);
    EXPECT_EQ(b->flags, 13);
    EXPECT_EQ(c->flags, 8);
    m_track->flagsIHor(false);
    m_track->flagsHor(true);
    EXPECT_EQ(a->flags, 1);
    m_track->iblend_vChanged(250);
    m_track->rotyOffsetChanged(-90);
    m_track->posxOffsetChanged(10);
    m_track->posyOffsetChanged(-20);
    m_track->poszOffsetChanged(30);
    m_track->mirrorChanged(true);
    for (KyBlock *block : {a, c}) {
        EXPECT_EQ(block->internalBlend, 250);
        EXPECT_FLOAT_EQ(block->facingOffset, -90.0f);
        EXPECT_FLOAT_EQ(block->posOffset.x, 10.0f);
        EXPECT_FLOAT_EQ(block->posOffset.y, -20.0f);
        EXPECT_FLOAT_EQ(block->posOffset.z, 30.0f);
        EXPECT_TRUE(block->mirror);
    }
    EXPECT_EQ(b->internalBlend, m_walk->internalBlend);
    EXPECT_FALSE(b->mirror);
    expectConsistent(*m_track);
}

TEST_F(TrackModel, MovesBlocksWithTheirGaps)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *b = m_track->appendBlock(*m_walk, true);
    KyBlock *c = m_track->appendBlock(*m_walk, true);
    m_track->setGap(b, 250);
    m_track->moveBlock(b, nullptr);
    EXPECT_EQ(m_track->blocks(), (std::vector<KyBlock *>{a, c, b}));
    EXPECT_EQ(b->gap, 250);
    EXPECT_EQ(m_track->startOf(2), 2250);
    EXPECT_EQ(m_track->currentBlock(), b);
    m_track->moveBlock(b, a);
    EXPECT_EQ(m_track->blocks(), (std::vector<KyBlock *>{b, a, c}));
    EXPECT_EQ(m_track->startOf(1), 1250);
    expectConsistent(*m_track);
}

TEST_F(TrackModel, RemovingABlockOfAnotherTrackChangesNothing)
{
    DzNode *hip = m_figure->findNodeChild(QStringLiteral("hip"), true);
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    hip->getXRotControl()->setValue(2400, 5.0f);
    m_timeline->binding(m_track->bindingIndex())->m_keyHoldTime = 300;
    KyTrack other(m_timeline.get());
    KyBlock *stranger = other.appendBlock(*m_walk, true);
    EXPECT_FALSE(m_track->removeBlock(stranger));
    EXPECT_FALSE(m_track->removeBlock(nullptr));
    EXPECT_EQ(hip->getXRotControl()->getNumKeys(), 1);
    EXPECT_EQ(m_timeline->binding(m_track->bindingIndex())->m_keyHoldTime, 300);
    EXPECT_EQ(m_track->blocks(), (std::vector<KyBlock *>{a}));
}

TEST_F(TrackModel, RemovesBlocksAndWidensTheAnimationRange)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *b = m_track->appendBlock(*m_walk, true);
    KyBlock *c = m_track->appendBlock(*m_walk, true);
    dzScene->setAnimRange(DzTimeRange(0, 4800));
    dzScene->setPlayRange(DzTimeRange(0, 4800));
    m_track->setGap(c, 2000);
    m_track->setCurrentBlock(b);
    m_track->addToSelection(b);
    m_track->addToSelection(c);

    EXPECT_TRUE(m_track->removeBlock(b));
    EXPECT_EQ(m_track->blocks(), (std::vector<KyBlock *>{a, c}));
    EXPECT_EQ(m_track->currentBlock(), nullptr);
    EXPECT_EQ(m_track->selection().size(), 1u);
    EXPECT_EQ(m_track->startOf(1), 3000);
    EXPECT_EQ(dzScene->getAnimRange(), DzTimeRange(0, 19200));
    EXPECT_EQ(dzScene->getPlayRange(), DzTimeRange(0, 19200));
    expectConsistent(*m_track);

    // Delete removes the selection.
    m_track->clearSelection();
    m_track->addToSelection(a);
    m_track->addToSelection(c);
    m_track->deleteSelected();
    EXPECT_EQ(m_track->count(), 0);
    expectConsistent(*m_track);

    // Clear removes every block, each with its signal.
    m_track->appendBlock(*m_walk, true);
    m_track->setCurrentBlock(m_track->appendBlock(*m_walk, true));
    int removed = 0;
    QObject::connect(m_track, &KyTrack::blockRemoved, [&removed](KyBlock *) { ++removed; });
    m_track->clear();
    EXPECT_EQ(removed, 2);
    EXPECT_EQ(m_track->count(), 0);
    EXPECT_EQ(m_track->currentBlock(), nullptr);
    expectConsistent(*m_track);
}

TEST_F(TrackModel, TrimSetsTheAnimationRangeToTheLongestTrack)
{
    dzScene->setAnimRange(DzTimeRange(0, 9600));
    dzScene->setPlayRange(DzTimeRange(0, 9600));
    // No blocks: one second.
    trimTimelineRange(*m_timeline);
    EXPECT_EQ(dzScene->getAnimRange(), DzTimeRange(0, 4800));
    EXPECT_EQ(dzScene->getPlayRange(), DzTimeRange(0, 4800));

    m_track->appendBlock(*m_walk, true);
    m_track->appendBlock(*m_walk, true);
    m_track->setInOut(m_track->blockAt(1), 0, 1333);
    // A play range the user narrowed stays.
    dzScene->setPlayRange(DzTimeRange(0, 1600));
    trimTimelineRange(*m_timeline);
    EXPECT_EQ(dzScene->getAnimRange(), DzTimeRange(0, 11198));
    EXPECT_EQ(dzScene->getPlayRange(), DzTimeRange(0, 1600));
}
