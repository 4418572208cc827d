#include "numbertext.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr std::array<std::uint64_t, 20> kPow10 = [] {
    std::array<std::uint64_t, 20> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}();

// 5^27 is the largest power of five below 2^64.
constexpr std::array<std::uint64_t, 28> kPow5 = [] {
    std::array<std::uint64_t, 28> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 5;
    return p;
}();

constexpr std::uint64_t kNineDigits = 100000000;  // the smallest nine-digit number
constexpr std::uint64_t kTenDigits = 1000000000;

// floor(m × 2^e × 10^s) into *whole and whether the remaining fraction is at
// least one half, in exact integer arithmetic. False when a product would
// leave 128 bits or the result 64 bits.
bool scaleExactly(std::uint64_t m, int e, int s, std::uint64_t *whole, bool *half)
{
    if (s >= 0) {
        // 10^s = 5^s × 2^s: multiply by the odd part, shift by the rest.
        if (s >= int(kPow5.size()))
            return false;
        const Uint128 product = Uint128(m) * kPow5[std::size_t(s)];
        const int shift = s + e;
        if (shift >= 0) {
            if (shift > 10 || (product >> (64 - shift)) != 0)
                return false;
            *whole = std::uint64_t(product << shift);
            *half = false;
            return true;
        }
        const int drop = -shift;
        if (drop >= 128)
            return false;
        const Uint128 value = product >> drop;
        if ((value >> 64) != 0)
            return false;
        *whole = std::uint64_t(value);
        *half = (product & ((Uint128(1) << drop) - 1)) >= (Uint128(1) << (drop - 1));
        return true;
    }
    const int t = -s;
    if (t >= int(kPow10.size()) || e > 10 || e < -60)
        return false;
    Uint128 numerator = m;
    Uint128 denominator = kPow10[std::size_t(t)];
    if (e >= 0)
        numerator <<= e;
    else
        denominator <<= -e;
    const Uint128 value = numerator / denominator;
    if ((value >> 64) != 0)
        return false;
    *whole = std::uint64_t(value);
    *half = 2 * (numerator % denominator) >= denominator;
    return true;
}

// The nine significant digits of a (finite, above zero) rounded half away
// from zero, and the decimal exponent of the first: a ≈ digits × 10^(exp10 − 8).
// False outside [1e-19, 2^63) and for subnormals, which the caller formats
// otherwise.
bool nineDigits(double a, std::uint64_t *digits, int *exp10)
{
    if (!(a >= 1e-19 && a < 9.2e18))
        return false;
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    const int biased = int(bits >> 52);
    const std::uint64_t m = (bits & ((std::uint64_t(1) << 52) - 1)) | (std::uint64_t(1) << 52);
    const int e = biased - 1075;
    // floor(log2(a) × log10(2)), within one of the true exponent; the loop
    // below settles it.
    int guess = ((biased - 1023) * 78913) >> 18;

    for (int attempt = 0; attempt < 3; ++attempt) {
        std::uint64_t whole;
        bool half;
        if (!scaleExactly(m, e, 8 - guess, &whole, &half))
            return false;
        if (whole >= kTenDigits) {
            ++guess;
            continue;
        }
        if (whole < kNineDigits) {
            --guess;
            continue;
        }
        whole += half ? 1 : 0;
        if (whole == kTenDigits) {
            whole = kNineDigits;
            ++guess;
        }
        *digits = whole;
        *exp10 = guess;
        return true;
    }
    return false;
}

constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[std::size_t(2 * i)] = char('0' + i / 10);
        pairs[std::size_t(2 * i + 1)] = char('0' + i % 10);
    }
    return pairs;
}();

// The nine digits of value (below 10^9), two at a time.
void writeNineDigits(char *out, std::uint64_t value)
{
    auto v = std::uint32_t(value);
    out[0] = char('0' + v / 100000000);
    v %= 100000000;
    for (int i = 7; i > 0; i -= 2) {
        std::memcpy(out + i, &kDigitPairs[std::size_t(2 * (v % 100))], 2);
        v /= 100;
    }
}

// How many of nine digits are left without their trailing zeros (the
// first is never zero).
int significantDigits(const char *digits)
{
    int count = 9;
    while (digits[count - 1] == '0')
        --count;
    return count;
}

char *copyText(char *out, const char *text)
{
    const std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
}

} // namespace

char *writeNumberText(char *out, double value)
{
    if (std::isnan(value))
        return copyText(out, "nan");
    if (std::isinf(value))
        return copyText(out, value < 0 ? "-inf" : "inf");
    if (value == 0)
        return copyText(out, "0");
    std::uint64_t whole;
    int exp10;
    if (!nineDigits(std::fabs(value), &whole, &exp10)) {
        // Far beyond what composing gives. No value there lies exactly half
        // way between two nine-digit neighbours (that takes a decimal
        // expansion of exactly ten digits), so the correctly rounded %g form
        // is the same text.
        return std::to_chars(out, out + kMaxNumberText, value, std::chars_format::general, 9).ptr;
    }
    if (value < 0)
        *out++ = '-';
    // The digits are written in place; the fixed-size moves below stay
    // within the kMaxNumberText characters the caller provides.
    if (exp10 < -4 || exp10 >= 9) {
        writeNineDigits(out + 1, whole);
        out[0] = out[1];
        out[1] = '.';
        const int count = significantDigits(out + 1);
        out += count > 1 ? count + 1 : 1;
        *out++ = 'e';
        *out++ = exp10 < 0 ? '-' : '+';
        const int magnitude = std::abs(exp10);
        if (magnitude >= 100)
            *out++ = char('0' + magnitude / 100);
        *out++ = char('0' + magnitude / 10 % 10);
        *out++ = char('0' + magnitude % 10);
        return out;
    }
    if (exp10 >= 0) {
        const int integerDigits = exp10 + 1;
        writeNineDigits(out, whole);
        const int count = significantDigits(out);
        if (count <= integerDigits)
            return out + integerDigits;
        char fraction[8];
        std::memcpy(fraction, out + integerDigits, sizeof fraction);
        out[integerDigits] = '.';
        std::memcpy(out + integerDigits + 1, fraction, sizeof fraction);
        return out + count + 1;
    }
    const int zeros = -exp10 - 1; // 0 to 3
    std::memcpy(out, "0.000", 5);
    out += 2 + zeros;
    writeNineDigits(out, whole);
    return out + significantDigits(out);
}
