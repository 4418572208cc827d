// The 16.16 primitives against values worked out by hand from their
// definitions, and the fast square root against the digit-by-digit method
// at every input where the rounded-down root changes.
#include "fixedpoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

Fixed fx(double v)
{
    return static_cast<Fixed>(v * 65536.0);
}

// The square root as the block core has always defined it: 24 rounds of two
// bits each over the unsigned value a × 65536, in 32-bit registers.
Fixed digitByDigitSqrt(Fixed a)
{
    uint32_t root = 0;
    uint32_t remHi = 0;
    uint32_t remLo = static_cast<uint32_t>(a);
    for (int round = 0; round < 24; ++round) {
        remHi = (remHi << 2) | (remLo >> 30);
        remLo <<= 2;
        root <<= 1;
        const uint32_t testDiv = (root << 1) + 1;
        if (remHi >= testDiv) {
            remHi -= testDiv;
            root += 1;
        }
    }
    return static_cast<Fixed>(root);
}

// Each primitive against values worked out by hand from its definition.
TEST(FixedPoint, PrimitivesOnHandWorkedValues)
{
    const auto mul = [](Fixed a, Fixed b) { return fxMul(a, b); };
    const auto div = [](Fixed a, Fixed b) { return fxDiv(a, b); };
    const auto recip = [](Fixed a, Fixed) { return fxRecip(a); };
    const auto sqrt = [](Fixed a, Fixed) { return fxSqrt(a); };
    const struct {
        const char *op;
        Fixed (*fn)(Fixed, Fixed);
        Fixed a, b, expected;
    } cases[] = {
        {"mul", mul, 0x18000, 0x20000, 0x30000}, // 1.5 × 2 = 3
        {"mul", mul, -0x18000, 0x20000, -0x30000},
        {"mul", mul, 1, 1, 0},                   // 1/65536² rounds down to 0
        {"mul", mul, -1, 1, -1},                 // the shift is arithmetic: toward −∞
        {"mul", mul, 0x7FFFFFFF, 0x7FFFFFFF, -65536}, // 0x3FFFFFFF0000 keeps 0xFFFF0000
        {"div", div, 0x10000, 0x30000, 0x5555},  // 1/3
        {"div", div, -0x10000, 0x30000, -0x5555}, // toward zero, not −0x5556
        {"div", div, 0x7FFFFFFF, 1, -65536},     // low 32 bits kept
        {"div", div, 0x10000, 0, 0},             // never divides by zero
        {"recip", recip, 0x30000, 0, 0x5555},
        {"recip", recip, 3, 0, 1431655765},
        {"recip", recip, -3, 0, -1431655765},
        {"recip", recip, 1, 0, 0},               // 2^32 does not fit: low 32 bits are 0
        {"recip", recip, 0, 0, 0},
        {"sqrt", sqrt, 0x40000, 0, 0x20000},     // √4 = 2
        {"sqrt", sqrt, 0x20000, 0, 92681},       // √2 = 1.41421…
        {"sqrt", sqrt, 1, 0, 256},               // √(1/65536) = 1/256
        {"sqrt", sqrt, 0x7FFFFFFF, 0, 11863283},
        {"sqrt", sqrt, -1, 0, 16777215},         // read as unsigned 0xFFFFFFFF
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.fn(c.a, c.b), c.expected) << c.op << "(" << c.a << ", " << c.b << ")";
}

TEST(FixedPoint, LengthHalvesTheComponents)
{
    EXPECT_EQ(fxLength3(fx(3), fx(4), 0), fx(5));
    EXPECT_EQ(fxLength3(fx(-3), fx(-4), 0), fx(5));
    EXPECT_EQ(fxLength3(0, fx(170), 0), fx(170));
    EXPECT_EQ(fxLength3(1, 1, 1), 0); // halving loses the last bit
}

TEST(FixedPoint, NormalizeReturnsTheLengthAndScalesByItsReciprocal)
{
    Fixed v[3] = {fx(3), fx(4), 0};
    EXPECT_EQ(fxNormalize3(v), fx(5));
    // fxRecip(5.0) = 13107, so the components are 3 × 13107 and 4 × 13107.
    EXPECT_EQ(v[0], 39321);
    EXPECT_EQ(v[1], 52428);
    EXPECT_EQ(v[2], 0);

    Fixed tiny[3] = {0, 100, 0};
    EXPECT_EQ(fxNormalize3(tiny), 0);
    EXPECT_EQ(tiny[1], 100);
}

TEST(FixedPoint, ConversionsTruncateAndSaturate)
{
    EXPECT_EQ(toFixed(1.5f), 0x18000);
    EXPECT_EQ(toFixed(-1.5f), -0x18000);
    EXPECT_EQ(toFixed(1e-6f), 0);
    EXPECT_EQ(toFixed(-1e-6f), 0); // toward zero, not −1
    EXPECT_EQ(toFixed(99.24f), 6503792); // 99.2399978… × 65536 = 6503792.5
    EXPECT_EQ(toFixed(std::nanf("")), 0);
    EXPECT_EQ(toFixed(1e10f), INT32_MAX);
    EXPECT_EQ(toFixed(-1e10f), INT32_MIN);
    EXPECT_EQ(toFloat(0x18000), 1.5f);
    EXPECT_EQ(toFloat(-1), -1.0f / 65536.0f);
}

TEST(FixedPoint, SineAndCosineOfDegrees)
{
    EXPECT_EQ(fxSinDeg(fx(90)), 0x10000);
    EXPECT_EQ(fxCosDeg(0), 0x10000);
    EXPECT_EQ(fxSinDeg(0), 0);
    EXPECT_NEAR(fxSinDeg(fx(30)), 0x8000, 1);
    EXPECT_NEAR(fxCosDeg(fx(60)), 0x8000, 1);
    EXPECT_NEAR(fxSinDeg(fx(-90)), -0x10000, 1);
    EXPECT_NEAR(fxCosDeg(fx(180)), -0x10000, 1);
}

TEST(FixedPoint, FastArctangentInDegrees)
{
    const struct {
        Fixed y, x, expected;
    } cases[] = {
        {0, 0x10000, 114},        // about 0 degrees
        {0x10000, 0, 5898141},    // about 90
        {0, -0x10000, 11796226},  // about 180
        {-0x10000, 0, -5898142},  // about −90
        {0x10000, 0x10000, 2949070}, // about 45
    };
    for (const auto &c : cases) {
        EXPECT_EQ(fxAtan2Deg(c.y, c.x), c.expected) << c.y << ", " << c.x;
        const double exact = std::atan2(c.y, c.x) * 180.0 / M_PI;
        EXPECT_NEAR(toFloat(fxAtan2Deg(c.y, c.x)), exact, 5.0);
    }
    // Extreme inputs wrap instead of dividing by zero.
    EXPECT_NO_FATAL_FAILURE(fxAtan2Deg(INT32_MIN, INT32_MAX));
}

TEST(FixedPoint, AxisAngleToMatrixIsRightHanded)
{
    const Matrix4x identity = axisAngleToMatrix(Rotation{0, {0, 0x10000, 0}});
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(identity.m[i], i % 5 == 0 ? 0x10000 : 0) << i;

    // 90 degrees about +Z turns +X into +Y: column 0 is (0, 1, 0).
    const Matrix4x z90 = axisAngleToMatrix(Rotation{fx(90), {0, 0, 0x10000}});
    EXPECT_NEAR(z90.m[0], 0, 2);
    EXPECT_NEAR(z90.m[1], 0x10000, 2);
    EXPECT_NEAR(z90.m[4], -0x10000, 2);
    EXPECT_EQ(z90.m[10], 0x10000);
    EXPECT_EQ(z90.m[15], 0x10000);
    EXPECT_EQ(z90.m[12], 0);

    // Whole turns are taken off first: 450 degrees is 90 degrees.
    const Matrix4x z450 = axisAngleToMatrix(Rotation{fx(450), {0, 0, 0x10000}});
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(z450.m[i], z90.m[i]) << i;
}

Matrix4d doubleMatrix(const Matrix4x &m)
{
    Matrix4d d;
    for (int i = 0; i < 16; ++i)
        d.m[i] = m.m[i] / 65536.0;
    return d;
}

TEST(FixedPoint, MatrixToAxisAngleRecoversTheRotation)
{
    Matrix4d identity = {};
    identity.m[0] = identity.m[5] = identity.m[10] = identity.m[15] = 1.0;
    const Rotation none = matrixToAxisAngle(identity);
    EXPECT_EQ(none.angle, 0);
    EXPECT_EQ(none.axis[1], 0x10000);

    const Rotation x90 = matrixToAxisAngle(doubleMatrix(axisAngleToMatrix(Rotation{fx(90), {0x10000, 0, 0}})));
    EXPECT_NEAR(toFloat(x90.angle), 90.0, 0.01);
    EXPECT_NEAR(toFloat(x90.axis[0]), 1.0, 1e-4);

    // Half turns: the axis comes from the diagonal, with consistent signs.
    Matrix4d halfY = {};
    halfY.m[0] = -1.0;
    halfY.m[5] = 1.0;
    halfY.m[10] = -1.0;
    halfY.m[15] = 1.0;
    const Rotation y180 = matrixToAxisAngle(halfY);
    EXPECT_EQ(y180.angle, fx(180));
    EXPECT_EQ(y180.axis[0], 0);
    EXPECT_EQ(y180.axis[1], 0x10000);

    // 180 degrees about (1, 1, 0)/√2 is 2·a·aᵀ − I.
    Matrix4d halfXY = {};
    halfXY.m[0] = 0.0;
    halfXY.m[5] = 0.0;
    halfXY.m[10] = -1.0;
    halfXY.m[1] = halfXY.m[4] = 1.0;
    halfXY.m[15] = 1.0;
    const Rotation xy180 = matrixToAxisAngle(halfXY);
    EXPECT_EQ(xy180.angle, fx(180));
    EXPECT_NEAR(toFloat(xy180.axis[0]), std::sqrt(0.5), 1e-4);
    EXPECT_NEAR(toFloat(xy180.axis[1]), std::sqrt(0.5), 1e-4);
}

TEST(SnappedHeading, RoundsToMultiplesOf45AwayFromZero)
{
    // The heading is 90 minus the arctangent of the turned +Z axis, so it
    // runs from −90 to 270: a facing of −135 comes out as 225.
    const struct {
        double facing, expected;
    } cases[] = {
        {35, 45}, {10, 0}, {-35, -45}, {0, 0}, {-10, 0}, {80, 90}, {100, 90}, {180, 180}, {-135, 225},
        {-80, -90},
    };
    for (const auto &c : cases) {
        const Rotation r{fx(c.facing), {0, 0x10000, 0}};
        EXPECT_EQ(snappedHeading(r), fx(c.expected)) << c.facing;
    }
}

TEST(SnappedHeading, LookingStraightUpOrDownHasNoHeading)
{
    // 90 degrees about X turns +Z to −Y: nothing is left in the ground plane.
    const Rotation up{fx(90), {0x10000, 0, 0}};
    EXPECT_EQ(snappedHeading(up), 0);
}

TEST(FastSqrt, MatchesTheDigitByDigitRootAtEveryPerfectSquareBoundary)
{
    // The floor of the root changes only where a × 65536 crosses k²; check
    // both sides of every such crossing reachable from a 32-bit input.
    int mismatches = 0;
    for (uint64_t k = 0; k < (1u << 24); ++k) {
        const uint64_t a = (k * k + 65535) / 65536; // smallest a with a·65536 ≥ k²
        for (uint64_t b = a == 0 ? 0 : a - 1; b <= a + 1 && b <= 0xFFFFFFFFu; ++b) {
            const Fixed in = static_cast<Fixed>(static_cast<uint32_t>(b));
            if (fxSqrt(in) != digitByDigitSqrt(in))
                ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
