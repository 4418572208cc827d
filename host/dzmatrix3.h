#pragma once

#include "dzquat.h"
#include "dzvec3.h"

// A 3x3 matrix (double precision, row-major m[row][col]) acting on column
// vectors: v' = M v. Used for rotations and scale.
class DzMatrix3
{
public:
    // Identity when `identity` is true, all zeros otherwise.
    explicit DzMatrix3(bool identity = true);
    // The rotation matrix of q (q is normalised first).
    explicit DzMatrix3(const DzQuat &quat)
    {
        DzQuat q = quat;
        q.normalize();
        const double x = q.m_x, y = q.m_y, z = q.m_z, w = q.m_w;
        m_m[0][0] = 1.0 - 2.0 * (y * y + z * z);
        m_m[0][1] = 2.0 * (x * y - z * w);
        m_m[0][2] = 2.0 * (x * z + y * w);
        m_m[1][0] = 2.0 * (x * y + z * w);
        m_m[1][1] = 1.0 - 2.0 * (x * x + z * z);
        m_m[1][2] = 2.0 * (y * z - x * w);
        m_m[2][0] = 2.0 * (x * z - y * w);
        m_m[2][1] = 2.0 * (y * z + x * w);
        m_m[2][2] = 1.0 - 2.0 * (x * x + y * y);
    }
    DzMatrix3(double m00, double m01, double m02,
              double m10, double m11, double m12,
              double m20, double m21, double m22);

    static DzMatrix3 scale(const DzVec3 &s);

    double operator()(int row, int col) const { return m_m[row][col]; }
    double &operator()(int row, int col) { return m_m[row][col]; }
    // Column i (0..2) as a vector.
    DzVec3 column(int i) const;

    DzMatrix3 operator*(const DzMatrix3 &o) const;
    DzMatrix3 &operator*=(const DzMatrix3 &o) { *this = *this * o; return *this; }
    DzVec3 multVec(const DzVec3 &v) const;
    void multVec(const DzVec3 &src, DzVec3 &dst) const { dst = multVec(src); }
    DzMatrix3 transpose() const;
    double determinant() const;
    bool isIdentity(double tolerance = 1e-9) const;

private:
    double m_m[3][3];
};
