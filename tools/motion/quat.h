#pragma once

// Rotation quaternion of the motion library.
//
// Conventions: Hamilton product; q1 * q2 is the rotation that applies q2
// first and q1 after it (the same order as matrices acting on column
// vectors). A positive angle about an axis turns counter-clockwise when
// looking down the axis towards the origin (right-handed). Angles are in
// radians unless a name says degrees. Functions that build rotations return
// unit quaternions; functions that take them assume unit length.

#include "eulerorder.h"
#include "vec3.h"

namespace trelvo::motion {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

struct Quat
{
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double w = 1.0;

    constexpr Quat() = default;
    constexpr Quat(double ax, double ay, double az, double aw) : x(ax), y(ay), z(az), w(aw) {}

    static constexpr Quat identity() { return {}; }

    // Rotation by angle (radians) about axis; a zero axis gives identity.
    static Quat fromAxisAngle(const Vec3 &axis, double radians);

    // Rotation about one coordinate axis (0 = X, 1 = Y, 2 = Z).
    static Quat fromAxis(int axis, double radians);

    // angles.x about X, angles.y about Y, angles.z about Z (radians),
    // composed in the given order (see eulerorder.h).
    static Quat fromEuler(EulerOrder order, const Vec3 &angles);

    // The shortest-arc rotation that turns direction from onto direction to.
    // Either vector of (near) zero length gives identity; opposite
    // directions give a half turn about an axis perpendicular to from.
    static Quat fromTo(const Vec3 &from, const Vec3 &to);

    constexpr Quat operator*(const Quat &o) const
    {
        return {w * o.x + x * o.w + y * o.z - z * o.y,
                w * o.y - x * o.z + y * o.w + z * o.x,
                w * o.z + x * o.y - y * o.x + z * o.w,
                w * o.w - x * o.x - y * o.y - z * o.z};
    }

    constexpr double dot(const Quat &o) const { return x * o.x + y * o.y + z * o.z + w * o.w; }
    constexpr Quat conjugate() const { return {-x, -y, -z, w}; }
    // For unit quaternions the conjugate is the inverse.
    constexpr Quat inverse() const { return conjugate(); }
    constexpr Quat negated() const { return {-x, -y, -z, -w}; }

    // Unit length; a zero quaternion becomes identity.
    Quat normalized() const;

    Vec3 rotate(const Vec3 &v) const;

    // Euler angles (radians, per axis) in the given order such that
    // fromEuler(order, toEuler(order)) is this rotation. The middle angle is
    // in [-pi/2, pi/2], the others in (-pi, pi]; at the gimbal lock the
    // third angle is 0.
    Vec3 toEuler(EulerOrder order) const;

    // Angle (radians, 0..pi) of the rotation that turns a into b.
    static double angleBetween(const Quat &a, const Quat &b);

    // Spherical interpolation along the shorter arc; t = 0 gives a, 1 gives b.
    static Quat slerp(const Quat &a, const Quat &b, double t);

    bool isFinite() const;
};

} // namespace trelvo::motion
