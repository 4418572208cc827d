#pragma once
// 16.16 fixed-point arithmetic of the block core.
//
// A Fixed is a signed 32-bit value × 65536. Angles are in degrees. Every
// operation here is defined to the bit: poses computed anywhere (playback,
// baking, resampling) must come out identical, so none of these may be
// replaced by "nearly the same" floating-point code. Sums and differences of
// Fixed values wrap around in 32 bits, as the arithmetic always has; they are
// written with fxAdd/fxSub so that hostile inputs never cause undefined
// behaviour in C++.

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using Fixed = int32_t;

constexpr Fixed kFixedOne = 0x10000;
constexpr Fixed kFixed180 = 180 * 0x10000;
constexpr Fixed kFixed360 = 360 * 0x10000;

// A rotation: angle in degrees about a (nearly) unit axis, all Fixed. Its
// rotation vector is angle × axis.
struct Rotation {
    Fixed angle = 0;
    Fixed axis[3] = {0, kFixedOne, 0};
};

// 4×4 matrices in column-major order (element 4·c + r is row r, column c),
// used with column vectors; the translation lies in elements 12, 13, 14.
struct Matrix4x {
    Fixed m[16];
};
struct Matrix4d {
    double m[16];
};

inline Fixed fxAdd(Fixed a, Fixed b)
{
    return static_cast<Fixed>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

inline Fixed fxSub(Fixed a, Fixed b)
{
    return static_cast<Fixed>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

inline Fixed fxNeg(Fixed a)
{
    return static_cast<Fixed>(0u - static_cast<uint32_t>(a));
}

// Wrapping product of a Fixed with a whole number (a cycle count).
inline Fixed fxTimesInt(Fixed a, int32_t n)
{
    return static_cast<Fixed>(static_cast<uint32_t>(a) * static_cast<uint32_t>(n));
}

// f × 65536.0 truncated toward zero. NaN gives 0; values outside the
// 32-bit range saturate (the arithmetic never produces them from valid data).
Fixed toFixed(double f);
inline Fixed toFixed(float f)
{
    return toFixed(static_cast<double>(f));
}

// a × (1/65536) as a float.
inline float toFloat(Fixed a)
{
    return static_cast<float>(a) * (1.0f / 65536.0f);
}

// The 64-bit product shifted right arithmetically by 16, low 32 bits kept.
inline Fixed fxMul(Fixed a, Fixed b)
{
    return static_cast<Fixed>((static_cast<int64_t>(a) * b) >> 16);
}

// (a << 16) / b in 64 bits, truncated toward zero, low 32 bits kept.
// b = 0 gives 0: callers never divide by a zero length or duration.
inline Fixed fxDiv(Fixed a, Fixed b)
{
    if (b == 0)
        return 0;
    return static_cast<Fixed>(static_cast<int64_t>(a) * 65536 / b);
}

// 2^32 / a in 64 bits, truncated toward zero, low 32 bits kept: the 16.16
// reciprocal. a = 0 gives 0.
inline Fixed fxRecip(Fixed a)
{
    if (a == 0)
        return 0;
    return static_cast<Fixed>(INT64_C(0x100000000) / a);
}

inline Fixed fxAbs(Fixed a)
{
    return a < 0 ? fxNeg(a) : a;
}

// The integer square root, rounded down, of the unsigned value a × 65536:
// the 16.16 square root of a 16.16 value, as the classic 24-round,
// two-bits-a-round digit method gives it. Taken here from the correctly
// rounded double square root of the 48-bit integer n, which truncates to
// the exact root: with k = ⌊√n⌋, √n stays below (k + 1) − 1/(2(k + 1)), at
// least 2^-25 short of k + 1, while half an ulp near 2^24 is 2^-30, so the
// rounding can never reach k + 1.
inline Fixed fxSqrt(Fixed a)
{
    const int64_t n = static_cast<int64_t>(static_cast<uint32_t>(a)) << 16;
#if defined(__SSE2__)
    const double root = _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(static_cast<double>(n))));
#else
    const double root = std::sqrt(static_cast<double>(n));
#endif
    return static_cast<Fixed>(static_cast<int64_t>(root));
}

// 2 × fxSqrt(h(x) + h(y) + h(z)) with h(v) = fxMul(v >> 1, v >> 1); the
// halving keeps the sum of squares inside 32 bits for rotation vectors.
inline Fixed fxLength3(Fixed x, Fixed y, Fixed z)
{
    const Fixed hx = fxMul(x >> 1, x >> 1);
    const Fixed hy = fxMul(y >> 1, y >> 1);
    const Fixed hz = fxMul(z >> 1, z >> 1);
    return 2 * fxSqrt(fxAdd(fxAdd(hx, hy), hz));
}

// Normalises v in place and returns its length L = 4 × fxSqrt(Σ fxMul(c >> 2,
// c >> 2)). A vector shorter than 257 (about 1/256) is left unchanged and 0
// is returned.
Fixed fxNormalize3(Fixed v[3]);

// toFixed of the single-precision sine/cosine of toFloat(a) × π/180, the
// product taken in single precision.
Fixed fxSinDeg(Fixed a);
Fixed fxCosDeg(Fixed a);

// Fast arctangent of y/x in degrees (−180 … 180, error of a few degrees).
Fixed fxAtan2Deg(Fixed y, Fixed x);

// The right-handed rotation matrix of r; angle 0 gives the identity.
Matrix4x axisAngleToMatrix(const Rotation &r);

// Angle and unit axis of the rotation part of m (upper-left 3×3).
Rotation matrixToAxisAngle(const Matrix4d &m);

// The facing of a root rotation snapped to a multiple of 45 degrees: the yaw
// about +Y of the rotated +Z axis, ties away from zero. Fixed degrees.
Fixed snappedHeading(const Rotation &r);

// --- rotation vectors (angle × axis), shared by evaluation and the engine ---

// Interpolated rotations shorter than 1/16 degree have no usable axis.
constexpr Fixed kShortestRotation = 4097;

// Sum of absolute component differences, in 64 bits so that it cannot wrap.
inline int64_t sumAbsDiff(const Fixed p[3], const Fixed q[3])
{
    int64_t sum = 0;
    for (int i = 0; i < 3; ++i) {
        const int64_t d = static_cast<int64_t>(p[i]) - q[i];
        sum += d < 0 ? -d : d;
    }
    return sum;
}

// out = angle × axis, component by component.
inline void angleAxisVector(Fixed angle, const Fixed axis[3], Fixed out[3])
{
    out[0] = fxMul(angle, axis[0]);
    out[1] = fxMul(angle, axis[1]);
    out[2] = fxMul(angle, axis[2]);
}

// out = p + u × (q − p), u a 16.16 weight.
inline void lerpVector(const Fixed p[3], const Fixed q[3], Fixed u, Fixed out[3])
{
    out[0] = fxAdd(p[0], fxMul(u, fxSub(q[0], p[0])));
    out[1] = fxAdd(p[1], fxMul(u, fxSub(q[1], p[1])));
    out[2] = fxAdd(p[2], fxMul(u, fxSub(q[2], p[2])));
}

// The rotation of vector r whose length is already known: angle = length,
// axis = r × fxRecip(length).
inline void rotationFromVector(const Fixed r[3], Fixed length, Fixed *angle, Fixed axis[3])
{
    const Fixed inv = fxRecip(length);
    *angle = length;
    axis[0] = fxMul(r[0], inv);
    axis[1] = fxMul(r[1], inv);
    axis[2] = fxMul(r[2], inv);
}
