// The main pane: its construction, options, settings and actions, and the
// mouse-driven block mixer of its surface.
#include "panetestsupport.h"

#include "kymasterbake.h"
#include "kymasterboneoffsettool.h"
#include "kymasterboneoffsetv4_v3.h"
#include "kymasterfacing.h"
#include "kymasterfootoffset.h"
#include "kymasterhor.h"
#include "kymasterinthor.h"
#include "kymastermaskfingers.h"
#include "kymasterskimming.h"
#include "kymastertrimtimeline.h"
#include "kymixerpoints.h"

#include "dzactionmgr.h"
#include "dzpanesettings.h"

class MixerPane : public MixerPaneTest {
protected:
    void SetUp() override
    {
        MixerPaneTest::SetUp();
        m_figure = addFigure();
        m_walk = makeBlock(QStringLiteral("walk"), walkZ(100.0f, 1000));
    }
    template <typename Action> Action *addAction()
    {
        auto *action = new Action;
        EXPECT_TRUE(m_window->getActionMgr()->addAction(action));
        return action;
    }

    DzSkeleton *m_figure = nullptr;
    KyBlock *m_walk = nullptr;
};

TEST_F(MixerPane, SettingsRestoreDefaultsAndActionStates)
{
    // skimming, trim, mask fingers, horizontal, facing, internal horizontal
    const std::vector<DzAction *> actions = { addAction<KyMasterSkimming>(),
        addAction<KyMasterTrimTimeline>(), addAction<KyMasterMaskFingers>(), addAction<KyMasterHor>(),
        addAction<KyMasterFacing>(), addAction<KyMasterIntHor>() };
    const auto states = [&actions] {
        std::vector<bool> on;
        for (DzAction *a : actions)
            on.push_back(a->isOn());
        return on;
    };
    DzPaneSettings stored;
    stored.setBoolValue("mDoSkimming", false);
    stored.setBoolValue("mMaskFingers", true);
    stored.setIntValue("mDefaultFlags0", 8);
    m_pane->restoreSettings(stored);
    EXPECT_EQ(states(), (std::vector<bool> { false, true, true, false, false, true }));
    // Empty settings give the defaults.
    m_pane->restoreSettings(DzPaneSettings());
    EXPECT_EQ(states(), (std::vector<bool> { true, true, false, true, true, true }));
    // Toggling an action writes the option.
    actions[3]->setOn(false);
    DzPaneSettings saved;
    m_pane->saveSettings(saved);
    EXPECT_EQ(saved.getIntValue("mDefaultFlags0"), 12);
    // Switching trimming on trims at once.
    trackOf(m_figure)->appendBlock(*m_walk, true);
    dzScene->setAnimRange(DzTimeRange(0, 48000));
    actions[1]->setOn(false);
    EXPECT_EQ(dzScene->getAnimRange().getEnd(), 48000);
    actions[1]->setOn(true);
    EXPECT_EQ(dzScene->getAnimRange().getEnd(), 4800);
}

TEST_F(MixerPane, BakeWritesKeysAsOneUndoStepAndOffsetActionsNeedAFigure)
{
    auto *bake = addAction<KyMasterBake>();
    trackOf(m_figure)->appendBlock(*m_walk, true);
    m_pane->trimTimeline();
    DzNode *hip = boneOf(m_figure, "hip");
    hip->getXRotControl()->setValue(9600, 3.0f); // a user key past the range
    dzUndoStack->clear();
    bake->trigger();
    EXPECT_EQ(m_prompts.statuses.last().toStdString(), "Baked 30 frames to DS keyframes");
    EXPECT_EQ(dzUndoStack->getUndoCaption().toStdString(), "Bake kinTimelines");
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(std::tuple(hip->getZPosControl()->getNumKeys(), hip->getXRotControl()->getNumKeys()),
        std::tuple(0, 1));
    ASSERT_TRUE(dzUndoStack->redo());
    EXPECT_EQ(hip->getZPosControl()->getNumKeys(), 30);
    dzUndoStack->clear();
    // The offset actions need a figure.
    trackOf(nullptr);
    auto *v3 = addAction<KyMasterBoneOffsetV4_V3>();
    auto *tool = addAction<KyMasterBoneOffsetTool>();
    auto *foot = addAction<KyMasterFootOffset>();
    v3->trigger();
    EXPECT_EQ(m_prompts.messages.last().toStdString(), "No Skeleton Selected");
    tool->setOn(true);
    EXPECT_FALSE(tool->isOn());
    bool dialogRan = false;
    kySetDialogRunner([&](QDialog &) { dialogRan = true; });
    foot->trigger();
    EXPECT_EQ(std::tuple(dialogRan, m_prompts.messages.size()), std::tuple(false, 3));

    trackOf(m_figure);
    v3->trigger();
    v3->trigger();
    EXPECT_EQ(m_pane->timeline()->currentBinding()->m_rotationalOffsets.size(), 6u);
    tool->setOn(true);
    EXPECT_TRUE(m_pane->timeline()->offsetToolOn());
    v3->trigger(); // the conversion switches the tool off, and the action follows
    EXPECT_FALSE(tool->isOn());
    kySetDialogRunner(
        [&](QDialog &dialog) { static_cast<KyMasterFootDialog &>(dialog).offsetBox()->setValue(-20); });
    foot->trigger();
    EXPECT_FLOAT_EQ(m_pane->timeline()->currentBinding()->m_heelOffset, -20.0f);
}

TEST(MixerPoints, PicksTheNearestWithABiasForTheCurrentOne)
{
    KyMixerPoints points;
    EXPECT_EQ(points.pick(QPoint(0, 0)), -1);
    KyBlock *block = KyBlock::create();
    ASSERT_TRUE(points.add(QPoint(0, 0), *block));
    ASSERT_TRUE(points.add(QPoint(100, 0), *block));
    EXPECT_TRUE(points.current() == 0 && points.block(0) != block); // a copy of its own
    // 59 from the current one, 41 from the other: 39 < 41, the current
    // stays; 61 − 20 = 41 against 39: the other one wins; exactly 20 nearer
    // is not strictly nearer.
    for (auto [current, x, picked] :
        { std::tuple { 0, 59, 0 }, { 0, 61, 1 }, { 0, 60, 0 }, { 1, 41, 1 }, { 1, 39, 0 } }) {
        points.setCurrent(current);
        EXPECT_EQ(points.pick(QPoint(x, 0)), picked) << current << " at " << x;
    }
    for (int i = 2; i < KyMixerPoints::kMaxPoints; ++i)
        ASSERT_TRUE(points.add(QPoint(i, i), *block));
    EXPECT_FALSE(points.add(QPoint(5, 5), *block));
    // The velocity follows the mouse smoothly, capped at 1.25 and the
    // fastest when no time passed.
    EXPECT_FLOAT_EQ(KyMixerPoints::nextVelocity(0.0f, 10, 100), 0.05f * 0.5f);
    EXPECT_FLOAT_EQ(KyMixerPoints::nextVelocity(1.0f, 10, 100), 0.05f * 0.5f + 0.95f);
    EXPECT_FLOAT_EQ(KyMixerPoints::nextVelocity(0.0f, 1000, 10), 0.05f * 1.25f);
    EXPECT_FLOAT_EQ(KyMixerPoints::nextVelocity(0.0f, 3, 0), 0.05f * 1.25f);
}

TEST_F(MixerPane, MouseMovesStartTheNearestBlockAndSetTheVelocityInTheOneInstance)
{
    ASSERT_TRUE(m_pane->addMixerPoint(QPoint(10, 10), *m_walk));
    ASSERT_TRUE(m_pane->addMixerPoint(QPoint(200, 10), *m_walk));
    m_pane->mixerMove(QPoint(12, 10), 1000);
    EXPECT_TRUE(m_pane->mixerPoints().block(0)->isCurrent());
    EXPECT_FLOAT_EQ(m_pane->dragVelocity(), 0.0f); // no previous move yet
    m_pane->mixerMove(QPoint(190, 10), 1100);
    EXPECT_TRUE(m_pane->mixerPoints().block(1)->isCurrent() && m_pane->mixerPoints().current() == 1);
    EXPECT_FLOAT_EQ(m_pane->dragVelocity(), 0.05f * 1.25f);
    m_pane->mixerRelease();
    EXPECT_FLOAT_EQ(m_pane->dragVelocity(), 0.0f);
    // The pane is the one instance until its window goes.
    EXPECT_EQ(KyMixerPane::instance(), m_pane);
    m_window.reset();
    EXPECT_EQ(KyMixerPane::instance(), nullptr);
}
