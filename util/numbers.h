//===- util/numbers.h - Number conversions ----------------------*- C++ -*-===//
//
// Text-to-number conversions that never overflow: decimal only, saturating at
// the ends of their range, and independent of the C locale.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_NUMBERS_H
#define FERROX_UTIL_NUMBERS_H

#include <cstdint>
#include <string>
#include <string_view>

/// Decimal integer: leading white space, an optional sign, then digits up to
/// the first other character. No digits give 0; values beyond the signed
/// 32-bit range saturate to its ends.
std::int32_t ParseLong(std::string_view text);

/// The hexadecimal digits of `text`, most significant first, in wrapping
/// 32-bit arithmetic. Every other character is skipped.
std::uint32_t ParseHex(std::string_view text);

/// Length of the longest leading decimal floating-point number of `text`
/// (after leading white space): sign, digits, optional point and digits,
/// optional exponent. 0 when the text does not start with one.
std::size_t DecimalFloatPrefix(std::string_view text);

/// Decimal floating-point number at the start of `text` (see
/// DecimalFloatPrefix), correctly rounded; 0 when there is none. Values beyond
/// the double range give an infinity of their sign. No hexadecimal floats, no
/// INF or NAN.
double ParseDouble(std::string_view text);

/// `value` rounded to the nearest single-precision float (ties to even), as
/// IEEE 754 converts: values up to FLT_MAX and half a unit in its last place
/// become FLT_MAX of their sign, larger ones an infinity. NaN stays NaN.
float DoubleToFloat(double value);

/// Signed value in `base` (2 to 36); base 10 shows a minus sign, other bases
/// show the two's complement bits.
std::string IntToString(std::int32_t value, int base = 10);
/// Unsigned value in `base` (2 to 36).
std::string UIntToString(std::uint32_t value, int base = 10);

/// printf-style "%.<precision><letter>" of `value`, at most 255 characters.
std::string FormatFloat(double value, char letter, int precision);

#endif // FERROX_UTIL_NUMBERS_H
