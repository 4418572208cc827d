#pragma once

#include "dzvec3.h"

class DzQuat;

// A 3x3 matrix (double precision, row-major m[row][col]) acting on column
// vectors: v' = M v. Used for rotations and scale.
class DzMatrix3
{
public:
    // Identity when `identity` is true, all zeros otherwise.
    explicit DzMatrix3(bool identity = true);
    // The rotation matrix of q (q is normalised first).
    explicit DzMatrix3(const DzQuat &q);
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
