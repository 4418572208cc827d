#pragma once

#include <QMetaType>

// A 3-component single-precision vector: positions in centimetres (figure
// space: Y up, the figure faces +Z, +X is the figure's left), directions,
// Euler angle triples and scale triples.
class DzVec3
{
public:
    float m_x = 0.0f;
    float m_y = 0.0f;
    float m_z = 0.0f;

    DzVec3() = default;
    DzVec3(float x, float y, float z) : m_x(x), m_y(y), m_z(z) {}

    void setValue(float x, float y, float z) { m_x = x; m_y = y; m_z = z; }
    float x() const { return m_x; }
    float y() const { return m_y; }
    float z() const { return m_z; }
    // Component by index 0..2; any other index yields m_z (never out of bounds).
    float operator[](int i) const { return i == 0 ? m_x : (i == 1 ? m_y : m_z); }
    float &operator[](int i) { return i == 0 ? m_x : (i == 1 ? m_y : m_z); }

    DzVec3 operator+(const DzVec3 &o) const { return {m_x + o.m_x, m_y + o.m_y, m_z + o.m_z}; }
    DzVec3 operator-(const DzVec3 &o) const { return {m_x - o.m_x, m_y - o.m_y, m_z - o.m_z}; }
    DzVec3 operator-() const { return {-m_x, -m_y, -m_z}; }
    DzVec3 operator*(float s) const { return {m_x * s, m_y * s, m_z * s}; }
    DzVec3 operator/(float s) const { return {m_x / s, m_y / s, m_z / s}; }
    DzVec3 &operator+=(const DzVec3 &o) { m_x += o.m_x; m_y += o.m_y; m_z += o.m_z; return *this; }
    DzVec3 &operator-=(const DzVec3 &o) { m_x -= o.m_x; m_y -= o.m_y; m_z -= o.m_z; return *this; }
    DzVec3 &operator*=(float s) { m_x *= s; m_y *= s; m_z *= s; return *this; }
    DzVec3 &operator/=(float s) { m_x /= s; m_y /= s; m_z /= s; return *this; }
    bool operator==(const DzVec3 &o) const { return m_x == o.m_x && m_y == o.m_y && m_z == o.m_z; }
    bool operator!=(const DzVec3 &o) const { return !(*this == o); }

    float dot(const DzVec3 &o) const { return m_x * o.m_x + m_y * o.m_y + m_z * o.m_z; }
    DzVec3 cross(const DzVec3 &o) const;
    float length() const;
    float lengthSquared() const { return dot(*this); }
    // Scales to unit length in place and returns the previous length. A
    // vector shorter than 1e-12 is left unchanged (no division by zero).
    float normalize();
    DzVec3 normalized() const;
    // True when every component differs by at most tolerance.
    bool isEqual(const DzVec3 &o, float tolerance = 1e-5f) const;
};

inline DzVec3 operator*(float s, const DzVec3 &v) { return v * s; }

Q_DECLARE_METATYPE(DzVec3)
