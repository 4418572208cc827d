#include "rotation.h"

#include <dzmatrix3.h>

#include <algorithm>
#include <cmath>

namespace trelvo::motion {

DzQuat axisRotation(int axis, double radians)
{
    const double s = std::sin(radians * 0.5);
    return DzQuat(axis == 0 ? s : 0.0, axis == 1 ? s : 0.0, axis == 2 ? s : 0.0, std::cos(radians * 0.5));
}

DzQuat rotationBetween(const DzVec3 &from, const DzVec3 &to)
{
    const double fl = std::sqrt(double(from.m_x) * from.m_x + double(from.m_y) * from.m_y + double(from.m_z) * from.m_z);
    const double tl = std::sqrt(double(to.m_x) * to.m_x + double(to.m_y) * to.m_y + double(to.m_z) * to.m_z);
    if (!(fl > 1e-12) || !(tl > 1e-12) || !std::isfinite(fl) || !std::isfinite(tl))
        return DzQuat();
    const double ax = from.m_x / fl, ay = from.m_y / fl, az = from.m_z / fl;
    const double bx = to.m_x / tl, by = to.m_y / tl, bz = to.m_z / tl;
    const double d = ax * bx + ay * by + az * bz;
    if (d < -1.0 + 1e-12) {
        // Any axis perpendicular to from will do; take the one least aligned with it.
        const bool useX = std::abs(ax) < 0.9;
        const double hx = useX ? 1.0 : 0.0, hy = useX ? 0.0 : 1.0;
        double cx = ay * 0.0 - az * hy, cy = az * hx - ax * 0.0, cz = ax * hy - ay * hx;
        const double cl = std::sqrt(cx * cx + cy * cy + cz * cz);
        return DzQuat(cx / cl, cy / cl, cz / cl, 0.0);
    }
    const double cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
    return DzQuat(cx, cy, cz, 1.0 + d, true);
}

std::array<double, 3> eulerRadians(const DzQuat &q, DzRotationOrder order)
{
    const DzMatrix3 m(q);
    // i is applied last (outermost), k first.
    const int i = order.thirdAxis(), j = order.secondAxis(), k = order.firstAxis();
    const double s = order.isEvenPermutation() ? -1.0 : 1.0;
    const double sinMiddle = std::clamp(s * m(i, k), -1.0, 1.0);
    const double middle = std::asin(sinMiddle);
    double outer = 0.0, inner = 0.0;
    if (std::abs(sinMiddle) < 1.0 - 1e-12) {
        outer = std::atan2(-s * m(j, k), m(k, k));
        inner = std::atan2(-s * m(i, j), m(i, i));
    } else {
        // Gimbal lock: only the sum (or difference) of the outer two is defined.
        outer = std::atan2(s * m(k, j), m(j, j));
    }
    std::array<double, 3> angles{};
    angles[i] = outer;
    angles[j] = middle;
    angles[k] = inner;
    return angles;
}

std::optional<DzRotationOrder> rotationOrderFromAxes(int first, int second, int third)
{
    static const DzRotationOrder::Order kOrders[] = {DzRotationOrder::XYZ, DzRotationOrder::XZY,
                                                     DzRotationOrder::YXZ, DzRotationOrder::YZX,
                                                     DzRotationOrder::ZXY, DzRotationOrder::ZYX};
    for (DzRotationOrder::Order o : kOrders) {
        const DzRotationOrder order(o);
        if (order.firstAxis() == first && order.secondAxis() == second && order.thirdAxis() == third)
            return order;
    }
    return std::nullopt;
}

bool isFinite(const DzVec3 &v)
{
    return std::isfinite(v.m_x) && std::isfinite(v.m_y) && std::isfinite(v.m_z);
}

} // namespace trelvo::motion
