#include "dzmatrix4.h"

#include <cmath>

DzMatrix4::DzMatrix4(const DzMatrix3 &linear, const DzVec3 &translation) : m_linear(linear)
{
    setTrans(translation);
}

DzMatrix4 DzMatrix4::translation(const DzVec3 &t)
{
    return DzMatrix4(DzMatrix3(true), t);
}

DzMatrix4 DzMatrix4::rotation(const DzQuat &q)
{
    return DzMatrix4(DzMatrix3(q), DzVec3());
}

DzMatrix4 DzMatrix4::scale(const DzVec3 &s)
{
    return DzMatrix4(DzMatrix3::scale(s), DzVec3());
}

DzVec3 DzMatrix4::getTrans() const
{
    return DzVec3(float(m_t[0]), float(m_t[1]), float(m_t[2]));
}

void DzMatrix4::setTrans(const DzVec3 &t)
{
    m_t[0] = t.m_x;
    m_t[1] = t.m_y;
    m_t[2] = t.m_z;
}

DzMatrix4 DzMatrix4::operator*(const DzMatrix4 &o) const
{
    DzMatrix4 r;
    r.m_linear = m_linear * o.m_linear;
    // Translation in double so that long chains do not accumulate float error.
    for (int i = 0; i < 3; ++i)
        r.m_t[i] = m_linear(i, 0) * o.m_t[0] + m_linear(i, 1) * o.m_t[1] + m_linear(i, 2) * o.m_t[2] + m_t[i];
    return r;
}

DzVec3 DzMatrix4::multVecMatrix(const DzVec3 &p) const
{
    double out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = m_linear(i, 0) * p.m_x + m_linear(i, 1) * p.m_y + m_linear(i, 2) * p.m_z + m_t[i];
    return DzVec3(float(out[0]), float(out[1]), float(out[2]));
}

DzVec3 DzMatrix4::multDirMatrix(const DzVec3 &d) const
{
    return m_linear.multVec(d);
}

bool DzMatrix4::isIdentity(double tolerance) const
{
    return m_linear.isIdentity(tolerance) && std::fabs(m_t[0]) <= tolerance
        && std::fabs(m_t[1]) <= tolerance && std::fabs(m_t[2]) <= tolerance;
}
