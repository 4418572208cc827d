#include "dzmatrix3.h"

#include "dzquat.h"

#include <cmath>

DzMatrix3::DzMatrix3(bool identity)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m_m[r][c] = (identity && r == c) ? 1.0 : 0.0;
}

DzMatrix3::DzMatrix3(double m00, double m01, double m02, double m10, double m11, double m12,
                     double m20, double m21, double m22)
{
    m_m[0][0] = m00; m_m[0][1] = m01; m_m[0][2] = m02;
    m_m[1][0] = m10; m_m[1][1] = m11; m_m[1][2] = m12;
    m_m[2][0] = m20; m_m[2][1] = m21; m_m[2][2] = m22;
}

DzMatrix3 DzMatrix3::scale(const DzVec3 &s)
{
    return DzMatrix3(s.m_x, 0, 0, 0, s.m_y, 0, 0, 0, s.m_z);
}

DzVec3 DzMatrix3::column(int i) const
{
    const int c = (i >= 0 && i < 3) ? i : 2;
    return DzVec3(float(m_m[0][c]), float(m_m[1][c]), float(m_m[2][c]));
}

DzMatrix3 DzMatrix3::operator*(const DzMatrix3 &o) const
{
    DzMatrix3 r(false);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m_m[i][j] = m_m[i][0] * o.m_m[0][j] + m_m[i][1] * o.m_m[1][j] + m_m[i][2] * o.m_m[2][j];
    return r;
}

DzVec3 DzMatrix3::multVec(const DzVec3 &v) const
{
    return DzVec3(float(m_m[0][0] * v.m_x + m_m[0][1] * v.m_y + m_m[0][2] * v.m_z),
                  float(m_m[1][0] * v.m_x + m_m[1][1] * v.m_y + m_m[1][2] * v.m_z),
                  float(m_m[2][0] * v.m_x + m_m[2][1] * v.m_y + m_m[2][2] * v.m_z));
}

DzMatrix3 DzMatrix3::transpose() const
{
    DzMatrix3 r(false);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m_m[i][j] = m_m[j][i];
    return r;
}

double DzMatrix3::determinant() const
{
    return m_m[0][0] * (m_m[1][1] * m_m[2][2] - m_m[1][2] * m_m[2][1])
         - m_m[0][1] * (m_m[1][0] * m_m[2][2] - m_m[1][2] * m_m[2][0])
         + m_m[0][2] * (m_m[1][0] * m_m[2][1] - m_m[1][1] * m_m[2][0]);
}

bool DzMatrix3::isIdentity(double tolerance) const
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (std::fabs(m_m[r][c] - (r == c ? 1.0 : 0.0)) > tolerance)
                return false;
    return true;
}
