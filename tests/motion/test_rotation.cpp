// The motion library's additions to the host's rotation math: double-precision
// Euler angles in every order (gimbal lock included), the shortest arc, and
// orders from BVH channel axes.
#include "rotation.h"

#include <gtest/gtest.h>

#include <random>

using namespace trelvo::motion;

namespace {

const DzRotationOrder::Order kAllOrders[] = { DzRotationOrder::XYZ, DzRotationOrder::XZY,
    DzRotationOrder::YXZ, DzRotationOrder::YZX, DzRotationOrder::ZXY, DzRotationOrder::ZYX };

DzQuat fromAngles(DzRotationOrder order, const std::array<double, 3> &a)
{
    DzQuat q;
    q.setValue(order, a[0], a[1], a[2]);
    return q;
}

} // namespace

TEST(Rotation, EulerAnglesRoundTripInEveryOrderAndSurviveGimbalLock)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> angle(-kPi, kPi);
    std::uniform_real_distribution<double> middle(-kPi / 2 + 1e-3, kPi / 2 - 1e-3);
    for (DzRotationOrder::Order o : kAllOrders) {
        const DzRotationOrder order(o);
        SCOPED_TRACE(order.toString().toStdString());
        // Within these ranges the decomposition is unique; the last two are
        // gimbal locks, where the first-applied angle is 0.
        for (int i = 0; i < 202; ++i) {
            const bool lock = i >= 200;
            std::array<double, 3> a {};
            a[order.firstAxis()] = lock ? 0.4 : angle(random);
            a[order.secondAxis()] = lock ? (i == 200 ? kPi / 2 : -kPi / 2) : middle(random);
            a[order.thirdAxis()] = lock ? -1.2 : angle(random);
            const DzQuat q = fromAngles(order, a);
            const std::array<double, 3> back = eulerRadians(q, order);
            EXPECT_TRUE(fromAngles(order, back).isSameRotation(q, 1e-7));
            EXPECT_NEAR(back[order.firstAxis()], lock ? 0.0 : a[order.firstAxis()], lock ? 0.0 : 1e-9);
            EXPECT_NEAR(back[order.secondAxis()], a[order.secondAxis()], lock ? 1e-6 : 1e-9);
            EXPECT_TRUE(lock || std::abs(back[order.thirdAxis()] - a[order.thirdAxis()]) < 1e-9);
        }
    }
}

TEST(Rotation, ShortestArcTurnsOneDirectionOntoAnotherAndOrdersFollowChannelAxes)
{
    const DzVec3 cases[][2] = {
        { { 1, 0, 0 }, { 0, 1, 0 } },
        { { 0, -3, 0 }, { 1, -1, 0.5f } },
        { { 0, 1, 0 }, { 0, 1, 0 } },
        { { 0, 1, 0 }, { 0, -2, 0 } }, // opposite: any half turn will do
        { { 1, 0, 0 }, { -1, 0, 0 } },
    };
    for (const auto &c : cases) {
        const DzVec3 turned = rotationBetween(c[0], c[1]).multVec(c[0].normalized());
        EXPECT_TRUE(turned.isEqual(c[1].normalized(), 1e-6f));
    }
    // Zero-length input is no direction: the identity, not NaN.
    EXPECT_TRUE(rotationBetween({ 0, 0, 0 }, { 1, 0, 0 }).isIdentity());

    // "Zrotation Xrotation Yrotation" applies Y first: the host's YXZ.
    EXPECT_EQ(rotationOrderFromAxes(1, 0, 2), DzRotationOrder(DzRotationOrder::YXZ));
    EXPECT_FALSE(rotationOrderFromAxes(0, 0, 2));
    // BvhData composes its channels the same way as the host's orders.
    const DzQuat channels = axisRotation(2, 0.3) * axisRotation(0, -0.5) * axisRotation(1, 1.1);
    EXPECT_TRUE(fromAngles(DzRotationOrder::YXZ, { -0.5, 1.1, 0.3 }).isSameRotation(channels, 1e-12));
}
