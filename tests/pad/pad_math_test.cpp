// The pad's arithmetic: view mapping, zoom, fitting, hit testing, the dot
// chosen for playback, the mouse-driven speed and the labels.
#include "kypadmath.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

QPoint toView(const KyPadViewGeometry &v, float x, float y)
{
    int ix = 0, iy = 0;
    v.padToView(x, y, &ix, &iy);
    return { ix, iy };
}

} // namespace

TEST(PadView, MapsBetweenPadAndPixelsZoomsAndFits)
{
    KyPadViewGeometry v;
    EXPECT_EQ(toView(v, 100.0f, 50.0f), QPoint(100, 50));
    // zoomAt(2, 100, 100) keeps pad (100, 100) under pixel (100, 100).
    v.zoomAt(2.0f, 100, 100);
    EXPECT_EQ(QPointF(v.originX(), v.originY()), QPointF(50, 50));
    EXPECT_EQ(v.viewToPad(100, 100), QPointF(100, 100));
    // Truncation toward zero, also left of the origin; a far dot saturates.
    v.setOrigin(0.0f, 0.0f);
    EXPECT_EQ(toView(v, -1.7f, 1.7f), QPoint(-3, 3));
    EXPECT_EQ(toView(v, 3e38f, -3e38f), QPoint(INT_MAX, INT_MIN));
    // Unusable zooms are ignored.
    for (float z : { 0.0f, -1.0f, NAN, INFINITY }) {
        v.zoomAt(z, 10, 10);
        EXPECT_FLOAT_EQ(v.zoom(), 2.0f);
    }
    v.zoomAt(0.01f, 0, 0);
    EXPECT_FLOAT_EQ(v.gridSpacing(), 1.0f);
    v.resetView();
    EXPECT_EQ(std::tuple(v.zoom(), v.originX(), v.gridSpacing()), std::tuple(1.0f, 0.0f, 20.0f));
    // One wheel notch forward zooms out by 2^-0.18; a Ctrl+drag of 100
    // pixels down doubles the zoom.
    EXPECT_NEAR(v.wheelZoom(120), 0.8827f, 1e-4f);
    EXPECT_NEAR(v.wheelZoom(-120), 1.0f / 0.8827f, 1e-3f);
    EXPECT_NEAR(KyPadViewGeometry::dragZoom(1.5f, 100), 3.0f, 1e-5f);
    EXPECT_NEAR(KyPadViewGeometry::dragZoom(1.0f, -100), 0.5f, 1e-6f);

    // Fitting the dots.
    v.setSize(200, 100);
    const std::vector<KyPadDot> dots = { { 0.0f, 0.0f }, { 168.0f, 18.0f } };
    // Box with margin 16: left -16, top -16, 200 x 50; zoom min(200/200, 100/50).
    v.zoomToFit(dots);
    EXPECT_FLOAT_EQ(v.zoom(), 1.0f);
    EXPECT_EQ(QPointF(v.originX(), v.originY()), QPointF(-16.0f + 100.0f - 100.0f, -16.0f + 25.0f - 50.0f));
    // Already visible: zoomOutToFit keeps the zoom and centres.
    v.zoomAt(0.5f, 0, 0);
    v.zoomOutToFit(dots);
    EXPECT_FLOAT_EQ(v.zoom(), 0.5f);
    EXPECT_FLOAT_EQ(v.originX(), -16.0f + 100.0f - 200.0f);
    // Too small: zooms out.
    v.zoomAt(4.0f, 0, 0);
    v.zoomOutToFit(dots);
    EXPECT_FLOAT_EQ(v.zoom(), 1.0f);
    // Centring only keeps the zoom; nothing happens without dots.
    v.zoomAt(3.0f, 0, 0);
    v.centerView(dots);
    EXPECT_FLOAT_EQ(v.zoom(), 3.0f);
    v.setOrigin(7.0f, 7.0f);
    v.zoomToFit({});
    EXPECT_FLOAT_EQ(v.originX(), 7.0f);
}

TEST(PadPlayback, HitsAndChoosesTheDotToPlay)
{
    const std::vector<KyPadDot> near = { { 10.0f, 10.0f }, { 15.0f, 10.0f }, { 100.0f, 100.0f } };
    EXPECT_EQ(kyPadHitTest(near, 13.0f, 10.0f), 0); // both in reach: the first added
    EXPECT_EQ(kyPadHitTest(near, 23.0f, 18.0f), 1); // edges included
    EXPECT_EQ(kyPadHitTest(near, 23.1f, 10.0f), -1);
    EXPECT_EQ(kyPadHitTest({}, 0.0f, 0.0f), -1);

    const std::vector<KyPadDot> dots = { { 0.0f, 0.0f }, { 10.0f, 0.0f } };
    // (dot playing, cursor x, dot chosen): without a dot playing the nearest in
    // reach, the earlier one at equal distance; another dot only when more
    // than 10 (squared) closer than the playing one.
    const std::tuple<int, float, int> cases[] = { { -1, 5.0f, 0 }, { -1, 6.0f, 1 }, { 0, 5.5f, 0 },
        { 0, 5.6f, 1 }, { 1, 4.6f, 1 }, { 1, 4.0f, 0 }, { -1, 400.0f, -1 } };
    for (const auto &[playing, cx, expected] : cases)
        EXPECT_EQ(kyPadChooseDot(dots, playing, cx, 0.0f), expected) << playing << " " << cx;
    EXPECT_EQ(kyPadChooseDot({}, -1, 0.0f, 0.0f), -1);
}

TEST(PadPlayback, SpeedFollowsTheMouse)
{
    KyPadSpeedState s;
    s.lastTime = 1000;
    // 10 units in 10 ms: target capped at 2, from 1.0 up by at most 0.01.
    EXPECT_TRUE(kyPadUpdateSpeed(s, 10.0f, 0.0f, 1010));
    EXPECT_NEAR(s.playbackSpeed, 1.01f, 1e-6f);
    // Resting: the speed stays.
    EXPECT_FALSE(kyPadUpdateSpeed(s, 10.0f, 0.0f, 1050));
    EXPECT_NEAR(s.playbackSpeed, 1.01f, 1e-6f);
    // Slow mouse over a long gap: dt capped at 100, speed falls by at most 0.1.
    EXPECT_TRUE(kyPadUpdateSpeed(s, 11.0f, 0.0f, 2000));
    EXPECT_NEAR(s.playbackSpeed, 0.91f, 1e-5f);
    // A jump is capped at 30 units; the clock going backwards counts as 1 ms.
    s.playbackSpeed = 1.99f;
    EXPECT_TRUE(kyPadUpdateSpeed(s, 500.0f, 0.0f, 1990));
    EXPECT_NEAR(s.playbackSpeed, 1.991f, 1e-5f);
    EXPECT_EQ(kyPadSpeedText(1.0f), QStringLiteral("100%"));
    EXPECT_EQ(kyPadSpeedText(0.456f), QStringLiteral("45%"));
}

TEST(PadLabels, ShortensBlockNames)
{
    for (const auto &[name, label] :
        { std::pair { "s_walk_fast_forward_loop", "walk fast forwa..." }, { "s_run_01", "run 01" },
            { "jump_s_", "jump s " }, { "exactly15chars_", "exactly15chars " }, { "", "" } })
        EXPECT_EQ(kyPadDotLabel(QString::fromLatin1(name)), QString::fromLatin1(label));
}
