#include "dzvec3.h"

#include <cmath>

DzVec3 DzVec3::cross(const DzVec3 &o) const
{
    return {m_y * o.m_z - m_z * o.m_y, m_z * o.m_x - m_x * o.m_z, m_x * o.m_y - m_y * o.m_x};
}

float DzVec3::length() const
{
    return std::sqrt(lengthSquared());
}

float DzVec3::normalize()
{
    const float len = length();
    if (len > 1e-12f)
        *this /= len;
    return len;
}

DzVec3 DzVec3::normalized() const
{
    DzVec3 v = *this;
    v.normalize();
    return v;
}

bool DzVec3::isEqual(const DzVec3 &o, float tolerance) const
{
    return std::fabs(m_x - o.m_x) <= tolerance && std::fabs(m_y - o.m_y) <= tolerance
        && std::fabs(m_z - o.m_z) <= tolerance;
}
