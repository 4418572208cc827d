// Baking the timelines into host keys, and deleting a figure's keys.
#include "timelinetestsupport.h"

#include "kybake.h"

class Baking : public FigureTimelineTest {
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        m_track->appendBlock(*makeBlock(QStringLiteral("walk"), walkZ(100.0f, 1000)), false);
        m_z = boneOf(m_figure, "hip")->getZPosControl();
    }
    DzFloatProperty *m_z = nullptr;
};

TEST_F(Baking, WritesAKeyAtEveryFrameFromZeroBelowTheRangeEnd)
{
    m_track->appendBlock(*m_track->blockAt(0), false);
    dzScene->setAnimRange(DzTimeRange(0, 4800));
    EXPECT_EQ(bakeTimeline(*m_timeline), 30);
    EXPECT_EQ(
        std::tuple(m_z->getNumKeys(), m_z->getKeyTime(1), m_z->getKeyTime(29)), std::tuple(30, 160, 4640));
    // The walk shows at every frame: 50 units at half a second.
    EXPECT_NEAR(m_z->getValue(2400), 50.0f, 0.1f);
    // Keys of a bake stay: nothing is pending.
    EXPECT_TRUE(
        m_timeline->binding(1)->m_keyHoldTime == 0 && m_timeline->binding(1)->m_rotationBackups.empty());

    // From 0 whatever the range start, at the scene's time step.
    m_z->deleteAllKeys();
    dzScene->setTimeStep(200);
    dzScene->setAnimRange(DzTimeRange(2400, 4800));
    EXPECT_EQ(bakeTimeline(*m_timeline), 24);
    EXPECT_EQ(std::tuple(m_z->getKeyTime(0), m_z->getKeyTime(23)), std::tuple(0, 4600));
    dzScene->setAnimRange(DzTimeRange(0, 0));
    EXPECT_EQ(bakeTimeline(*m_timeline), 0);
}

TEST_F(Baking, KeysAfterASkimStayPut)
{
    // A skim left the pane's target elsewhere; the bake still writes keys
    // that the hold release does not take back.
    dzScene->setAnimRange(DzTimeRange(0, 960));
    m_timeline->goSeek(400, true, false);
    m_timeline->goSkim(0);
    bakeTimeline(*m_timeline);
    m_timeline->releaseKeyHolds(10000);
    EXPECT_EQ(std::tuple(m_z->getNumKeys(), m_z->getKeyTime(0)), std::tuple(6, 0));
}

TEST_F(Baking, ClearKeysClearsTheWholeFigureFromItsHipDownAfterYes)
{
    DzNode *hand = boneOf(m_figure, "lHand"), *toe = boneOf(m_figure, "rToe"), *hip = boneOf(m_figure, "hip");
    hand->getXRotControl()->setValue(160, 10.0f);
    toe->getYRotControl()->setValue(320, 10.0f);
    hip->getXPosControl()->setValue(9600, 3.0f); // outside the play range
    m_figure->getXPosControl()->setValue(160, 1.0f); // the figure node itself
    dzScene->setPlayRange(DzTimeRange(0, 4800));

    dzScene->setPrimarySelection(nullptr);
    EXPECT_FALSE(clearDSKeys(nullptr));
    EXPECT_EQ(std::tuple(m_prompts.messages.value(0), m_prompts.questions.size()),
        std::tuple(QString("Nothing selected."), 0));

    dzScene->setPrimarySelection(hand);
    m_prompts.answers = { false };
    EXPECT_FALSE(clearDSKeys(nullptr));
    EXPECT_EQ(hand->getXRotControl()->getNumKeys(), 1);
    EXPECT_EQ(m_prompts.questions.value(0).toStdString(),
        "Are you sure you want to delete all the keyframes on this skeleton?");

    m_prompts.answers = { true, true, true };
    EXPECT_TRUE(clearDSKeys(nullptr));
    EXPECT_EQ(std::tuple(hand->getXRotControl()->getNumKeys(), toe->getYRotControl()->getNumKeys(),
                  hip->getXPosControl()->getNumKeys(), m_figure->getXPosControl()->getNumKeys()),
        std::tuple(0, 0, 1, 1));
    DzTimeRange all(0, 20000);
    EXPECT_TRUE(clearDSKeys(&all));
    EXPECT_EQ(hip->getXPosControl()->getNumKeys(), 0);

    // A figure without a hip starts at its top node.
    DzSkeleton *lamp = addHiplessFigure("arm");
    ASSERT_NE(lamp, nullptr);
    DzNode *arm = boneOf(lamp, "arm");
    lamp->getYRotControl()->setValue(0, 30.0f);
    arm->getXRotControl()->setValue(0, 30.0f);
    dzScene->setPrimarySelection(arm);
    EXPECT_TRUE(clearDSKeys(nullptr));
    EXPECT_EQ(std::tuple(lamp->getYRotControl()->getNumKeys(), arm->getXRotControl()->getNumKeys()),
        std::tuple(0, 0));
}
