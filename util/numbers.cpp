//===- util/numbers.cpp - Number conversions ------------------------------===//

#include "util/numbers.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipCSpace(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i]))
    ++i;
  return i;
}

} // namespace

std::int32_t ParseLong(std::string_view text) {
  std::size_t i = SkipCSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate the magnitude with a ceiling just above the 32-bit range.
  const std::int64_t ceiling = std::int64_t{1} << 32;
  std::int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > ceiling)
      magnitude = ceiling;
  }
  std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

std::uint32_t ParseHex(std::string_view text) {
  std::uint32_t value = 0;
  for (char c : text) {
    std::uint32_t digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    else
      continue;
    value = value * 16u + digit;
  }
  return value;
}

std::size_t DecimalFloatPrefix(std::string_view text) {
  std::size_t i = SkipCSpace(text);
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    ++i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    ++i;
    ++digits;
  }
  if (i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    std::size_t fraction = 0;
    while (j < text.size() && IsDigit(text[j])) {
      ++j;
      ++fraction;
    }
    if (digits + fraction > 0) {
      i = j;
      digits += fraction;
    }
  }
  if (digits == 0)
    return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-'))
      ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j]))
        ++j;
      i = j;
    }
  }
  return i;
}

double ParseDouble(std::string_view text) {
  std::size_t end = DecimalFloatPrefix(text);
  if (end == 0)
    return 0.0;
  // The prefix holds only decimal syntax, which strtod rounds correctly in
  // the "C" locale this program runs in.
  char small[64];
  if (end < sizeof small) {
    std::memcpy(small, text.data(), end);
    small[end] = '\0';
    return std::strtod(small, nullptr);
  }
  std::string number(text.substr(0, end));
  return std::strtod(number.c_str(), nullptr);
}

float DoubleToFloat(double value) {
  // FLT_MAX plus half its last place, 0x1.ffffffp+127: exactly halfway to
  // the next power of two, where rounding to even goes up to infinity.
  constexpr double kOverflowBoundary = 0x1.ffffffp+127;
  double magnitude = std::fabs(value);
  // Beyond FLT_MAX the conversion itself is not defined by the language, so
  // those values are rounded here.
  if (magnitude > FLT_MAX) {
    float rounded = magnitude < kOverflowBoundary
                        ? FLT_MAX
                        : std::numeric_limits<float>::infinity();
    return std::signbit(value) ? -rounded : rounded;
  }
  return static_cast<float>(value);
}

std::string UIntToString(std::uint32_t value, int base) {
  if (base < 2 || base > 36)
    base = 10;
  char buffer[40];
  std::size_t n = 0;
  do {
    std::uint32_t digit = value % static_cast<std::uint32_t>(base);
    buffer[n++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    value /= static_cast<std::uint32_t>(base);
  } while (value != 0);
  std::string result;
  result.reserve(n);
  while (n > 0)
    result += buffer[--n];
  return result;
}

std::string IntToString(std::int32_t value, int base) {
  if (base == 10 && value < 0) {
    std::uint32_t magnitude = 0u - static_cast<std::uint32_t>(value);
    return "-" + UIntToString(magnitude, 10);
  }
  return UIntToString(static_cast<std::uint32_t>(value), base);
}

std::string FormatFloat(double value, char letter, int precision) {
  switch (letter) {
  case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
    break;
  default:
    letter = 'f';
  }
  if (precision < 0 || precision > 99)
    precision = 6;
  char format[16];
  std::snprintf(format, sizeof format, "%%.%d%c", precision, letter);
  char buffer[256];
  int n = std::snprintf(buffer, sizeof buffer, format, value);
  if (n < 0)
    return std::string();
  return std::string(buffer, static_cast<std::size_t>(n) < sizeof buffer
                                 ? static_cast<std::size_t>(n)
                                 : sizeof buffer - 1);
}
