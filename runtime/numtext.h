#pragma once
// Number texts: reading the code fields (hexadecimal and decimal), rounding to
// the integer fields, and the texts the panel writes. Plain
// C++ with no locale anywhere: the decimal point is always ".".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A hexadecimal text as a 32-bit signed value: hexadecimal digits in either
// case, leading zeros not counted, at most eight significant digits; eight
// digits with the top bit set read as negative (FFFFFFFF is -1). Anything
// else - an empty text, a blank anywhere, any other character, a sign, nine or
// more significant digits - gives nullopt (the caller's type mismatch).
std::optional<int32_t> HexToLong(std::string_view text);

// The leading number of a text. Spaces, tabs and line feeds are ignored
// wherever they stand; the longest leading part that forms a decimal number
// (optional sign, digits, one decimal point, optional exponent E/e/D/d with
// optional sign and digits) is taken, and a text without one gives 0. An
// exponent marker without digits is not part of the number ("1e" is 1).
// No radix prefix is read: "&H1F" has no leading number and gives 0.
//
// Never throws. Magnitudes beyond the double range give +-infinity, those
// below it give zero.
double Val(std::string_view text);

// The nearest 32-bit signed integer, halves to the even neighbour; nullopt for
// NaN and for results outside -2147483648..2147483647.
std::optional<int32_t> RoundToLong(double v);

// a / b to the nearest integer, halves to the even neighbour. b must be
// positive (the read-back shift divides by 4 or 16).
int32_t RoundHalfEvenDiv(int32_t a, int32_t b);

// Upper-case hexadecimal digits of v as a 32-bit two's-complement number,
// without leading zeros: "0" for 0, "FFFFFFFF" for -1.
std::string HexDigits(int32_t v);

// Volts with the pattern "0.0000": at least one digit before the point,
// exactly four after it, "-" in front of a negative value, but never
// "-0.0000". Infinity and NaN give "inf", "-inf" and "nan".
std::string FormatVolts4(float v);
