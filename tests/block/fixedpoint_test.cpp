// The 16.16 primitives against values worked out by hand from their
// definitions, and the fast square root against the digit-by-digit method
// at every input where the rounded-down root changes.
#include "blocktestsupport.h"
#include "fixedpoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using blocktest::fx;

namespace {

// The square root as the block core has always defined it: 24 rounds of two
// bits each over the unsigned value a × 65536, in 32-bit registers.
Fixed digitByDigitSqrt(Fixed a)
{
    uint32_t root = 0, remHi = 0, remLo = static_cast<uint32_t>(a);
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

// Each primitive against values worked out by hand from its definition;
// tolerance 0 means exact. The square root has its own exhaustive test.
TEST(FixedPoint, PrimitivesOnHandWorkedValues)
{
    using Op = Fixed (*)(Fixed, Fixed);
    const Op mul = fxMul, div = fxDiv;
    const Op recip = [](Fixed a, Fixed) { return fxRecip(a); };
    const Op sin = [](Fixed a, Fixed) { return fxSinDeg(a); };
    const Op cos = [](Fixed a, Fixed) { return fxCosDeg(a); };
    const Op length = [](Fixed a, Fixed b) { return fxLength3(a, b, 0); };
    const Op atan = fxAtan2Deg;
    const struct {
        const char *op;
        Op fn;
        Fixed a, b, expected;
        int tolerance;
    } cases[] = {
        { "mul", mul, 0x18000, 0x20000, 0x30000, 0 }, // 1.5 × 2 = 3
        { "mul", mul, 1, 1, 0, 0 }, // 1/65536² rounds down to 0
        { "mul", mul, -1, 1, -1, 0 }, // the shift is arithmetic: toward −∞
        { "mul", mul, 0x7FFFFFFF, 0x7FFFFFFF, -65536, 0 }, // 0x3FFFFFFF0000 keeps 0xFFFF0000
        { "div", div, 0x10000, 0x30000, 0x5555, 0 }, // 1/3
        { "div", div, -0x10000, 0x30000, -0x5555, 0 }, // toward zero, not −0x5556
        { "div", div, 0x7FFFFFFF, 1, -65536, 0 }, // low 32 bits kept
        { "div", div, 0x10000, 0, 0, 0 }, // never divides by zero
        { "recip", recip, 0x30000, 0, 0x5555, 0 }, { "recip", recip, 3, 0, 1431655765, 0 },
        { "recip", recip, -3, 0, -1431655765, 0 },
        { "recip", recip, 1, 0, 0, 0 }, // 2^32 does not fit: low 32 bits are 0
        { "recip", recip, 0, 0, 0, 0 }, { "length", length, fx(3), fx(4), fx(5), 0 },
        { "length", length, fx(-3), fx(-4), fx(5), 0 }, { "length", length, 0, fx(170), fx(170), 0 },
        { "length", length, 1, 1, 0, 0 }, // halving the components loses the last bit
        { "sin", sin, fx(90), 0, 0x10000, 0 }, { "sin", sin, fx(30), 0, 0x8000, 1 },
        { "sin", sin, fx(-90), 0, -0x10000, 1 }, { "cos", cos, 0, 0, 0x10000, 0 },
        { "cos", cos, fx(60), 0, 0x8000, 1 }, { "cos", cos, fx(180), 0, -0x10000, 1 },
        { "atan2", atan, 0, 0x10000, 114, 0 }, // about 0 degrees
        { "atan2", atan, 0x10000, 0, 5898141, 0 }, // about 90
        { "atan2", atan, 0, -0x10000, 11796226, 0 }, // about 180
        { "atan2", atan, 0x10000, 0x10000, 2949070, 0 }, // about 45
    };
    for (const auto &c : cases)
        EXPECT_NEAR(c.fn(c.a, c.b), c.expected, c.tolerance) << c.op << "(" << c.a << ", " << c.b << ")";
    // Extreme inputs wrap instead of dividing by zero.
    EXPECT_NO_FATAL_FAILURE(fxAtan2Deg(INT32_MIN, INT32_MAX));
}

TEST(FixedPoint, ConversionsTruncateAndSaturate)
{
    // Toward zero (−1e-6 is 0, not −1; 99.24f × 65536 is 6503792.5), NaN to 0, saturating.
    const struct {
        float in;
        Fixed out;
    } cases[] = { { 1.5f, 0x18000 }, { -1.5f, -0x18000 }, { -1e-6f, 0 }, { 99.24f, 6503792 },
        { std::nanf(""), 0 }, { 1e10f, INT32_MAX }, { -1e10f, INT32_MIN } };
    for (const auto &c : cases)
        EXPECT_EQ(toFixed(c.in), c.out) << c.in;
    EXPECT_EQ(toFloat(0x18000), 1.5f);
    EXPECT_EQ(toFloat(-1), -1.0f / 65536.0f);
}

TEST(FixedPoint, MatrixToAxisAngleRecoversTheRotationAndHeadingsSnapTo45)
{
    const Rotation none = matrixToAxisAngle(Matrix4d { { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1 } });
    EXPECT_EQ(std::tuple(none.angle, none.axis[1]), std::tuple(0, 0x10000));
    // 90 degrees about +X: +Y turns into +Z.
    const Rotation x90 = matrixToAxisAngle(Matrix4d { { 1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1 } });
    EXPECT_TRUE(std::fabs(toFloat(x90.angle) - 90) < 0.01 && std::fabs(toFloat(x90.axis[0]) - 1) < 1e-4);

    // Half turns: the axis comes from the diagonal, with consistent signs.
    const Rotation y180
        = matrixToAxisAngle(Matrix4d { { -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1 } });
    EXPECT_EQ(std::tuple(y180.angle, y180.axis[0], y180.axis[1]), std::tuple(fx(180), 0, 0x10000));
    // 180 degrees about (1, 1, 0)/√2 is 2·a·aᵀ − I.
    const Rotation xy180
        = matrixToAxisAngle(Matrix4d { { 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1 } });
    EXPECT_EQ(xy180.angle, fx(180));
    EXPECT_TRUE(std::fabs(toFloat(xy180.axis[0]) - std::sqrt(0.5)) < 1e-4
        && std::fabs(toFloat(xy180.axis[1]) - std::sqrt(0.5)) < 1e-4);

    // Snapped headings round to multiples of 45 away from zero.
    // The heading is 90 minus the arctangent of the turned +Z axis, so it
    // runs from −90 to 270: a facing of −135 comes out as 225.
    const struct {
        double facing, expected;
    } cases[] = { { 35, 45 }, { 10, 0 }, { -35, -45 }, { 0, 0 }, { -10, 0 }, { 80, 90 }, { 100, 90 },
        { 180, 180 }, { -135, 225 }, { -80, -90 }, { 485, 135 } };
    for (const auto &c : cases)
        EXPECT_EQ(snappedHeading(Rotation { fx(c.facing), { 0, 0x10000, 0 } }), fx(c.expected)) << c.facing;
    // 90 degrees about X turns +Z to −Y: nothing is left in the ground plane
    // (its length normalises to 0).
    EXPECT_EQ(snappedHeading(Rotation { fx(90), { 0x10000, 0, 0 } }), 0);
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
