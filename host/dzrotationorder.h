#pragma once

#include <QString>

// The order in which a node's three Euler rotations are applied.
//
// Convention used everywhere in dzcore: order "ABC" means the rotation is
//     R = R_C * R_B * R_A          (column vectors, v' = R v)
// i.e. axis A is applied first (the twist axis), B is the middle axis (the
// one that locks at +-90 degrees) and C last; as quaternions q = qC * qB * qA.
// Euler triples are always stored as angles about X, Y and Z respectively
// (DzVec3 m_x, m_y, m_z), whatever the order.
class DzRotationOrder
{
public:
    enum Order { XYZ, XZY, YXZ, YZX, ZXY, ZYX };
    enum Axis { XAxis = 0, YAxis = 1, ZAxis = 2 };

    DzRotationOrder(Order order = XYZ) : m_order(order) {}

    Order getOrder() const { return m_order; }
    Axis firstAxis() const { return axisAt(0); }
    Axis secondAxis() const { return axisAt(1); }
    Axis thirdAxis() const { return axisAt(2); }
    // Axis by position 0..2 (0 = first applied); other positions give the third.
    Axis getAxis(int position) const;
    // True for XYZ, YZX and ZXY (cyclic permutations of X, Y, Z).
    bool isEvenPermutation() const { return m_order == XYZ || m_order == YZX || m_order == ZXY; }
    // "XYZ", "XZY", "YXZ", "YZX", "ZXY" or "ZYX".
    QString toString() const;
    // Parses one of the six names (case-insensitive). On anything else returns
    // XYZ and sets *ok to false when ok is given.
    static DzRotationOrder fromString(const QString &text, bool *ok = nullptr);

    bool operator==(const DzRotationOrder &o) const { return m_order == o.m_order; }
    bool operator!=(const DzRotationOrder &o) const { return m_order != o.m_order; }

private:
    // Inline: Euler conversions ask for the axes of every rotation they make.
    Axis axisAt(int position) const
    {
        static constexpr unsigned char kAxes[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                                      {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
        const int i = static_cast<int>(m_order);
        return static_cast<Axis>(kAxes[(i >= 0 && i < 6) ? i : 0][position]);
    }

    Order m_order;
};
