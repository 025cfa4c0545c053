//===- util/numbers_test.cpp ----------------------------------------------===//

#include "util/numbers.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <gtest/gtest.h>

namespace {

TEST(ParseLong, ReadsDecimalPrefixAfterWhiteSpace) {
  EXPECT_EQ(ParseLong("42"), 42);
  EXPECT_EQ(ParseLong("  -17xyz"), -17);
  EXPECT_EQ(ParseLong("+8"), 8);
  EXPECT_EQ(ParseLong("0x10"), 0);
  EXPECT_EQ(ParseLong(""), 0);
  EXPECT_EQ(ParseLong("-"), 0);
  EXPECT_EQ(ParseLong("\v\f3"), 3);
}

TEST(ParseLong, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(ParseLong("2147483647"), 2147483647);
  EXPECT_EQ(ParseLong("2147483648"), 2147483647);
  EXPECT_EQ(ParseLong("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseLong("-99999999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(ParseLong("99999999999999999999999"), 2147483647);
}

TEST(ParseHex, SkipsNonDigitsAndWraps) {
  EXPECT_EQ(ParseHex("1F"), 31u);
  EXPECT_EQ(ParseHex("0x1F"), 31u);
  EXPECT_EQ(ParseHex("G1"), 1u);
  EXPECT_EQ(ParseHex(""), 0u);
  EXPECT_EQ(ParseHex("123456789"), 0x23456789u);
}

// Decimals are rounded correctly, to the last bit and the sign of zero.
TEST(ParseDouble, DecimalsAreRoundedExactlyLikeStrtod) {
  std::mt19937_64 random(7);
  for (int n = 0; n < 200000; ++n) {
    unsigned long long a = random() >> (random() % 64);
    unsigned long long b = (random() >> (random() % 64)) % 10000000;
    int e = static_cast<int>(random() % 61) - 30;
    char text[96];
    switch (n % 6) {
    case 0: std::snprintf(text, sizeof text, "%llu", a); break;
    case 1: std::snprintf(text, sizeof text, "-%llu.%llu", a, b); break;
    case 2: std::snprintf(text, sizeof text, "-0.%llu", b); break;
    case 3: std::snprintf(text, sizeof text, "%llue%d", a, e); break;
    case 4: std::snprintf(text, sizeof text, "%llu.%llue%d", a % 1000000, b, e); break;
    default: std::snprintf(text, sizeof text, ".%llue%d", b, e); break;
    }
    double expected = std::strtod(text, nullptr);
    double got = ParseDouble(text);
    ASSERT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << text;
  }
  EXPECT_TRUE(std::signbit(ParseDouble("-0.0")));
  EXPECT_EQ(ParseDouble("9007199254740993"), 9007199254740992.0);
  EXPECT_EQ(ParseDouble("1e22"), 1e22);
  EXPECT_EQ(ParseDouble("1e23"), 1e23);
  EXPECT_EQ(ParseDouble("  2.5"), 2.5);
  // Long exponents, found by fuzzing: no overflow on the way to strtod.
  EXPECT_EQ(ParseDouble("1e32147483647"), std::strtod("1e32147483647", nullptr));
  EXPECT_EQ(ParseDouble("1e-99999999999"), 0.0);
}

TEST(ParseDouble, ReadsOnlyDecimalSyntax) {
  EXPECT_EQ(ParseDouble("1.5"), 1.5);
  EXPECT_EQ(ParseDouble("-1.5e+3x"), -1500.0);
  EXPECT_EQ(ParseDouble(".5"), 0.5);
  EXPECT_EQ(ParseDouble("5."), 5.0);
  EXPECT_EQ(ParseDouble("1e"), 1.0);
  EXPECT_EQ(ParseDouble("1e+"), 1.0);
  EXPECT_EQ(ParseDouble("0x1G"), 0.0);
  EXPECT_EQ(ParseDouble("0x10"), 0.0);
  EXPECT_EQ(ParseDouble("inf"), 0.0);
  EXPECT_EQ(ParseDouble("nan"), 0.0);
  EXPECT_EQ(ParseDouble("."), 0.0);
  EXPECT_EQ(ParseDouble("-"), 0.0);
  EXPECT_EQ(ParseDouble("12b"), 12.0);
  EXPECT_EQ(ParseDouble("0.1"), 0.1);
}

TEST(ParseDouble, OutOfRangeGivesInfinityOrZero) {
  EXPECT_EQ(ParseDouble("1e999"), HUGE_VAL);
  EXPECT_EQ(ParseDouble("-1e999"), -HUGE_VAL);
  EXPECT_EQ(ParseDouble("1e-999"), 0.0);
}

/// The bits of the float nearest to `value`, ties to even, worked out from
/// the double's bits alone: a reference that shares nothing with the
/// conversion under test.
std::uint32_t NearestFloatBits(double value) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  std::uint32_t sign = static_cast<std::uint32_t>(bits >> 63) << 31;
  int exponent = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  if (exponent == 0x7FF)
    return sign | 0x7F800000u | (mantissa != 0 ? 0x400000u : 0u);
  if (exponent == 0 && mantissa == 0)
    return sign;
  // value = m * 2^e; the float's last place is 2^q.
  std::uint64_t m = exponent != 0 ? mantissa | (std::uint64_t{1} << 52) : mantissa;
  int e = exponent != 0 ? exponent - 1075 : -1074;
  int top = 63 - std::countl_zero(m) + e;
  int q = std::max(top - 23, -149);
  int shift = q - e; // always positive for a double
  std::uint64_t r = 0;
  if (shift < 64) {
    r = m >> shift;
    std::uint64_t rest = m & ((std::uint64_t{1} << shift) - 1);
    std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (r & 1) != 0))
      ++r;
  }
  if (r == (std::uint64_t{1} << 24)) {
    r >>= 1;
    ++q;
  }
  if (r < (std::uint64_t{1} << 23)) // subnormal or zero
    return sign | static_cast<std::uint32_t>(r);
  int biased = q + 150;
  if (biased >= 255)
    return sign | 0x7F800000u;
  return sign | (static_cast<std::uint32_t>(biased) << 23) |
         static_cast<std::uint32_t>(r & 0x7FFFFF);
}

TEST(DoubleToFloat, RoundsToNearestUpToHalfAPlaceBeyondTheLargestFloat) {
  const double boundary = 0x1.ffffffp+127; // FLT_MAX + half its last place
  const double cases[] = {FLT_MAX,
                          std::nextafter(boundary, 0.0),
                          boundary,
                          std::nextafter(boundary, HUGE_VAL),
                          3.40282347e38,
                          3.4028235677973366e38,
                          1e39,
                          DBL_MAX,
                          HUGE_VAL,
                          FLT_MIN,
                          0x1p-149,
                          0x1p-150, // a tie: to even, zero
                          std::nextafter(0x1p-150, 1.0),
                          0x1.fffffep-127,
                          0.1,
                          1.0 / 3.0,
                          0.0};
  for (double value : cases) {
    for (double signed_value : {value, -value}) {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(DoubleToFloat(signed_value)),
                NearestFloatBits(signed_value))
          << std::hexfloat << signed_value;
    }
  }
  EXPECT_EQ(DoubleToFloat(3.40282347e38), FLT_MAX);
  EXPECT_EQ(DoubleToFloat(-std::nextafter(boundary, 0.0)), -FLT_MAX);
  EXPECT_TRUE(std::isinf(DoubleToFloat(boundary)));
  EXPECT_TRUE(std::isnan(DoubleToFloat(std::nan(""))));

  // Across the whole range of exponents a float can take, and beyond.
  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    std::uint64_t bits = random();
    int exponent = 1023 - 160 + static_cast<int>(random() % 300);
    bits = (bits & 0x800FFFFFFFFFFFFFull) |
           (static_cast<std::uint64_t>(exponent) << 52);
    double value = std::bit_cast<double>(bits);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(DoubleToFloat(value)),
              NearestFloatBits(value))
        << std::hexfloat << value;
  }
}

TEST(NumberText, IntegersAndFloatsFormatLikePrintf) {
  EXPECT_EQ(IntToString(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(IntToString(0), "0");
  EXPECT_EQ(UIntToString(4294967295u), "4294967295");
  EXPECT_EQ(UIntToString(255, 16), "ff");
  EXPECT_EQ(FormatFloat(1.234, 'f', 2), "1.23");
  EXPECT_EQ(FormatFloat(0.0, 'f', 2), "0.00");
}

} // namespace
