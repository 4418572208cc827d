#pragma once

#include "dzmatrix3.h"
#include "dzquat.h"
#include "dzvec3.h"

// An affine transform (double precision): a 3x3 linear part L and a
// translation T, acting on points as p' = L p + T. Used for world transforms
// of nodes. Products compose like matrices: (A * B) applied to p = A(B(p)).
class DzMatrix4
{
public:
    DzMatrix4() = default; // identity
    DzMatrix4(const DzMatrix3 &linear, const DzVec3 &translation);

    static DzMatrix4 translation(const DzVec3 &t);
    static DzMatrix4 rotation(const DzQuat &q);
    static DzMatrix4 scale(const DzVec3 &s);

    const DzMatrix3 &getLinear() const { return m_linear; }
    DzVec3 getTrans() const;
    void setTrans(const DzVec3 &t);

    DzMatrix4 operator*(const DzMatrix4 &o) const;
    // A point: linear part and translation.
    DzVec3 multVecMatrix(const DzVec3 &p) const;
    // A direction: linear part only.
    DzVec3 multDirMatrix(const DzVec3 &d) const;
    bool isIdentity(double tolerance = 1e-9) const;

private:
    DzMatrix3 m_linear;
    double m_t[3] = {0.0, 0.0, 0.0};
};
