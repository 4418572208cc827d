#pragma once
// The composer's number text without a QString per value.
//
// writeNumberText gives exactly the text of QString::number(value, 'g', 9),
// so files written before and after read the same byte for byte: nine
// significant digits, ties rounded away from zero, trailing zeros dropped,
// the exponent form ("1e-05", "1.5e+09", at least two exponent digits) below
// 1e-4 and from 1e9 after rounding, "nan" for any NaN, "inf" / "-inf", and
// "0" for both zeros.

// The longest text written ("-1.23456789e-308" and the like).
constexpr int kMaxNumberText = 24;

// Writes the text at out (no terminating zero) and returns the end. out must
// hold kMaxNumberText characters.
char *writeNumberText(char *out, double value);
