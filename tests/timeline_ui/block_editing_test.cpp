// Split, join and crop on a track.
#include "timelinetestsupport.h"

#include "kyblockediting.h"
#include "kytrackgeometry.h"

#include <QFile>

class BlockEditing : public FigureTimelineTest {
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        m_walk = makeBlock(QStringLiteral("walk2"), walkZ(100.0f, 2000));
        m_turn = makeBlock(QStringLiteral("turn"), turnY(90.0f, 1000));
    }
    void select(std::initializer_list<KyBlock *> blocks)
    {
        m_track->clearSelection();
        for (KyBlock *b : blocks)
            m_track->addToSelection(b);
    }
    bool split() { return splitBlock(*m_track, KyTrackGeometry()); }
    bool join() { return joinBlocks(*m_track, m_temp.path()); }
    bool crop() { return cropBlock(*m_track, m_temp.path()); }
    std::string lastMessage() const
    {
        return m_prompts.messages.value(m_prompts.messages.size() - 1).toStdString();
    }

    KyBlock *m_walk = nullptr, *m_turn = nullptr;
};

// A placed block stays the track's: the registry never holds it.
static long registered(const KyBlock *block)
{
    return std::count(KyBlock::registry().begin(), KyBlock::registry().end(), block);
}

TEST_F(BlockEditing, SplitsTheCurrentBlockAtThePlayheadAndJoinsItBack)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *after = m_track->appendBlock(*m_turn, true);
    m_track->setCurrentBlock(a);
    // Not within 25 px (625 ms at the default zoom) of the edges.
    for (int ms : { 500, 1500 }) {
        m_track->movePlayhead(ms);
        EXPECT_FALSE(split());
        EXPECT_EQ(lastMessage(), "Playhead can't split kinBlock. ");
    }
    m_track->movePlayhead(800);
    ASSERT_TRUE(split());
    ASSERT_EQ(m_track->count(), 3);
    KyBlock *second = m_track->blockAt(1);
    EXPECT_EQ(std::tuple(a->outPoint, second->inPoint, second->outPoint, second->clipHandle),
        std::tuple(800, 800, 2000, a->clipHandle));
    EXPECT_EQ(std::tuple(m_track->blockAt(2), m_track->endTime(), m_track->selection()),
        std::tuple(after, 3000, std::vector<KyBlock *> { a }));
    // The two pieces join back without a file.
    ASSERT_TRUE(join());
    EXPECT_EQ(
        std::tuple(m_track->count(), a->outPoint, m_prompts.fileRequests.size()), std::tuple(2, 2000, 0u));
    m_track->movePlayhead(625);
    EXPECT_TRUE(split());
}

TEST_F(BlockEditing, SplitOfTheBlockUnderThePlayheadAsksFirst)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    m_track->setGap(a, 1000);
    m_track->movePlayhead(2000);
    EXPECT_FALSE(split());
    EXPECT_EQ(m_prompts.questions,
        QStringList { "The kinBlock is split at the location of the playhead.  That "
                      "kinblock is not selected.\n   Continue? " });
    m_prompts.answers = { true };
    EXPECT_TRUE(split());
    ASSERT_EQ(m_track->count(), 2);
    EXPECT_TRUE(m_track->currentBlock() == nullptr && m_track->selection().empty());
    EXPECT_EQ(m_track->blockAt(1)->gap, 1000); // the second part keeps the gap the block had
    m_prompts.answers = { true };
    m_track->movePlayhead(500); // in the gap: nothing under the playhead
    EXPECT_FALSE(split());
    EXPECT_EQ(lastMessage(), "Playhead can't split kinBlock.");
}

TEST_F(BlockEditing, JoinChecksTheSelectionAndNeitherJoinNorCropTakeLoopingBlocks)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *b = m_track->appendBlock(*m_turn, true);
    KyBlock *c = m_track->appendBlock(*m_turn, true);
    m_track->setInOut(a, 0, 2050);
    EXPECT_FALSE(blockLoops(*a));
    m_track->setInOut(a, 0, 2051);
    EXPECT_TRUE(blockLoops(*a));
    select({ a });
    EXPECT_FALSE(join());
    EXPECT_EQ(lastMessage(), "Combining looping blocks is not supported");
    m_track->setCurrentBlock(a);
    EXPECT_FALSE(crop());
    EXPECT_EQ(lastMessage(), "Cropping a looping kinBlock is not supported");
    m_track->setInOut(a, 0, 2000);
    const struct {
        std::initializer_list<KyBlock *> selection;
        const char *message;
    } cases[] = {
        { {}, "No kinBlock Selected." },
        { { a, b, c }, "Please only select 2 kinBlocks to join." },
        { { a, c }, "Please select 2 adjacent kinBlocks" },
        { { c }, "No kinBlock after Selected block." },
    };
    for (const auto &k : cases) {
        select(k.selection);
        EXPECT_FALSE(join());
        EXPECT_EQ(lastMessage(), k.message);
    }
    // B reorients but C after it does not: asked, and No stops.
    c->flags = 0;
    select({ a });
    EXPECT_FALSE(join());
    EXPECT_TRUE(m_prompts.questions.last().startsWith(
        "You are combining with a reoriented block where the next following block, turn,"));
    EXPECT_EQ(std::tuple(m_track->count(), m_prompts.fileRequests.size()), std::tuple(3, 0u));
}

TEST_F(BlockEditing, JoinWritesANewBlockFileButNeverOverAnOriginal)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    KyBlock *b = m_track->appendBlock(*m_turn, true);
    select({ b, a });
    m_prompts.files = { tempPath("s_stock.kba"), tempPath("joined.kba") };
    ASSERT_TRUE(join());
    EXPECT_EQ(lastMessage(), "Don't save over originals");
    EXPECT_FALSE(QFile::exists(tempPath("s_stock.kba")));
    EXPECT_EQ(m_track->blocks(), std::vector<KyBlock *> { a });
    EXPECT_EQ(std::tuple(a->name, a->path, registered(a)),
        std::tuple(QString("joined"), tempPath("joined.kba"), 0));
    EXPECT_NEAR(a->outPoint, 3000, 40); // both motions, sampled every 33 ms
    const KyBlock *written = KyBlock::get(a->path);
    ASSERT_NE(written, nullptr);
    EXPECT_EQ(written->clipLength, a->clipLength);
    EXPECT_EQ(m_track->checkConsistency().toStdString(), "");
}

TEST_F(BlockEditing, CropSavesTheVisiblePart)
{
    KyBlock *a = m_track->appendBlock(*m_walk, true);
    EXPECT_FALSE(crop());
    EXPECT_EQ(lastMessage(), "Cropping requires a selected kinBlock");
    m_track->setCurrentBlock(a);
    m_track->setInOut(a, 500, 1500);
    EXPECT_FALSE(crop()); // cancelled: unchanged
    EXPECT_EQ(a->inPoint, 500);
    m_prompts.files = { tempPath("middle") };
    ASSERT_TRUE(crop());
    EXPECT_EQ(std::tuple(a->inPoint, a->name, registered(a)), std::tuple(0, QString("middle"), 0));
    EXPECT_NEAR(a->outPoint, 1000, 33);
    EXPECT_TRUE(QFile::exists(tempPath("middle.kba")));
    EXPECT_EQ(m_walk->clipLength, 2000); // the library block's motion is untouched
    // An existing file is replaced only after Yes.
    m_prompts.files = { tempPath("middle.kba") };
    m_prompts.answers = { false };
    EXPECT_FALSE(crop());
    EXPECT_EQ(m_prompts.questions.last().toStdString(), "Save over existing?");
}
