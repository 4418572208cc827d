#include "eulerorder.h"
#include "quat.h"

#include <gtest/gtest.h>

#include <random>

using namespace trelvo::motion;

namespace {

constexpr EulerOrder kAllOrders[] = {EulerOrder::XYZ, EulerOrder::XZY, EulerOrder::YXZ,
                                     EulerOrder::YZX, EulerOrder::ZXY, EulerOrder::ZYX};

void expectSameRotation(const Quat &a, const Quat &b, double tolerance = 1e-9)
{
    EXPECT_LT(Quat::angleBetween(a, b), tolerance) << "a = (" << a.x << ", " << a.y << ", " << a.z << ", " << a.w
                                                   << ") b = (" << b.x << ", " << b.y << ", " << b.z << ", " << b.w << ")";
}

void expectNear(const Vec3 &a, const Vec3 &b, double tolerance = 1e-9)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

} // namespace

TEST(Quat, ProductAppliesRightOperandFirst)
{
    const Quat yaw = Quat::fromAxis(1, kPi / 2);   // +Z -> +X
    const Quat pitch = Quat::fromAxis(0, kPi / 2); // +Y -> +Z
    // pitch first: +Y -> +Z, then yaw: +Z -> +X
    expectNear((yaw * pitch).rotate({0, 1, 0}), {1, 0, 0});
    // yaw first leaves +Y alone, then pitch: +Y -> +Z
    expectNear((pitch * yaw).rotate({0, 1, 0}), {0, 0, 1});
}

TEST(Quat, PositiveAnglesTurnRightHanded)
{
    expectNear(Quat::fromAxis(0, kPi / 2).rotate({0, 1, 0}), {0, 0, 1});
    expectNear(Quat::fromAxis(1, kPi / 2).rotate({0, 0, 1}), {1, 0, 0});
    expectNear(Quat::fromAxis(2, kPi / 2).rotate({1, 0, 0}), {0, 1, 0});
    expectNear(Quat::fromAxisAngle({0, 0, 5}, kPi / 2).rotate({1, 0, 0}), {0, 1, 0});
}

TEST(Quat, EulerOrderComposesOutermostFirst)
{
    // ZXY means Rz * Rx * Ry: Y is applied first.
    const Vec3 angles(0.3, -0.7, 1.1);
    const Quat expected = Quat::fromAxis(2, angles.z) * Quat::fromAxis(0, angles.x) * Quat::fromAxis(1, angles.y);
    expectSameRotation(Quat::fromEuler(EulerOrder::ZXY, angles), expected);
}

TEST(Quat, EulerRoundTripsInEveryOrder)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> angle(-kPi, kPi);
    std::uniform_real_distribution<double> middle(-kPi / 2 + 1e-3, kPi / 2 - 1e-3);
    for (EulerOrder order : kAllOrders) {
        SCOPED_TRACE(std::string(eulerOrderName(order)));
        for (int i = 0; i < 500; ++i) {
            Vec3 angles;
            const EulerAxes axes = eulerAxes(order);
            angles[axes.first] = angle(random);
            angles[axes.second] = middle(random);
            angles[axes.third] = angle(random);
            const Quat q = Quat::fromEuler(order, angles);
            // Within these ranges the decomposition is unique.
            expectNear(q.toEuler(order), angles, 1e-9);
        }
    }
}

TEST(Quat, EulerSurvivesGimbalLock)
{
    for (EulerOrder order : kAllOrders) {
        SCOPED_TRACE(std::string(eulerOrderName(order)));
        const EulerAxes axes = eulerAxes(order);
        for (double m : {kPi / 2, -kPi / 2}) {
            Vec3 angles;
            angles[axes.first] = 0.4;
            angles[axes.second] = m;
            angles[axes.third] = -1.2;
            const Quat q = Quat::fromEuler(order, angles);
            const Vec3 back = q.toEuler(order);
            EXPECT_TRUE(back.isFinite());
            expectSameRotation(Quat::fromEuler(order, back), q, 1e-7);
        }
    }
}

TEST(Quat, FromToTurnsOneDirectionOntoAnother)
{
    const Vec3 cases[][2] = {
        {{1, 0, 0}, {0, 1, 0}},
        {{0, -3, 0}, {1, -1, 0.5}},
        {{0, 1, 0}, {0, 1, 0}},
        {{0, 1, 0}, {0, -2, 0}},   // opposite: any half turn will do
        {{1, 0, 0}, {-1, 0, 0}},
    };
    for (const auto &c : cases) {
        const Quat q = Quat::fromTo(c[0], c[1]);
        expectNear(q.rotate(c[0].normalized()), c[1].normalized(), 1e-12);
    }
    // Zero-length input is no direction: identity, not NaN.
    expectSameRotation(Quat::fromTo({0, 0, 0}, {1, 0, 0}), Quat::identity());
}

TEST(Quat, SlerpFollowsTheShorterArcAtConstantSpeed)
{
    const Quat a = Quat::fromAxis(1, 0.2);
    const Quat b = Quat::fromAxis(1, 1.0);
    expectSameRotation(Quat::slerp(a, b, 0.0), a);
    expectSameRotation(Quat::slerp(a, b, 1.0), b);
    expectSameRotation(Quat::slerp(a, b, 0.25), Quat::fromAxis(1, 0.4));
    // The same rotation with the opposite sign must not send slerp the long way.
    expectSameRotation(Quat::slerp(a, b.negated(), 0.5), Quat::fromAxis(1, 0.6));
    // Nearly equal inputs take the linear path without dividing by ~0.
    const Quat c = Quat::fromAxis(0, 1e-9);
    EXPECT_TRUE(Quat::slerp(Quat::identity(), c, 0.5).isFinite());
}

TEST(EulerOrder, NamesParseBack)
{
    for (EulerOrder order : kAllOrders)
        EXPECT_EQ(eulerOrderFromName(eulerOrderName(order)), order);
    EXPECT_EQ(eulerOrderFromName("zxy"), EulerOrder::ZXY);
    EXPECT_FALSE(eulerOrderFromName("XXY"));
    EXPECT_FALSE(eulerOrderFromName("XY"));
    EXPECT_FALSE(eulerOrderFromAxes(0, 1, 3));
}
