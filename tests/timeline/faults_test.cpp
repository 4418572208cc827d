// Bad input and limits: blocks too short to loop, recording past the
// buffers, messages that must not block.
#include "timelinetestsupport.h"

#include "kyevaluator.h"
#include "kyposer.h"
#include "kyrecordingbuffers.h"

#include "engine.h"

#include "dzbone.h"

#include <climits>

class Faults : public FigureTimelineTest { };

TEST_F(Faults, BlocksWithALoopLengthOfZeroAreEvaluatedWithoutDividing)
{
    // A 5 ms clip played at 10x: clipLength / speed is 0 timeline ms.
    MotionPlan shortClip = still(5);
    shortClip.stepMs = 5;
    KyBlock *walk = makeBlock(QStringLiteral("walk"), walkZ(100.0f));
    m_track->appendBlock(*walk, false);
    KyBlock *fast = m_track->appendBlock(*makeBlock(QStringLiteral("tiny"), shortClip), false);
    KyBlock *after = m_track->appendBlock(*walk, false);
    m_track->addToSelection(fast);
    m_track->speedChanged(1000);
    EXPECT_EQ(fast->loopLength(), 0);
    EXPECT_GE(fast->outPoint, fast->inPoint + 1);
    m_track->setInOut(fast, 0, 300);
    EXPECT_EQ(m_track->checkConsistency().toStdString(), "");
    // Evaluate across all three, including the block after it (which names
    // the zero-length block as its previous one) and the gap logic.
    for (int t = 0; t < m_track->endTime(); t += 50) {
        m_timeline->goSeek(t, true, false);
        m_timeline->updateStep();
    }
    m_track->setGap(after, 200);
    m_timeline->goSeek(1350, true, false);
    m_timeline->updateStep();
    EXPECT_EQ(locateBlock(*m_track, 1350).kind, BlockLocation::InGap);
}

TEST_F(Faults, RecordingStopsAtTheBufferLimits)
{
    KyRecordingBuffers buffers;
    buffers.reset();
    // More nodes than rotation lists: the extra ones are not recorded.
    std::vector<DzNode *> nodes;
    for (int i = 0; i < KyRecordingBuffers::kMaxNodes + 40; ++i) {
        nodes.push_back(new DzBone(QStringLiteral("extra%1").arg(i)));
        m_figure->addNodeChild(nodes.back());
    }
    const DzQuat turn(DzVec3(0, 1, 0), 0.1);
    ASSERT_TRUE(buffers.beginFrame(33));
    buffers.addRoot(nodes[0], DzVec3(1, 2, 3), DzQuat());
    for (size_t i = 1; i < nodes.size(); ++i)
        buffers.addRotation(nodes[i], turn);
    buffers.endFrame();
    EXPECT_EQ(buffers.nodeCount(), KyRecordingBuffers::kMaxNodes);
    // More frames than the buffers hold: refused from the limit on.
    for (int i = 1; i < KyRecordingBuffers::kMaxFrames; ++i) {
        ASSERT_TRUE(buffers.beginFrame(1)) << i;
        buffers.addRoot(nodes[0], DzVec3(0, 0, static_cast<float>(i)), DzQuat());
        buffers.endFrame();
    }
    EXPECT_EQ(std::tuple(buffers.beginFrame(1), buffers.isFull(), buffers.frameCount()),
        std::tuple(false, true, KyRecordingBuffers::kMaxFrames));
    // Every list is exactly one entry per frame.
    EXPECT_TRUE(buffers.rotation(KyRecordingBuffers::kMaxNodes - 1, KyRecordingBuffers::kMaxFrames - 1)
                    .isSameRotation(turn));
}

TEST_F(Faults, RecordedNodesKeepTheirOwnRotationsWhenAFrameSkipsOne)
{
    DzNode *hip = boneOf(m_figure, "hip"), *neck = boneOf(m_figure, "neck"), *head = boneOf(m_figure, "head");
    const DzQuat a(DzVec3(1, 0, 0), 0.2), b(DzVec3(0, 1, 0), 0.3), c(DzVec3(0, 0, 1), 0.4);
    KyRecordingBuffers buffers;
    buffers.reset();
    // The second frame does not drive the neck: the head's rotation must not
    // end up in the neck's list.
    for (const DzQuat *neckTurn : { &a, static_cast<const DzQuat *>(nullptr) }) {
        buffers.beginFrame(33);
        buffers.addRoot(hip, DzVec3(), DzQuat());
        if (neckTurn)
            buffers.addRotation(neck, *neckTurn);
        buffers.addRotation(head, neckTurn ? b : c);
        buffers.endFrame();
    }
    EXPECT_EQ(buffers.writeKeys(320), DzTimeRange(320, 478));
    EXPECT_TRUE(
        head->getLocalRot(478).isSameRotation(c, 1e-5) && neck->getLocalRot(478).isSameRotation(a, 1e-5));
}

TEST_F(Faults, RecordingWithoutADrivenHipFilesNoRoot)
{
    // A block that drives the neck only: the neck is recorded as a bone and
    // gets rotation keys, never the root's position keys.
    DzNode *neck = boneOf(m_figure, "neck");
    KyBlock *neckOnly = KyBlock::create();
    for (int t : { 0, 1000 }) {
        neckOnly->addTranslationKey(QStringLiteral("neck"), t, 0.0f, 0.0f, t / 1000.0f);
        neckOnly->addRotationKey(QStringLiteral("neck"), t, 30.0f, 1.0f, 0.0f, 0.0f);
    }
    neckOnly->clipLength = 1000;
    neckOnly->outPoint = 1000;
    neckOnly->startOn(0, 0);
    engineAdvance(0);
    KyRecordingBuffers buffers;
    buffers.reset();
    PoseOptions options;
    options.recording = &buffers;
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_TRUE(buffers.beginFrame(33));
        applyPose(*m_timeline->currentBinding(), 0, 0, options);
        buffers.endFrame();
    }
    buffers.writeKeys(0);
    EXPECT_EQ(std::tuple(neck->getXRotControl()->getNumKeys() > 0, neck->getXPosControl()->getNumKeys(),
                  neck->getYPosControl()->getNumKeys(), neck->getZPosControl()->getNumKeys()),
        std::tuple(true, 0, 0, 0));
}

TEST_F(Faults, BindingsForgetNodesThatLeave)
{
    FigureBinding *binding = m_timeline->currentBinding();
    DzNode *forearm = boneOf(m_figure, "rForeArm");
    binding->m_rotationalOffsets[forearm] = DzQuat(DzVec3(1, 0, 0), 0.2);
    binding->m_rotationBackups[forearm] = HostBackup::capture(forearm, 0, true);
    m_timeline->nodeRemoved(forearm);
    EXPECT_TRUE(binding->m_rotationalOffsets.empty() && binding->m_rotationBackups.empty()
        && binding->skeleton() == m_figure);
    // A backup whose node was deleted restores nothing and does not crash.
    DzNode *neck = boneOf(m_figure, "neck");
    binding->m_rotationBackups[neck] = HostBackup::capture(neck, 0, true);
    binding->m_keyHoldTime = 10;
    delete neck;
    releaseKeyHold(*binding, 20);
    EXPECT_TRUE(binding->m_keyHoldTime == 0 && binding->m_rotationBackups.empty());
}

TEST_F(Faults, UpdateStepsMeasureElapsedTimeAcrossTheClockWrap)
{
    // The millisecond clock runs through INT_MAX into negative values and
    // through −1; every step still advances by the 100 ms that passed.
    int now = 0;
    m_timeline->setClock([&now] { return now; });
    for (auto [from, clocks] :
        { std::pair { 1000, std::vector<int> { INT_MAX - 149, INT_MAX - 49, INT_MIN + 50, INT_MIN + 150 } },
            { 0, std::vector<int> { -201, -101, -1, 99, 199 } } }) {
        m_timeline->goSeek(from, true, false);
        int expected = from;
        for (int clock : clocks) {
            now = clock;
            m_timeline->updateStep();
            EXPECT_EQ(m_timeline->currentTime(), expected) << "clock " << clock;
            expected += 100;
        }
    }
    // A step between frames lands on the nearest frame: 400 + 50 ms → 466.
    now += 50;
    m_timeline->updateStep();
    EXPECT_EQ(m_timeline->currentTime(), 466);
}
