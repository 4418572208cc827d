#include "quat.h"

#include <algorithm>

namespace trelvo::motion {

namespace {

using Matrix = double[3][3];

void toMatrix(const Quat &q, Matrix &m)
{
    const double xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const double xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const double wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    m[0][0] = 1 - 2 * (yy + zz);
    m[0][1] = 2 * (xy - wz);
    m[0][2] = 2 * (xz + wy);
    m[1][0] = 2 * (xy + wz);
    m[1][1] = 1 - 2 * (xx + zz);
    m[1][2] = 2 * (yz - wx);
    m[2][0] = 2 * (xz - wy);
    m[2][1] = 2 * (yz + wx);
    m[2][2] = 1 - 2 * (xx + yy);
}

} // namespace

Quat Quat::fromAxisAngle(const Vec3 &axis, double radians)
{
    const Vec3 n = axis.normalized();
    if (n.x == 0.0 && n.y == 0.0 && n.z == 0.0)
        return identity();
    const double s = std::sin(radians * 0.5);
    return {n.x * s, n.y * s, n.z * s, std::cos(radians * 0.5)};
}

Quat Quat::fromAxis(int axis, double radians)
{
    const double s = std::sin(radians * 0.5);
    const double c = std::cos(radians * 0.5);
    switch (axis) {
    case 0: return {s, 0, 0, c};
    case 1: return {0, s, 0, c};
    default: return {0, 0, s, c};
    }
}

Quat Quat::fromEuler(EulerOrder order, const Vec3 &angles)
{
    const EulerAxes a = eulerAxes(order);
    return fromAxis(a.first, angles[a.first]) * fromAxis(a.second, angles[a.second])
        * fromAxis(a.third, angles[a.third]);
}

Quat Quat::fromTo(const Vec3 &from, const Vec3 &to)
{
    constexpr double kTiny = 1e-12;
    if (from.length() < kTiny || to.length() < kTiny)
        return identity();
    const Vec3 a = from.normalized();
    const Vec3 b = to.normalized();
    const double d = a.dot(b);
    if (d < -1.0 + 1e-12) {
        // Any axis perpendicular to a will do; take the one least aligned with a.
        Vec3 helper = std::abs(a.x) < 0.9 ? Vec3(1, 0, 0) : Vec3(0, 1, 0);
        return fromAxisAngle(a.cross(helper), kPi);
    }
    const Vec3 c = a.cross(b);
    return Quat(c.x, c.y, c.z, 1.0 + d).normalized();
}

Quat Quat::normalized() const
{
    const double len = std::sqrt(dot(*this));
    if (!(len > 0.0) || !std::isfinite(len))
        return identity();
    const double inv = 1.0 / len;
    return {x * inv, y * inv, z * inv, w * inv};
}

Vec3 Quat::rotate(const Vec3 &v) const
{
    // v' = v + 2w (u x v) + 2 u x (u x v), with u the vector part.
    const Vec3 u(x, y, z);
    const Vec3 t = u.cross(v) * 2.0;
    return v + t * w + u.cross(t);
}

Vec3 Quat::toEuler(EulerOrder order) const
{
    Matrix m;
    toMatrix(*this, m);
    const EulerAxes ax = eulerAxes(order);
    const int i = ax.first, j = ax.second, k = ax.third;
    // Cyclic orders (XYZ, YZX, ZXY) and the others differ only in signs.
    const double s = (order == EulerOrder::XYZ || order == EulerOrder::YZX || order == EulerOrder::ZXY)
        ? 1.0 : -1.0;
    const double sinMiddle = std::clamp(s * m[i][k], -1.0, 1.0);
    double outer, middle = std::asin(sinMiddle), inner;
    if (std::abs(sinMiddle) < 1.0 - 1e-12) {
        outer = std::atan2(-s * m[j][k], m[k][k]);
        inner = std::atan2(-s * m[i][j], m[i][i]);
    } else {
        // Gimbal lock: only outer + inner (or their difference) is defined.
        inner = 0.0;
        outer = std::atan2(s * m[k][j], m[j][j]);
    }
    Vec3 angles;
    angles[i] = outer;
    angles[j] = middle;
    angles[k] = inner;
    return angles;
}

double Quat::angleBetween(const Quat &a, const Quat &b)
{
    // atan2 of the relative rotation's parts stays exact for tiny angles,
    // where acos of a dot product near 1 loses half the digits.
    const Quat r = a.conjugate() * b;
    return 2.0 * std::atan2(std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z), std::abs(r.w));
}

Quat Quat::slerp(const Quat &a, const Quat &b, double t)
{
    const Quat end = a.dot(b) < 0.0 ? b.negated() : b;
    // Angle between the two as 4-vectors, computed the stable way.
    const double dx = a.x - end.x, dy = a.y - end.y, dz = a.z - end.z, dw = a.w - end.w;
    const double sx = a.x + end.x, sy = a.y + end.y, sz = a.z + end.z, sw = a.w + end.w;
    const double omega = 2.0 * std::atan2(std::sqrt(dx * dx + dy * dy + dz * dz + dw * dw),
                                          std::sqrt(sx * sx + sy * sy + sz * sz + sw * sw));
    double wa = 1.0 - t, wb = t;
    if (omega > 1e-9) {
        const double sinOmega = std::sin(omega);
        wa = std::sin((1.0 - t) * omega) / sinOmega;
        wb = std::sin(t * omega) / sinOmega;
    }
    return Quat(a.x * wa + end.x * wb, a.y * wa + end.y * wb, a.z * wa + end.z * wb, a.w * wa + end.w * wb)
        .normalized();
}

bool Quat::isFinite() const
{
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z) && std::isfinite(w);
}

} // namespace trelvo::motion
