// The main pane's logic: the animation update and its branches, seeking and
// skimming, host time changes, preview holds, the offset tool, recording,
// and selection and scene events.
#include "timelinetestsupport.h"

#include "kymixercore.h"
#include "kyrecordingbuffers.h"

#include "engine.h"

#include <QFile>

class MixerCore : public FigureTimelineTest {
protected:
    void SetUp() override
    {
        FigureTimelineTest::SetUp();
        m_core = std::make_unique<KyMixerCore>(m_timeline.get());
        m_timeline->setClock([this] { return m_now; });
        m_core->setClock([this] { return m_now; });
        m_core->setStartFolderProvider([this] { return m_temp.path(); });
        m_block = makeBlock(QStringLiteral("swing"),
            walkZ(100.0f, 2000).ramp(QStringLiteral("lShldr"), 10, 40, { -1, 0, 0 }));
        m_track->appendBlock(*m_block, true);
        m_hip = boneOf(m_figure, "hip");
        m_hipZ = m_hip->getZPosControl();
        m_shoulder = boneOf(m_figure, "lShldr");
    }
    void TearDown() override
    {
        m_core.reset();
        FigureTimelineTest::TearDown();
    }
    // Updates `count` times, `ms` apart.
    void tick(int ms, int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            m_now += ms;
            m_core->animUpdate();
        }
    }
    int holdTime() { return m_timeline->binding(1)->m_keyHoldTime; }

    int m_now = 1000;
    std::unique_ptr<KyMixerCore> m_core;
    KyBlock *m_block = nullptr;
    DzNode *m_hip = nullptr, *m_shoulder = nullptr;
    DzFloatProperty *m_hipZ = nullptr;
};

TEST_F(MixerCore, EvaluatesWhenActiveAndDirtyOnlyAndIsNotReentered)
{
    m_timeline->goSeek(1000, true, false);
    m_timeline->goActive(false);
    m_core->animUpdate();
    EXPECT_EQ(std::tuple(m_hipZ->getNumKeys(), m_timeline->isDirty()), std::tuple(0, true));
    m_timeline->goActive(true);
    m_core->animUpdate();
    EXPECT_NEAR(m_hipZ->getValue(4800), 50.0f, 0.1f);
    // Not dirty: the next update does not evaluate again.
    m_hipZ->deleteAllKeys();
    tick(33);
    EXPECT_EQ(m_hipZ->getNumKeys(), 0);

    int evaluations = 0;
    QObject::connect(m_track, &KyTrack::playheadMoved, [&](int) {
        ++evaluations;
        EXPECT_TRUE(m_core->isUpdating());
        m_core->animUpdate(); // returns at once
    });
    m_timeline->goSeek(500, false, false);
    m_core->animUpdate();
    EXPECT_EQ(std::tuple(evaluations, m_core->isUpdating()), std::tuple(1, false));
}

TEST_F(MixerCore, SeekSetsTheHostTimeAndEvaluatesOnce)
{
    int moves = 0;
    QObject::connect(m_track, &KyTrack::playheadMoved, [&moves](int) { ++moves; });
    m_timeline->goSeek(1000);
    EXPECT_EQ(std::tuple(dzScene->getTime(), m_timeline->currentTime(), m_timeline->seekTarget(),
                  m_timeline->isDirty(), moves),
        std::tuple(4800, 1000, 1000, false, 2)); // goSeek's own move and the evaluation's
    // The same time again: nothing at all, not even a playhead move.
    m_timeline->goSeek(1000);
    EXPECT_EQ(moves, 2);
    // A host that plays keeps playing.
    dzScene->play(true);
    m_timeline->goSeek(200);
    EXPECT_EQ(std::tuple(dzScene->isPlaying(), dzScene->getTime()), std::tuple(true, snappedTicks(200)));
    dzScene->pause();
}

TEST_F(MixerCore, SkimMarksDirtyWithoutMovingTheHost)
{
    m_timeline->goSkim(700);
    EXPECT_EQ(std::tuple(m_timeline->currentTime(), m_timeline->seekTarget(), dzScene->getTime(),
                  m_timeline->isDirty() && m_timeline->frameClockReset()),
        std::tuple(700, 0, 0, true));
    // Ignored while skimming is disabled and while playing.
    m_core->animUpdate();
    m_timeline->setSkimmingEnabled(false);
    m_timeline->goSkim(900);
    EXPECT_EQ(m_timeline->currentTime(), 700);
    m_timeline->setSkimmingEnabled(true);
    m_timeline->goPlay();
    m_timeline->goSkim(900);
    EXPECT_EQ(std::tuple(m_timeline->currentTime(), m_timeline->isDirty()), std::tuple(0, false));
}

TEST_F(MixerCore, BackSeeksToTheStartUnlessAlreadyThere)
{
    // Back at 0 does nothing, not even pause the host.
    dzScene->play(true);
    m_timeline->goBack();
    EXPECT_TRUE(dzScene->isPlaying());
    dzScene->pause();
    m_timeline->goSeek(1500);
    m_timeline->goBack();
    EXPECT_EQ(std::tuple(m_timeline->currentTime(), dzScene->getTime()), std::tuple(0, 0));
}

TEST_F(MixerCore, HostTimeChangesSeekAndEvaluateAndChangesAskForATrim)
{
    m_core->connectHost();
    dzScene->setTime(3200);
    EXPECT_EQ(std::tuple(m_timeline->currentTime(), m_timeline->isDirty(), m_hipZ->getNumKeys() > 0),
        std::tuple(666, false, true));
    dzScene->setTime(3201); // not a whole frame: ignored
    EXPECT_EQ(m_timeline->currentTime(), 666);
    // Blocked while a scene loads.
    m_core->blockRefresh();
    dzScene->setTime(4800);
    EXPECT_EQ(m_timeline->currentTime(), 666);
    m_core->unblockRefresh();
    dzScene->setTime(1600);
    EXPECT_EQ(m_timeline->currentTime(), 333);
    // A progress dialog stops it unless a render runs.
    m_core->setProgressQuery([] { return true; });
    dzScene->setTime(4800);
    EXPECT_EQ(m_timeline->currentTime(), 333);
    m_core->renderStarting();
    dzScene->setTime(6400);
    EXPECT_EQ(m_timeline->currentTime(), 1333);
    // Changes ask for a delayed trim.
    m_track->appendBlock(*m_block, true);
    EXPECT_TRUE(m_core->isTrimPending());
    m_timeline->setAutoTrim(false);
    m_core->trimTimeline();
    EXPECT_EQ(dzScene->getAnimRange().getEnd(), msToTicks(4000));
}

TEST_F(MixerCore, PreviewHoldRestoresExistingKeysAndRemovesNewOnes)
{
    // Host keys at frame 0: the shoulder has one, the hip none.
    m_shoulder->getXRotControl()->setValue(0, 15.0f);
    m_hip->getYRotControl()->setValue(0, 370.0f); // must come back as 370
    m_hip->getYRotControl()->setValue(4800, 380.0f);
    m_timeline->goSkim(1000);
    m_core->animUpdate();
    EXPECT_EQ(std::tuple(holdTime(), m_hipZ->findKeyIndex(0)), std::tuple(500, 0));
    // Elapsed is capped at 100 per update: one long pause counts as 100.
    tick(5000);
    tick(100, 3);
    EXPECT_EQ(
        std::tuple(holdTime(), m_shoulder->getXRotControl()->getValue(0) != 15.0f), std::tuple(100, true));
    tick(100);
    EXPECT_EQ(std::tuple(holdTime(), m_shoulder->getXRotControl()->getValue(0),
                  m_hip->getYRotControl()->getKeyValue(0)),
        std::tuple(0, 15.0f, 370.0f));
    // Restored keys and no new ones: shoulder X, hip Y twice, shoulder Y and hip Z none.
    EXPECT_EQ(std::tuple(m_shoulder->getXRotControl()->getNumKeys(), m_hip->getYRotControl()->getNumKeys(),
                  m_shoulder->getYRotControl()->getNumKeys(), m_hipZ->getNumKeys()),
        std::tuple(1, 2, 0, 0));

    // A hovered tile keeps its preview.
    m_timeline->goSkim(1500);
    m_core->animUpdate();
    m_timeline->setPointerOverBlock(true);
    tick(100, 10);
    EXPECT_EQ(holdTime(), 500);
    m_timeline->setPointerOverBlock(false);
    tick(100, 5);
    EXPECT_EQ(holdTime(), 0);
}

TEST_F(MixerCore, SeekingLeavesKeysEvenAfterASkimAtTheSameFrame)
{
    // A skim preview at host frame 0 is pending; a seek writes frame 0 for
    // good: the pending backup must not take the seek's keys away.
    m_timeline->goSkim(1000);
    m_core->animUpdate();
    m_timeline->goSeek(0, true, false);
    m_core->animUpdate();
    tick(100, 6);
    EXPECT_EQ(m_hipZ->findKeyIndex(0), 0);
    m_timeline->goSeek(1000);
    tick(100, 11);
    EXPECT_NE(m_hipZ->findKeyIndex(4800), -1);
}

TEST_F(MixerCore, DragVelocityPlaysTheEngineOnTheSelectedFigure)
{
    dzScene->setPrimarySelection(m_shoulder);
    m_block->startOn(0, -1);
    m_core->setDragVelocity(1.0f);
    int clock = engineState().clock;
    tick(50);
    EXPECT_EQ(std::tuple(
                  engineState().clock - clock, holdTime(), m_timeline->binding(1)->m_rotationBackups.empty()),
        std::tuple(50, 250, false));
    m_core->setDragVelocity(0.5f); // half speed
    clock = engineState().clock;
    tick(80);
    EXPECT_EQ(engineState().clock - clock, 40);
    // Skimming disabled: the drag does nothing and the hold runs out.
    m_timeline->setSkimmingEnabled(false);
    clock = engineState().clock;
    tick(100, 4);
    EXPECT_EQ(std::tuple(engineState().clock, holdTime()), std::tuple(clock, 0));
}

TEST_F(MixerCore, OffsetToolFollowsTheTime)
{
    m_timeline->goSeek(500);
    m_timeline->setOffsetTool(true);
    // The user bends the forearm by 20 degrees on top of the pose.
    DzNode *forearm = boneOf(m_figure, "rForeArm");
    const DzQuat bend(DzVec3(0, 0, 1), 20.0 * 3.14159265358979323846 / 180.0);
    forearm->setLocalRot(bend * forearm->getLocalRot());
    tick(33);
    FigureBinding *binding = m_timeline->binding(1);
    ASSERT_EQ(binding->m_rotationalOffsets.count(forearm), 1u);
    EXPECT_LT(angleBetween(binding->m_rotationalOffsets[forearm], bend), 0.01);
    // Another time: the tool goes off and the offsets stay.
    m_timeline->goSeek(900);
    tick(33);
    EXPECT_EQ(
        std::tuple(m_timeline->offsetToolOn(), binding->m_rotationalOffsets.size()), std::tuple(false, 1u));
}

TEST_F(MixerCore, RecordsFramesAsKeysAndMakesABlock)
{
    dzScene->setPrimarySelection(m_hip);
    dzScene->setTime(1600);
    m_block->startOn(0, -1);
    KyBlock *created = nullptr;
    QObject::connect(m_core.get(), &KyMixerCore::blockCreated, [&](KyBlock *b) { created = b; });
    m_prompts.files = { tempPath(QStringLiteral("recorded.kba")) };
    m_core->setRecordingRequested(true);
    m_core->setDragVelocity(1.0f);
    tick(33, 31);
    const KyRecordingBuffers &buffers = m_core->recordingBuffers();
    EXPECT_EQ(std::tuple(buffers.frameCount(), buffers.node(0), holdTime()), std::tuple(31, m_hip, 0));

    m_core->setDragVelocity(0.0f);
    m_core->setRecordingRequested(false);
    tick(33);
    // Frames laid out from the host's time, 33 ms (158 ticks) apart.
    ASSERT_EQ(m_hipZ->getNumKeys(), 31);
    EXPECT_EQ(std::tuple(m_hipZ->getKeyTime(0), m_hipZ->getKeyTime(1), m_hipZ->getKeyTime(30)),
        std::tuple(1600, 1758, 6340));
    EXPECT_GE(dzScene->getAnimRange().getEnd(), 6340);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(std::tuple(created->name, QFile::exists(created->path), created->clipLength > 900),
        std::tuple(QString("recorded"), true, true));
}

TEST_F(MixerCore, SelectionAndSceneEvents)
{
    m_core->connectHost();
    dzScene->setPrimarySelection(m_hip);
    // A node without a skeleton keeps the current track.
    DzNode *prop = new DzNode(QStringLiteral("prop"));
    dzScene->addNode(prop);
    dzScene->setPrimarySelection(prop);
    EXPECT_EQ(
        std::tuple(m_core->hasEvaluationTimer(), m_timeline->currentTrack()), std::tuple(true, m_track));
    DzSkeleton *second = addFigure();
    dzScene->setPrimarySelection(boneOf(second, "lHand"));
    EXPECT_EQ(std::tuple(m_timeline->currentBinding()->skeleton(), m_timeline->bindingCount()),
        std::tuple(second, 3));
    // Hiding a figure does not unbind it.
    second->setHidden(true);
    m_core->refresh();
    EXPECT_EQ(std::tuple(m_timeline->binding(2)->skeleton(), m_timeline->shownSkeletons().contains(second)),
        std::tuple(second, false));
    // The figure leaves the scene: its binding is unbound, the track stays.
    dzScene->removeNode(m_figure);
    EXPECT_EQ(std::tuple(m_timeline->binding(1)->skeleton(), m_timeline->tracks(1).front()->count()),
        std::tuple(nullptr, 1));
    // Clearing the scene resets the timeline to its null binding.
    bool sceneDataAsked = false;
    QObject::connect(m_core.get(), &KyMixerCore::sceneDataNeeded, [&] { sceneDataAsked = true; });
    dzScene->clear();
    EXPECT_EQ(std::tuple(m_timeline->bindingCount(), m_timeline->allTracks().size(),
                  m_timeline->currentBindingIndex(), m_core->isRefreshBlocked(), sceneDataAsked),
        std::tuple(1, 1u, 0, false, true));
}
