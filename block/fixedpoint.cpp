#include "fixedpoint.h"

#include <cmath>

namespace {

constexpr float kDegToRadF = static_cast<float>(3.14159265358979323846 / 180.0);
constexpr double kPi = 3.14159265358979323846;

// 22.5 degrees, the half step of the 45-degree heading grid.
constexpr Fixed kHalfStep = 1474560;
constexpr Fixed kQuarterPi = 51471;
constexpr Fixed kThreeQuarterPi = 154413;
constexpr Fixed kRadToDeg = 3754936;

void halfTurnAxis(const Matrix4d &m, double axis[3])
{
    const double m00 = m.m[0], m11 = m.m[5], m22 = m.m[10];
    double x = std::sqrt(std::fabs((1.0 + m00) / 2.0));
    double y = std::sqrt(std::fabs((1.0 + m11) / 2.0));
    double z = std::sqrt(std::fabs((1.0 + m22) / 2.0));
    // For a half turn the matrix is 2·a·aᵀ − I, so the symmetric off-diagonal
    // sums carry the products of the axis components: keep the largest
    // component positive and give the others the signs of those products.
    const double xy = m.m[4] + m.m[1];
    const double xz = m.m[8] + m.m[2];
    const double yz = m.m[9] + m.m[6];
    if (x >= y && x >= z) {
        if (xy < 0)
            y = -y;
        if (xz < 0)
            z = -z;
    } else if (y >= z) {
        if (xy < 0)
            x = -x;
        if (yz < 0)
            z = -z;
    } else {
        if (xz < 0)
            x = -x;
        if (yz < 0)
            y = -y;
    }
    axis[0] = x;
    axis[1] = y;
    axis[2] = z;
}

} // namespace

Fixed toFixed(double f)
{
    const double scaled = f * 65536.0;
    if (!(scaled == scaled))
        return 0;
    if (scaled >= 2147483647.0)
        return INT32_MAX;
    if (scaled <= -2147483648.0)
        return INT32_MIN;
    return static_cast<Fixed>(scaled);
}

Fixed fxNormalize3(Fixed v[3])
{
    const Fixed x = v[0] >> 2, y = v[1] >> 2, z = v[2] >> 2;
    const Fixed sum = fxAdd(fxAdd(fxMul(x, x), fxMul(y, y)), fxMul(z, z));
    const Fixed length = 4 * fxSqrt(sum);
    if (length < 257)
        return 0;
    const Fixed r = fxRecip(length);
    v[0] = fxMul(v[0], r);
    v[1] = fxMul(v[1], r);
    v[2] = fxMul(v[2], r);
    return length;
}

Fixed fxSinDeg(Fixed a)
{
    return toFixed(std::sin(toFloat(a) * kDegToRadF));
}

Fixed fxCosDeg(Fixed a)
{
    return toFixed(std::cos(toFloat(a) * kDegToRadF));
}

Fixed fxAtan2Deg(Fixed y, Fixed x)
{
    // One unit is added to |y| so that neither denominator can be zero.
    const Fixed a = fxAdd(fxAbs(y), 1);
    Fixed theta;
    if (x >= 0) {
        const Fixed r = fxDiv(fxSub(x, a), fxAdd(x, a));
        theta = fxSub(kQuarterPi, fxMul(kQuarterPi, r));
    } else {
        const Fixed r = fxDiv(fxAdd(x, a), fxSub(a, x));
        theta = fxSub(kThreeQuarterPi, fxMul(kQuarterPi, r));
    }
    if (y < 0)
        theta = fxNeg(theta);
    return fxMul(theta, kRadToDeg);
}

Matrix4x axisAngleToMatrix(const Rotation &r)
{
    Matrix4x out = {{kFixedOne, 0, 0, 0, 0, kFixedOne, 0, 0, 0, 0, kFixedOne, 0, 0, 0, 0, kFixedOne}};
    if (r.angle == 0)
        return out;
    const Fixed angle = r.angle % kFixed360;
    const Fixed c = fxCosDeg(angle);
    const Fixed s = fxSinDeg(angle);
    const Fixed t = fxSub(kFixedOne, c);
    const Fixed x = r.axis[0], y = r.axis[1], z = r.axis[2];
    const Fixed tx = fxMul(t, x), ty = fxMul(t, y), tz = fxMul(t, z);
    const Fixed sx = fxMul(s, x), sy = fxMul(s, y), sz = fxMul(s, z);

    out.m[0] = fxAdd(fxMul(tx, x), c);
    out.m[1] = fxAdd(fxMul(tx, y), sz);
    out.m[2] = fxSub(fxMul(tx, z), sy);

    out.m[4] = fxSub(fxMul(tx, y), sz);
    out.m[5] = fxAdd(fxMul(ty, y), c);
    out.m[6] = fxAdd(fxMul(ty, z), sx);

    out.m[8] = fxAdd(fxMul(tx, z), sy);
    out.m[9] = fxSub(fxMul(ty, z), sx);
    out.m[10] = fxAdd(fxMul(tz, z), c);
    return out;
}

Rotation matrixToAxisAngle(const Matrix4d &m)
{
    Rotation out;
    const double c = (m.m[0] + m.m[5] + m.m[10] - 1.0) / 2.0;
    double axis[3];
    double degrees;
    if (c <= -1.0) {
        halfTurnAxis(m, axis);
        degrees = 180.0;
    } else if (c >= 1.0) {
        return out;
    } else {
        const double theta = std::acos(c);
        const double s2 = 2.0 * std::sin(theta);
        axis[0] = (m.m[6] - m.m[9]) / s2;
        axis[1] = (m.m[8] - m.m[2]) / s2;
        axis[2] = (m.m[1] - m.m[4]) / s2;
        const double len = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        if (!(len > 1e-9)) {
            // Within rounding of a half turn the antisymmetric part vanishes;
            // the diagonal still holds the axis.
            halfTurnAxis(m, axis);
        } else {
            axis[0] /= len;
            axis[1] /= len;
            axis[2] /= len;
        }
        degrees = theta * 180.0 / kPi;
    }
    out.angle = toFixed(degrees);
    out.axis[0] = toFixed(axis[0]);
    out.axis[1] = toFixed(axis[1]);
    out.axis[2] = toFixed(axis[2]);
    return out;
}

Fixed snappedHeading(const Rotation &r)
{
    const Matrix4x m = axisAngleToMatrix(r);
    Fixed forward[3] = {m.m[8], 0, m.m[10]};
    if (fxNormalize3(forward) == 0)
        return 0;
    const Fixed d = fxSub(fxAtan2Deg(kFixedOne, 0), fxAtan2Deg(forward[2], forward[0]));
    int32_t k;
    if (d > 0)
        k = (fxAdd(d, kHalfStep) >> 16) / 45;
    else
        k = (fxSub(d, kHalfStep) >> 16) / 45;
    return k * 45 * kFixedOne;
}
