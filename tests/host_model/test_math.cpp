// Vector, quaternion, matrix and Euler conventions of the host math types.
#include "dzmatrix3.h"
#include "dzmatrix4.h"
#include "dzquat.h"
#include "dzrotationorder.h"
#include "dzvec3.h"
#include "hostmodeltestsupport.h"

#include <cmath>
#include <random>

namespace {

const DzRotationOrder::Order kAllOrders[] = { DzRotationOrder::XYZ, DzRotationOrder::XZY,
    DzRotationOrder::YXZ, DzRotationOrder::YZX, DzRotationOrder::ZXY, DzRotationOrder::ZYX };

// Euler angles in radians from degrees given in the order's own sequence.
DzVec3 euler(const DzRotationOrder &order, double first, double second, double third)
{
    DzVec3 v;
    v[order.firstAxis()] = float(rad(first));
    v[order.secondAxis()] = float(rad(second));
    v[order.thirdAxis()] = float(rad(third));
    return v;
}

} // namespace

TEST(RotationOrder, NamesAxesAndParsing)
{
    const char *names[] = { "XYZ", "XZY", "YXZ", "YZX", "ZXY", "ZYX" };
    for (int i = 0; i < 6; ++i) {
        const DzRotationOrder o(kAllOrders[i]);
        const QString s = o.toString();
        EXPECT_EQ(s, QString::fromLatin1(names[i]));
        const int axes[3] = { o.firstAxis(), o.secondAxis(), o.thirdAxis() };
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(axes[n], s[n].toLatin1() - 'X') << names[i];
        bool ok = false;
        EXPECT_EQ(DzRotationOrder::fromString(s.toLower(), &ok), o);
        EXPECT_TRUE(ok);
    }
    bool ok = true;
    DzRotationOrder::fromString("XXY", &ok);
    EXPECT_FALSE(ok);
}

TEST(Quat, AxisAngleByTheRightHandRuleIdentityInverseAndSlerp)
{
    // +90 degrees about Y takes +X to -Z.
    expectVec(DzQuat(DzVec3(0, 1, 0), rad(90)).multVec(DzVec3(1, 0, 0)), 0, 0, -1);
    // +90 degrees about Z takes +X to +Y; the axis need not be unit length.
    expectVec(DzQuat(DzVec3(0, 0, 5), rad(90)).multVec(DzVec3(1, 0, 0)), 0, 1, 0);
    // A zero axis is the identity rather than NaN.
    EXPECT_TRUE(DzQuat(DzVec3(0, 0, 0), 1.0).isIdentity());

    // Identity (either sign), normalising and inverse, also of a raw quaternion.
    EXPECT_TRUE(DzQuat(0, 0, 0, -1).isIdentity());
    EXPECT_TRUE(DzQuat(1, 0, 0, 0).isSameRotation(DzQuat(-1, 0, 0, 0)));
    DzQuat q(1, 2, 3, 4, true);
    EXPECT_NEAR(q.length(), 1.0, 1e-12);
    EXPECT_TRUE((q * q.inverse()).isIdentity(1e-12));
    const DzQuat raw(0, 0, 0, 2);
    EXPECT_TRUE((raw * raw.inverse()).isIdentity(1e-12));
    EXPECT_TRUE(DzQuat(0, 0, 0, 0, true).isIdentity()); // zero becomes identity

    // Slerp follows the short arc: -b is the same rotation as b.
    const DzQuat a, b(DzVec3(0, 0, 1), rad(90)), nb(-b.m_x, -b.m_y, -b.m_z, -b.m_w);
    for (const DzQuat &end : { b, nb })
        EXPECT_TRUE(DzQuat::slerp(a, end, 0.5).isSameRotation(DzQuat(DzVec3(0, 0, 1), rad(45)), 1e-9));
}

TEST(Quat, ProductAppliesRightOperandFirstAxisAngleReadsTheShortArc)
{
    const DzQuat z90(DzVec3(0, 0, 1), rad(90)), x90(DzVec3(1, 0, 0), rad(90));
    // x90 first: Y -> Z, then z90 leaves Z alone.
    expectVec((z90 * x90).multVec(DzVec3(0, 1, 0)), 0, 0, 1);
    // z90 first: Y -> -X, then x90 leaves -X alone.
    expectVec((x90 * z90).multVec(DzVec3(0, 1, 0)), -1, 0, 0);
    // Matrix products compose the same way, for any rotations.
    expectVec((DzMatrix3(z90) * DzMatrix3(x90)).multVec(DzVec3(0, 1, 0)), 0, 0, 1);
    const DzQuat offset(0.047004, -0.070147, -0.021488, 0.996197, true), r(DzVec3(0.3f, 0.9f, -0.1f), 1.2);
    EXPECT_TRUE(DzQuat(DzMatrix3(offset) * DzMatrix3(r)).isSameRotation(offset * r, 1e-9));

    // Reading axis and angle normalises and picks the short arc.
    DzVec3 axis;
    double angle = -1;
    DzQuat(DzVec3(1, 2, 2), 1.0).getValue(axis, angle);
    EXPECT_NEAR(angle, 1.0, 1e-9);
    expectVec(axis, 1.f / 3, 2.f / 3, 2.f / 3);

    // 270 degrees about +X is read as 90 degrees about -X.
    DzQuat(DzVec3(1, 0, 0), rad(270)).getValue(axis, angle);
    EXPECT_NEAR(angle, rad(90), 1e-9);
    expectVec(axis, -1, 0, 0);

    // Small angles keep their precision.
    DzQuat(DzVec3(0, 1, 0), 1e-7).getValue(axis, angle);
    EXPECT_NEAR(angle, 1e-7, 1e-12);
}

TEST(Euler, OrderMeansFirstLetterAppliedFirst)
{
    // XYZ: X first, then Z. Y -> Z (about X), Z stays under Z.
    const DzQuat xyz(DzRotationOrder::XYZ, DzVec3(float(rad(90)), 0, float(rad(90))));
    expectVec(xyz.multVec(DzVec3(0, 1, 0)), 0, 0, 1);
    // And as quaternions: q = qC * qB * qA, also for the odd orders.
    const DzQuat qx(DzVec3(1, 0, 0), 0.3), qy(DzVec3(0, 1, 0), -0.4), qz(DzVec3(0, 0, 1), 0.7);
    EXPECT_TRUE(DzQuat(DzRotationOrder::YZX, DzVec3(0.3f, -0.4f, 0.7f)).isSameRotation(qx * qz * qy, 1e-7));
    EXPECT_TRUE(DzQuat(DzRotationOrder::ZYX, DzVec3(0.3f, -0.4f, 0.7f)).isSameRotation(qx * qy * qz, 1e-7));
}

TEST(Euler, RoundTripsEveryOrderAwayFromGimbalLock)
{
    std::mt19937 rng(1234);
    std::uniform_real_distribution<double> outer(-179.0, 179.0), middle(-88.0, 88.0);
    for (DzRotationOrder::Order o : kAllOrders) {
        const DzRotationOrder order(o);
        for (int n = 0; n < 300; ++n) {
            const DzVec3 in = euler(order, outer(rng), middle(rng), outer(rng));
            DzVec3 out;
            DzQuat(order, in).getValue(order, out);
            SCOPED_TRACE(order.toString().toStdString());
            expectVec(out, in.m_x, in.m_y, in.m_z, 2e-5f);
        }
    }
}

TEST(Euler, StaysContinuousAndExactAtGimbalLock)
{
    for (DzRotationOrder::Order o : kAllOrders) {
        const DzRotationOrder order(o);
        SCOPED_TRACE(order.toString().toStdString());
        // Approaching the lock the branch never flips: angles come back as given.
        for (double mid = 80.0; mid < 89.95; mid += 0.5) {
            const DzVec3 in = euler(order, 25, mid, -40);
            DzVec3 out;
            DzQuat(order, in).getValue(order, out);
            expectVec(out, in.m_x, in.m_y, in.m_z, 2e-3f);
        }
        // At the lock the rotation is reproduced and the first angle is 0;
        // beyond it the middle angle comes back within a quarter turn.
        for (double mid : { 90.0, -90.0, 120.0 }) {
            const DzQuat q(order, euler(order, 25, mid, -40));
            DzVec3 out;
            q.getValue(order, out);
            if (mid == 120.0)
                EXPECT_LE(std::fabs(out[order.secondAxis()]), rad(90) + 1e-6);
            else
                EXPECT_NEAR(out[order.firstAxis()], 0.0, 1e-3);
            EXPECT_TRUE(DzQuat(order, out).isSameRotation(q, 1e-5));
        }
    }
}

TEST(Matrix3, QuaternionRoundTripAndProperties)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> c(-1.0, 1.0);
    for (int n = 0; n < 200; ++n) {
        const DzQuat q(c(rng), c(rng), c(rng), c(rng), true);
        const DzMatrix3 m(q);
        EXPECT_NEAR(m.determinant(), 1.0, 1e-9);
        EXPECT_TRUE((m * m.transpose()).isIdentity(1e-9));
        EXPECT_TRUE(DzQuat(m).isSameRotation(q, 1e-9));
        const DzVec3 v(float(c(rng)), float(c(rng)), float(c(rng)));
        const DzVec3 a = m.multVec(v), b = q.multVec(v);
        expectVec(a, b.m_x, b.m_y, b.m_z, 1e-5f);
    }
    // The half-turn cases pick a different pivot in the conversion.
    for (int a = 0; a < 3; ++a) {
        DzVec3 axis;
        axis[a] = 1.f;
        const DzQuat half(axis, rad(180));
        EXPECT_TRUE(DzQuat(DzMatrix3(half)).isSameRotation(half, 1e-9));
    }
}

TEST(Vec3AndMatrix4, CrossProductNormalisingAndAffineComposition)
{
    expectVec(DzVec3(1, 0, 0).cross(DzVec3(0, 1, 0)), 0, 0, 1);
    DzVec3 n(0, 3, 4), zero;
    EXPECT_FLOAT_EQ(n.normalize(), 5.f);
    expectVec(n, 0, 0.6f, 0.8f);
    zero.normalize(); // must not divide by zero
    expectVec(zero, 0, 0, 0);

    const DzMatrix4 t = DzMatrix4::translation(DzVec3(1, 2, 3));
    const DzMatrix4 r = DzMatrix4::rotation(DzQuat(DzVec3(0, 0, 1), rad(90)));
    const DzMatrix4 s = DzMatrix4::scale(DzVec3(2, 2, 2));
    // Rightmost first: scale, rotate, translate.
    expectVec((t * r * s).multVecMatrix(DzVec3(1, 0, 0)), 1, 4, 3);
    expectVec((t * r * s).multDirMatrix(DzVec3(1, 0, 0)), 0, 2, 0);
    expectVec(t.getTrans(), 1, 2, 3);
}
