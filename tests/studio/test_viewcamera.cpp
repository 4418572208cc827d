// The viewport camera: projection, gestures and framing.
#include "viewcamera.h"

#include <gtest/gtest.h>

#include <QRectF>

#include <cmath>
#include <limits>

const QSizeF kView(800, 600);

TEST(ViewCamera, StandardViewsNearerIsLargerBehindIsInvisibleAndSegmentsClip)
{
    ViewCamera cam;
    cam.setView(ViewCamera::Left);
    const DzVec3 centre = cam.getTarget();
    // Seen from its left side, a figure faces the viewer's left.
    EXPECT_LT(cam.project(centre + DzVec3(0, 0, 20), kView).point.x(), 400.0);
    // From above, the figure's front (+Z) is at the bottom of the view.
    cam.setView(ViewCamera::Top);
    EXPECT_GT(cam.project(centre + DzVec3(0, 0, 20), kView).point.y(), 300.0);
    // Front: the figure's left (+X) is on the viewer's right, up is up.
    cam.setView(ViewCamera::Front);
    EXPECT_GT(cam.project(centre + DzVec3(20, 0, 0), kView).point.x(), 400.0);
    EXPECT_LT(cam.project(centre + DzVec3(0, 20, 0), kView).point.y(), 300.0);
    const DzVec3 eye = cam.getEye();
    const ViewCamera::Projected near = cam.project(cam.getTarget() + DzVec3(0, 0, 100), kView);
    const ViewCamera::Projected far = cam.project(cam.getTarget() - DzVec3(0, 0, 100), kView);
    EXPECT_GT(cam.pixelsPerCm(near.depth, kView), cam.pixelsPerCm(far.depth, kView));
    EXPECT_FALSE(cam.project(eye + DzVec3(0, 0, 50), kView).visible) << "a point behind the camera";
    QPointF a, b;
    // Runs from in front of the camera to behind it: clipped, both ends finite.
    ASSERT_TRUE(cam.projectSegment(cam.getTarget(), eye + DzVec3(10, 0, 50), kView, &a, &b));
    EXPECT_TRUE(std::isfinite(b.x()) && std::isfinite(b.y()));
    EXPECT_NEAR(a.x(), 400.0, 1e-3);
    // Wholly behind the camera.
    EXPECT_FALSE(cam.projectSegment(eye + DzVec3(0, 0, 10), eye + DzVec3(5, 0, 40), kView, &a, &b));
    // A degenerate viewport shows nothing.
    EXPECT_FALSE(
        cam.projectSegment(cam.getTarget(), cam.getTarget() + DzVec3(1, 0, 0), QSizeF(0, 0), &a, &b));
}

TEST(ViewCamera, GesturesStayWithinLimitsAndPanFollowsTheMouse)
{
    ViewCamera cam;
    cam.setOrbit(0.0, 0.0, 300.0);
    cam.orbit(100.0, 0.0);
    EXPECT_LT(cam.getYaw(), 0.0) << "dragging right swings the camera left";
    cam.orbit(0.0, 10000.0);
    EXPECT_DOUBLE_EQ(cam.getPitch(), 89.0);
    cam.orbit(0.0, -100000.0);
    EXPECT_DOUBLE_EQ(cam.getPitch(), -89.0);

    cam.zoom(1000.0);
    EXPECT_DOUBLE_EQ(cam.getDistance(), ViewCamera::kMinDistance);
    cam.zoom(-1000.0);
    EXPECT_DOUBLE_EQ(cam.getDistance(), ViewCamera::kMaxDistance);

    const double yaw = cam.getYaw();
    cam.setOrbit(std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(cam.getYaw(), yaw) << "non-finite values are ignored";
    cam.setOrbit(540.0, 0.0, 300.0);
    EXPECT_DOUBLE_EQ(cam.getYaw(), 180.0);

    // A pan moves the scene with the mouse, from any angle.
    for (const double pitch : { -80.0, 20.0, 89.0 }) {
        cam.setOrbit(pitch * 2.0, pitch, 300.0);
        const DzVec3 anchor = cam.getTarget();
        cam.pan(40.0, -25.0, kView);
        const ViewCamera::Projected p = cam.project(anchor, kView);
        EXPECT_NEAR(p.point.x(), 440.0, 0.5) << pitch;
        EXPECT_NEAR(p.point.y(), 275.0, 0.5) << pitch;
        EXPECT_NEAR(p.depth, 300.0, 1e-2);
    }
}

TEST(ViewCamera, FrameFitsTheWholeBox)
{
    ViewCamera cam;
    cam.setOrbit(35.0, 15.0, 5000.0);
    const DzVec3 lo(-60, 0, -30), hi(240, 180, 50);
    for (const QSizeF &view : { QSizeF(800, 600), QSizeF(300, 900) }) {
        cam.frame(lo, hi, view);
        for (int i = 0; i < 8; ++i) {
            const DzVec3 corner(
                (i & 1) ? hi.x() : lo.x(), (i & 2) ? hi.y() : lo.y(), (i & 4) ? hi.z() : lo.z());
            const ViewCamera::Projected p = cam.project(corner, view);
            ASSERT_TRUE(p.visible);
            EXPECT_TRUE(QRectF(QPointF(), view).contains(p.point)) << i;
        }
    }
}
