// The time bar: frames, ranges, transport and the scrubber's mapping.
#include "framemath.h"
#include "studiotestsupport.h"
#include "timebar.h"
#include "timescrubber.h"

#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <climits>

TEST(TimeScrubber, TicksPixelsAndFrames)
{
    const DzTime ticks[][3]
        = { { 79, 160, 0 }, { 81, 160, 1 }, { -160, 160, -1 }, { 4800, 160, 30 }, { 4800, 0, 4800 } };
    for (const auto &[time, step, frame] : ticks)
        EXPECT_EQ(FrameMath::frameForTime(time, step), frame) << time << "/" << step;
    EXPECT_EQ(FrameMath::timeForFrame(100000000, 160), 2147483647) << "saturates";

    // 0..30 over 330 pixels with 15 pixels kept free at each end: 10 px/frame.
    EXPECT_DOUBLE_EQ(TimeScrubber::xForFrame(30, 0, 30, 330, 15), 315.0);
    const std::pair<double, int> pixels[] = { { 15.0, 0 }, { 19.9, 0 }, { 20.1, 1 }, { 165.0, 15 },
        { 315.0, 30 }, { -500.0, 0 }, { 9000.0, 30 } };
    for (const auto &[x, frame] : pixels)
        EXPECT_EQ(TimeScrubber::frameAt(x, 0, 30, 330, 15), frame) << x;
    EXPECT_EQ(TimeScrubber::frameAt(100.0, 7, 7, 330, 15), 7) << "a one-frame range";
    EXPECT_EQ(TimeScrubber::frameAt(1e9, INT_MIN, INT_MAX, 330, 15), INT_MAX) << "no overflow of the span";
}

TEST(TimeScrubber, RulerTicksStayApartOverAnyRangeAndPaintToTheLargestFrame)
{
    struct Case {
        int first, last;
        double width;
        qint64 step; // 0: only the bound is checked
    };
    const Case cases[] = { { 0, 30, 300, 1 }, { 0, 30, 60, 5 }, { 0, 300, 300, 10 }, { -100, 100, 300, 5 },
        { 0, INT_MAX, 400, 0 }, { INT_MIN, INT_MAX, 400, 0 }, { INT_MIN, INT_MAX, 1, 0 }, { 5, 5, 300, 1 } };
    for (const Case &c : cases) {
        const qint64 step = TimeScrubber::tickStep(c.first, c.last, c.width);
        const double ticks = (double(c.last) - double(c.first)) / double(step) + 1;
        EXPECT_LE(ticks, std::max(1.0, c.width) / 6.0 + 2) << c.first << ".." << c.last;
        if (c.step) {
            EXPECT_EQ(step, c.step) << c.first << ".." << c.last;
        }
    }
    // A time step of one tick and a range to the end of time: the ruler
    // loop once stepped an int past INT_MAX and never ended.
    TimeScrubber scrubber;
    scrubber.resize(600, 38);
    scrubber.setAnimRange(0, INT_MAX);
    scrubber.setPlayRange(INT_MAX - 10, INT_MAX);
    scrubber.setCurrentFrame(INT_MAX);
    EXPECT_FALSE(scrubber.grab().isNull());
    scrubber.setAnimRange(INT_MIN, INT_MAX);
    EXPECT_FALSE(scrubber.grab().isNull());
}

using TimeBarTest = FigureTest;

TEST_F(TimeBarTest, FramesAndRangesStayInTheAnimationRangeAndFollowTheSceneAndItsKeys)
{
    TimeBar bar(dzScene);
    bar.goToFrame(500);
    EXPECT_EQ(dzScene->getTime(), 4800) << "clamped to the last frame";
    bar.goToFrame(-3);
    bar.stepBackward();
    EXPECT_EQ(dzScene->getTime(), 0);
    bar.stepForward();
    EXPECT_EQ(bar.currentFrame(), 1);

    // Shrinking the animation range shrinks the play range.
    bar.setAnimRangeFrames(0, 90);
    bar.setPlayRangeFrames(10, 80);
    bar.goToFrame(70);
    bar.setAnimRangeFrames(0, 40);
    EXPECT_EQ(dzScene->getAnimRange(), DzTimeRange(0, 6400));
    EXPECT_EQ(dzScene->getPlayRange(), DzTimeRange(1600, 6400));
    EXPECT_EQ(bar.currentFrame(), 40) << "the time follows into the range";
    bar.setPlayRangeFrames(-20, 500);
    EXPECT_EQ(dzScene->getPlayRange(), DzTimeRange(0, 6400));
    bar.setAnimRangeFrames(50, 20);
    EXPECT_EQ(dzScene->getAnimRange(), DzTimeRange(8000, 8000)) << "end never before start";

    // The bar follows the scene and drives playback.
    dzScene->setAnimRange(DzTimeRange(0, 160 * 60));
    EXPECT_EQ(bar.scrubber()->lastFrame(), 60);
    bar.setPlayRangeFrames(0, 60);
    dzScene->setTime(16 * 160);
    EXPECT_EQ(bar.scrubber()->currentFrame(), 16);
    bar.togglePlayback();
    EXPECT_TRUE(dzScene->isPlaying());
    dzScene->advanceFrame(); // a tick of the playback clock
    EXPECT_EQ(bar.findChild<QSpinBox *>()->value(), 17);
    bar.togglePlayback();
    EXPECT_FALSE(dzScene->isPlaying());

    // The scrubber shows the keys of the selection.
    dzScene->setPrimarySelection(figure);
    figure->getXRotControl()->setValue(320, 5.0f);
    figure->getYPosControl()->setValue(1600, 2.0f);
    // Keys are gathered once the event loop runs.
    QTest::qWait(10);
    EXPECT_EQ(bar.scrubber()->keyFrames(), QList<int>({ 2, 10 }));
    figure->getXRotControl()->removeKey(320);
    QTest::qWait(10);
    EXPECT_EQ(bar.scrubber()->keyFrames(), QList<int>({ 10 }));
    dzScene->setPrimarySelection(nullptr);
    QTest::qWait(10);
    EXPECT_TRUE(bar.scrubber()->keyFrames().isEmpty());
}

TEST_F(TimeBarTest, ScrubbingPausesAndResumesPlayback)
{
    TimeBar bar(dzScene);
    bar.resize(800, 80);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    TimeScrubber *s = bar.scrubber();
    dzScene->play();
    const int x = int(
        TimeScrubber::xForFrame(20, s->firstFrame(), s->lastFrame(), s->width(), TimeScrubber::kMargin));
    QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, QPoint(x, s->height() / 2));
    EXPECT_FALSE(dzScene->isPlaying());
    EXPECT_EQ(bar.currentFrame(), 20);
    QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, QPoint(x, s->height() / 2));
    EXPECT_TRUE(dzScene->isPlaying());
    dzScene->pause();
}
