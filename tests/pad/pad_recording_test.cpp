// A scripted performance: a drag between two stock blocks on a fake clock,
// recorded into host keys, cursor keys, a new block file and one undo step,
// then its skipped frames filled from the cursor track; a preview with sound.
#include "padtestsupport.h"

#include "engine.h"

#include "dzaudioclip.h"

class PadRecording : public PadTest {
protected:
    void SetUp() override
    {
        PadTest::SetUp();
        m_figure = addFigure();
        makeCore(m_figure);
        m_layer = m_pane->layersOf(m_figure).first();
        m_layer->addPose(m_walk, 0, 0);
        m_layer->addPose(m_run, 100, 0);
        dzUndoStack->clear();
    }

    DzSkeleton *m_figure = nullptr;
    KyPadLayer *m_layer = nullptr;
};

TEST_F(PadRecording, RecordsATakeAndFillsItsSkippedFrames)
{
    m_pane->padMode = KyPadPaneInterface::RecordMode;
    m_prompts.files.push_back(tempPath(QStringLiteral("take.kba")));
    // A press at the first dot, 45 updates of 33 ms (the 8th takes 100 ms)
    // towards the second, the release.
    ASSERT_TRUE(m_layer->dragStart(0.0f, 0.0f));
    for (int i = 1; i <= 45; ++i) {
        m_now += i == 8 ? 100 : 33;
        m_layer->moveCursor(static_cast<float>(i) * 100.0f / 45.0f, 0.0f);
        m_layer->timerUpdate();
        m_core->animUpdate();
    }
    m_layer->dragEnd();
    DzFloatProperty *hipRot = m_figure->findNodeChild(QStringLiteral("hip"))->getYRotControl();
    DzNode *shoulder = m_figure->findNodeChild(QStringLiteral("lShldr"), true);

    EXPECT_FALSE(m_core->isRecording());
    EXPECT_FALSE(m_layer->isEditHoldOpen());

    // One host key per recorded frame on every driven bone, and a cursor key
    // at each of those times.
    const int frames = hipRot->getNumKeys();
    EXPECT_NEAR(frames, 44, 1);
    EXPECT_EQ(shoulder->getZRotControl()->getNumKeys(), frames);
    const DzPointKeyList0 &keys = m_layer->cursor()->keys();
    ASSERT_EQ(keys.count(), frames);
    for (int i = 0; i < frames; ++i)
        EXPECT_EQ(keys.at(i)->time, hipRot->getKeyTime(i)) << i;
    // The cursor went from the first dot towards the second.
    EXPECT_LT(keys.at(0)->x, keys.at(frames - 1)->x);
    EXPECT_GT(keys.at(frames - 1)->x, 90.0f);
    // Extend Frames on: the ranges grew with the take (45 × 158 ticks > 4800).
    EXPECT_EQ(dzScene->getPlayRange().getEnd(), keys.at(frames - 1)->time);
    EXPECT_EQ(dzScene->getAnimRange().getEnd(), keys.at(frames - 1)->time);

    // The block file, sampled every 160 ticks, plays back the keyed poses.
    KyBlock *take = KyBlock::get(tempPath(QStringLiteral("take.kba")));
    ASSERT_NE(take, nullptr);
    EXPECT_GT(take->clipLength, 1000);
    for (int i : { 0, 5, 20, 40 }) {
        take->startOn(i * 160 * 1000 / 4800, 0);
        engineAdvance(0);
        EXPECT_LT(angleBetween(tableRotation(QStringLiteral("lShldr")), shoulder->getLocalRot(i * 160)), 1.0)
            << i;
    }

    // The whole performance is one undo step.
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("kinPading"));
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(std::pair(hipRot->getNumKeys(), keys.count()), std::pair(0, 0));
    ASSERT_TRUE(dzUndoStack->redo());
    EXPECT_EQ(std::pair(hipRot->getNumKeys(), keys.count()), std::pair(frames, frames));

    // The layer now claims the bones it recorded.
    EXPECT_TRUE(m_layer->transformMask()[0]);

    // Frames of 33 ms (158 ticks) leave no host frame without a key near it,
    // but the stall of 100 ms (480 ticks) skipped frames.
    DzTime skipped = -1;
    for (int i = 1; i < keys.count() && skipped < 0; ++i) {
        if (keys.at(i)->time - keys.at(i - 1)->time > 400) {
            // The first host frame more than half a frame after the key before the gap.
            skipped = (keys.at(i - 1)->time + 80 + 160) / 160 * 160;
            ASSERT_LT(skipped, keys.at(i)->time - 80);
        }
    }
    ASSERT_GT(skipped, 0);
    ASSERT_EQ(hipRot->findKeyIndex(skipped), -1);
    dzUndoStack->clear();
    const int keysBefore = hipRot->getNumKeys();
    m_layer->followTime(160); // a key at 158: not skipped
    EXPECT_EQ(hipRot->getNumKeys(), keysBefore);
    EXPECT_FALSE(m_layer->isEditHoldOpen());

    m_layer->followTime(skipped);
    EXPECT_TRUE(m_layer->isEditHoldOpen());
    EXPECT_GE(hipRot->findKeyIndex(skipped), 0);
    EXPECT_GE(shoulder->getZRotControl()->findKeyIndex(skipped), 0);
    // A frame outside the track, and one with a cursor key, fill nothing;
    // the cursor follows the track.
    const int before = hipRot->getNumKeys();
    m_layer->followTime(20 * 160 * 3);
    m_layer->followTime(keys.at(3)->time);
    EXPECT_EQ(hipRot->getNumKeys(), before);
    EXPECT_FLOAT_EQ(m_layer->cursor()->x, keys.at(3)->x);

    m_layer->undoTimeout();
    EXPECT_FALSE(m_layer->isEditHoldOpen());
    EXPECT_EQ(dzUndoStack->getUndoCaption(), QStringLiteral("kinPad Fill Frames"));
    ASSERT_TRUE(dzUndoStack->undo());
    EXPECT_EQ(hipRot->findKeyIndex(skipped), -1);

    // Fill Skipped Frames off: following the time only moves the cursor.
    m_pane->fill = false;
    m_layer->followTime(skipped);
    EXPECT_FALSE(m_layer->isEditHoldOpen());
    EXPECT_EQ(hipRot->findKeyIndex(skipped), -1);
}

TEST_F(PadRecording, PreviewPlaysAlongWithTheSoundWithoutRecording)
{
    m_pane->padMode = KyPadPaneInterface::PreviewMode;
    // The scene's sound plays along from the press to the release.
    auto *clip = new DzAudioClip;
    ASSERT_TRUE(clip->setPcmData(QByteArray(16000, '\0'), 8000, 1, 2));
    dzScene->setAudio(clip);
    ASSERT_TRUE(m_layer->dragStart(0.0f, 0.0f));
    EXPECT_TRUE(clip->isPlaying());
    const auto move = [&](float x) {
        m_now += 33;
        m_layer->moveCursor(x, 0.0f);
        m_layer->timerUpdate();
    };
    move(95.0f);
    EXPECT_TRUE(m_run->isCurrent());
    EXPECT_GT(m_core->dragVelocity(), 0.0f);
    m_layer->dragEnd();
    EXPECT_FALSE(clip->isPlaying());
    EXPECT_EQ(m_core->dragVelocity(), 0.0f);
    EXPECT_EQ(m_layer->cursor()->keys().count(), 0);
    EXPECT_TRUE(m_prompts.fileRequests.empty());

    // Mouse Controls Speed off: always 100%.
    m_pane->mouseSpeed = false;
    ASSERT_TRUE(m_layer->dragStart(0.0f, 0.0f));
    move(30.0f);
    EXPECT_EQ(m_pane->speedText, QStringLiteral("100%"));
    m_layer->dragEnd();

    // Fewer than two dots: no drag, and its release does nothing.
    m_layer->removePose(m_layer->poses().last());
    dzUndoStack->clear();
    EXPECT_FALSE(m_layer->dragStart(0.0f, 0.0f));
    m_layer->dragEnd();
    EXPECT_FALSE(dzUndoStack->canUndo());
    // A press outside the play range plays nothing.
    m_layer->addPose(m_run, 100, 0);
    dzScene->setTime(9600);
    ASSERT_TRUE(m_layer->dragStart(0.0f, 0.0f));
    m_core->setDragVelocity(0.0f);
    move(50.0f);
    EXPECT_EQ(m_core->dragVelocity(), 0.0f);
    m_layer->dragEnd();
}
