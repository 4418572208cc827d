#include "dzquat.h"

#include "dzmatrix3.h"

#include <algorithm>
#include <cmath>

namespace {

DzQuat axisQuat(int axis, double radians)
{
    const double s = std::sin(radians * 0.5);
    const double c = std::cos(radians * 0.5);
    return DzQuat(axis == 0 ? s : 0.0, axis == 1 ? s : 0.0, axis == 2 ? s : 0.0, c);
}

// Below this, the middle angle's cosine is treated as zero (gimbal lock).
// Euler triples travel as floats (about 1e-7 rad of precision), so a middle
// angle written as 90 degrees may land a hair beyond it; treating that as the
// lock keeps the first angle at 0 instead of flipping both others by 180.
constexpr double kLockEpsilon = 1e-6;

} // namespace

DzQuat::DzQuat(const DzVec3 &axis, double radians)
{
    setValue(axis, radians);
}

DzQuat::DzQuat(double x, double y, double z, double w, bool normalize)
{
    setValue(x, y, z, w, normalize);
}

void DzQuat::setValue(double x, double y, double z, double w, bool normalize)
{
    m_x = x;
    m_y = y;
    m_z = z;
    m_w = w;
    if (normalize)
        this->normalize();
}

void DzQuat::setValue(const DzVec3 &axis, double radians)
{
    const double ax = axis.m_x, ay = axis.m_y, az = axis.m_z;
    const double len = std::sqrt(ax * ax + ay * ay + az * az);
    if (len < 1e-12 || !std::isfinite(len) || !std::isfinite(radians)) {
        *this = DzQuat();
        return;
    }
    const double s = std::sin(radians * 0.5) / len;
    m_x = ax * s;
    m_y = ay * s;
    m_z = az * s;
    m_w = std::cos(radians * 0.5);
}

void DzQuat::setValue(DzRotationOrder order, const DzVec3 &euler)
{
    setValue(order, euler.m_x, euler.m_y, euler.m_z);
}

void DzQuat::setValue(DzRotationOrder order, double xRadians, double yRadians, double zRadians)
{
    const double angles[3] = {xRadians, yRadians, zRadians};
    const int a = order.firstAxis(), b = order.secondAxis(), c = order.thirdAxis();
    // First axis applied first: q = qC * qB * qA.
    *this = axisQuat(c, angles[c]) * axisQuat(b, angles[b]) * axisQuat(a, angles[a]);
}

void DzQuat::setValue(const DzMatrix3 &m)
{
    // Shepperd's method: pivot on the largest diagonal term for stability.
    const double trace = m(0, 0) + m(1, 1) + m(2, 2);
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        m_w = 0.25 * s;
        m_x = (m(2, 1) - m(1, 2)) / s;
        m_y = (m(0, 2) - m(2, 0)) / s;
        m_z = (m(1, 0) - m(0, 1)) / s;
    } else if (m(0, 0) > m(1, 1) && m(0, 0) > m(2, 2)) {
        const double s = std::sqrt(1.0 + m(0, 0) - m(1, 1) - m(2, 2)) * 2.0;
        m_w = (m(2, 1) - m(1, 2)) / s;
        m_x = 0.25 * s;
        m_y = (m(0, 1) + m(1, 0)) / s;
        m_z = (m(0, 2) + m(2, 0)) / s;
    } else if (m(1, 1) > m(2, 2)) {
        const double s = std::sqrt(1.0 + m(1, 1) - m(0, 0) - m(2, 2)) * 2.0;
        m_w = (m(0, 2) - m(2, 0)) / s;
        m_x = (m(0, 1) + m(1, 0)) / s;
        m_y = 0.25 * s;
        m_z = (m(1, 2) + m(2, 1)) / s;
    } else {
        const double s = std::sqrt(1.0 + m(2, 2) - m(0, 0) - m(1, 1)) * 2.0;
        m_w = (m(1, 0) - m(0, 1)) / s;
        m_x = (m(0, 2) + m(2, 0)) / s;
        m_y = (m(1, 2) + m(2, 1)) / s;
        m_z = 0.25 * s;
    }
    if (!std::isfinite(m_x + m_y + m_z + m_w))
        *this = DzQuat();
    normalize();
}

void DzQuat::getValue(DzVec3 &axis, double &radians) const
{
    DzQuat q = *this;
    q.normalize();
    if (q.m_w < 0.0)
        q = DzQuat(-q.m_x, -q.m_y, -q.m_z, -q.m_w);
    const double s = std::sqrt(q.m_x * q.m_x + q.m_y * q.m_y + q.m_z * q.m_z);
    if (s < 1e-12) {
        axis = DzVec3(0.0f, 0.0f, 1.0f);
        radians = 0.0;
        return;
    }
    // atan2 keeps precision for small angles, where acos(w) would not.
    radians = 2.0 * std::atan2(s, q.m_w);
    axis = DzVec3(float(q.m_x / s), float(q.m_y / s), float(q.m_z / s));
}

void DzQuat::getValue(DzVec3 &axis, float &radians) const
{
    double r = 0.0;
    getValue(axis, r);
    radians = float(r);
}

void DzQuat::getValue(DzRotationOrder order, DzVec3 &euler) const
{
    const DzMatrix3 r(*this);
    const int i = order.firstAxis(), j = order.secondAxis(), k = order.thirdAxis();
    const double s = order.isEvenPermutation() ? 1.0 : -1.0;
    // R = R_k(c) R_j(b) R_i(a). For the cyclic orders R[k][i] = -sin(b); the
    // other three flip the signs of the off-diagonal terms used below.
    const double cb = std::sqrt(r(i, i) * r(i, i) + r(j, i) * r(j, i));
    const double b = std::atan2(-s * r(k, i), cb);
    double a, c;
    if (cb > kLockEpsilon) {
        a = std::atan2(s * r(k, j), r(k, k));
        c = std::atan2(s * r(j, i), r(i, i));
    } else {
        // Gimbal lock: only a +- c is defined; put it all on the last axis.
        a = 0.0;
        c = std::atan2(-s * r(i, j), r(j, j));
    }
    double out[3] = {0.0, 0.0, 0.0};
    out[i] = a;
    out[j] = b;
    out[k] = c;
    euler = DzVec3(float(out[0]), float(out[1]), float(out[2]));
}

DzQuat DzQuat::operator*(const DzQuat &o) const
{
    return DzQuat(m_w * o.m_x + m_x * o.m_w + m_y * o.m_z - m_z * o.m_y,
                  m_w * o.m_y - m_x * o.m_z + m_y * o.m_w + m_z * o.m_x,
                  m_w * o.m_z + m_x * o.m_y - m_y * o.m_x + m_z * o.m_w,
                  m_w * o.m_w - m_x * o.m_x - m_y * o.m_y - m_z * o.m_z);
}

DzQuat &DzQuat::operator*=(const DzQuat &o)
{
    *this = *this * o;
    return *this;
}

bool DzQuat::isIdentity(double tolerance) const
{
    DzQuat q = *this;
    q.normalize();
    return std::fabs(q.m_x) <= tolerance && std::fabs(q.m_y) <= tolerance
        && std::fabs(q.m_z) <= tolerance;
}

bool DzQuat::isSameRotation(const DzQuat &o, double tolerance) const
{
    DzQuat a = *this, b = o;
    a.normalize();
    b.normalize();
    return (a.conjugate() * b).isIdentity(tolerance);
}

DzVec3 DzQuat::multVec(const DzVec3 &v) const
{
    DzQuat q = *this;
    const double n = length();
    if (std::fabs(n - 1.0) > 1e-12)
        q.normalize();
    // v' = v + 2w (u x v) + 2 u x (u x v), u = (x, y, z)
    const double vx = v.m_x, vy = v.m_y, vz = v.m_z;
    const double tx = 2.0 * (q.m_y * vz - q.m_z * vy);
    const double ty = 2.0 * (q.m_z * vx - q.m_x * vz);
    const double tz = 2.0 * (q.m_x * vy - q.m_y * vx);
    return DzVec3(float(vx + q.m_w * tx + (q.m_y * tz - q.m_z * ty)),
                  float(vy + q.m_w * ty + (q.m_z * tx - q.m_x * tz)),
                  float(vz + q.m_w * tz + (q.m_x * ty - q.m_y * tx)));
}

DzQuat DzQuat::inverse() const
{
    const double n = dot(*this);
    if (n < 1e-300 || !std::isfinite(n))
        return DzQuat();
    return DzQuat(-m_x / n, -m_y / n, -m_z / n, m_w / n);
}

DzQuat DzQuat::slerp(const DzQuat &from, const DzQuat &to, double t)
{
    DzQuat a = from, b = to;
    a.normalize();
    b.normalize();
    double cosTheta = a.dot(b);
    if (cosTheta < 0.0) {
        b = DzQuat(-b.m_x, -b.m_y, -b.m_z, -b.m_w);
        cosTheta = -cosTheta;
    }
    double wa, wb;
    if (cosTheta > 0.9995) {
        // Nearly parallel: linear blend avoids dividing by a tiny sine.
        wa = 1.0 - t;
        wb = t;
    } else {
        const double theta = std::acos(std::min(1.0, cosTheta));
        const double sinTheta = std::sin(theta);
        wa = std::sin((1.0 - t) * theta) / sinTheta;
        wb = std::sin(t * theta) / sinTheta;
    }
    DzQuat r(a.m_x * wa + b.m_x * wb, a.m_y * wa + b.m_y * wb, a.m_z * wa + b.m_z * wb,
             a.m_w * wa + b.m_w * wb);
    return r.normalize();
}
