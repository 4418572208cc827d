#pragma once

// Three-component vector of the motion library. Coordinates follow the
// figure's space: Y up, right-handed, the figure faces +Z and its left side
// is +X. Lengths are in the units of whatever they came from (centimetres
// for the standard figure).

#include <cmath>

namespace trelvo::motion {

struct Vec3
{
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Vec3() = default;
    constexpr Vec3(double ax, double ay, double az) : x(ax), y(ay), z(az) {}

    constexpr double operator[](int axis) const { return axis == 0 ? x : axis == 1 ? y : z; }
    double &operator[](int axis) { return axis == 0 ? x : axis == 1 ? y : z; }

    constexpr Vec3 operator+(const Vec3 &o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vec3 operator-(const Vec3 &o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vec3 operator-() const { return {-x, -y, -z}; }
    constexpr Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
    Vec3 &operator+=(const Vec3 &o)
    {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }

    constexpr double dot(const Vec3 &o) const { return x * o.x + y * o.y + z * o.z; }
    constexpr Vec3 cross(const Vec3 &o) const
    {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    double length() const { return std::sqrt(dot(*this)); }

    // Unit vector in the same direction; the zero vector stays zero.
    Vec3 normalized() const
    {
        const double len = length();
        return len > 0.0 ? *this * (1.0 / len) : Vec3();
    }

    bool isFinite() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

    static Vec3 lerp(const Vec3 &a, const Vec3 &b, double t) { return a + (b - a) * t; }
};

} // namespace trelvo::motion
