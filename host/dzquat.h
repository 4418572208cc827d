#pragma once

#include "dzrotationorder.h"
#include "dzvec3.h"

#include <QMetaType>

#include <cmath>

class DzMatrix3;

// A rotation quaternion (double precision). Default: the identity (0, 0, 0, 1).
//
// Products: q1 * q2 is the Hamilton product; applied to a vector it rotates by
// q2 first, then by q1 (the same as the matrix product R1 * R2).
// Euler angles follow the DzRotationOrder convention: for order "ABC",
// q = qC * qB * qA; angles are radians, stored as (about X, about Y, about Z).
class DzQuat
{
public:
    double m_x = 0.0;
    double m_y = 0.0;
    double m_z = 0.0;
    double m_w = 1.0;

    DzQuat() = default;
    // Rotation of `radians` about `axis` (normalised here; a zero axis gives
    // the identity).
    DzQuat(const DzVec3 &axis, double radians);
    // Components as given; with normalize, scaled to unit length (a zero
    // quaternion then becomes the identity).
    DzQuat(double x, double y, double z, double w, bool normalize = false);
    explicit DzQuat(const DzMatrix3 &m) { setValue(m); }
    DzQuat(DzRotationOrder order, const DzVec3 &eulerRadians) { setValue(order, eulerRadians); }

    void setValue(double x, double y, double z, double w, bool normalize = false);
    void setValue(const DzVec3 &axis, double radians);
    // From Euler angles (radians about X, Y, Z) in the given order.
    void setValue(DzRotationOrder order, const DzVec3 &eulerRadians);
    void setValue(DzRotationOrder order, double xRadians, double yRadians, double zRadians);
    // From a rotation matrix (orthonormal expected; the result is normalised).
    void setValue(const DzMatrix3 &m);

    // Axis-angle: angle in [0, pi], unit axis. The identity gives angle 0 and
    // axis (0, 0, 1). A quaternion with w < 0 is read as its equivalent -q.
    void getValue(DzVec3 &axis, double &radians) const;
    void getValue(DzVec3 &axis, float &radians) const;
    // Euler angles (radians about X, Y, Z) in the given order. The middle
    // axis angle lies in [-pi/2, pi/2], the other two in (-pi, pi]. At
    // gimbal lock the first axis angle is 0 and the third takes the rest.
    void getValue(DzRotationOrder order, DzVec3 &eulerRadians) const;

    DzQuat operator*(const DzQuat &o) const;
    DzQuat &operator*=(const DzQuat &o);
    bool operator==(const DzQuat &o) const
    {
        return m_x == o.m_x && m_y == o.m_y && m_z == o.m_z && m_w == o.m_w;
    }
    bool operator!=(const DzQuat &o) const { return !(*this == o); }

    // True when the rotation is the identity within `tolerance` (q and -q
    // count as the same rotation).
    bool isIdentity(double tolerance = 1e-6) const;
    // True when both describe the same rotation within `tolerance` (q == -q).
    bool isSameRotation(const DzQuat &o, double tolerance = 1e-6) const;

    DzVec3 multVec(const DzVec3 &v) const;
    void multVec(const DzVec3 &src, DzVec3 &dst) const { dst = multVec(src); }

    DzQuat conjugate() const { return DzQuat(-m_x, -m_y, -m_z, m_w); }
    // Inverse rotation; for a zero quaternion the identity.
    DzQuat inverse() const;
    // Scales to unit length in place (zero becomes the identity).
    DzQuat &normalize()
    {
        const double len = length();
        if (len < 1e-300 || !std::isfinite(len)) {
            *this = DzQuat();
            return *this;
        }
        m_x /= len;
        m_y /= len;
        m_z /= len;
        m_w /= len;
        return *this;
    }
    double length() const { return std::sqrt(dot(*this)); }
    double dot(const DzQuat &o) const { return m_x * o.m_x + m_y * o.m_y + m_z * o.m_z + m_w * o.m_w; }
    // Spherical interpolation along the shorter arc; t = 0 gives a, 1 gives b.
    static DzQuat slerp(const DzQuat &a, const DzQuat &b, double t);
};

Q_DECLARE_METATYPE(DzQuat)
