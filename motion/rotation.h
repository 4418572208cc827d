#pragma once

// What the motion library needs from rotation math beyond the host's DzQuat,
// DzVec3 and DzMatrix3: rotations about a coordinate axis, the shortest arc
// between two directions, Euler angles in double precision (the host hands
// them out as floats, one rounding too many for files that store floats
// themselves) and rotation orders from BVH channel axes.
//
// Conventions are the host's: q1 * q2 applies q2 first; a DzRotationOrder
// "ABC" applies A first. Angles are radians unless a name says degrees.

#include <dzquat.h>
#include <dzrotationorder.h>
#include <dzvec3.h>

#include <array>
#include <optional>

namespace trelvo::motion {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

// Rotation about coordinate axis 0 = X, 1 = Y, 2 = Z.
DzQuat axisRotation(int axis, double radians);

// The shortest-arc rotation that turns direction from onto direction to.
// Either vector of (near) zero length gives the identity; opposite
// directions give a half turn about an axis perpendicular to from.
DzQuat rotationBetween(const DzVec3 &from, const DzVec3 &to);

// Euler angles (radians about X, Y, Z) with DzQuat(order, angles) == q. The
// middle angle lies in [-pi/2, pi/2], the others in (-pi, pi]; at the gimbal
// lock the first-applied angle is 0.
std::array<double, 3> eulerRadians(const DzQuat &q, DzRotationOrder order);

// The order that applies the axes first, second, third (0 = X, 1 = Y,
// 2 = Z); nothing when they are not a permutation of X, Y, Z.
std::optional<DzRotationOrder> rotationOrderFromAxes(int first, int second, int third);

// Unit length; a zero quaternion becomes the identity.
inline DzQuat normalized(DzQuat q)
{
    return q.normalize();
}

bool isFinite(const DzVec3 &v);

} // namespace trelvo::motion
