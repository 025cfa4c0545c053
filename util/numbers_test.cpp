//===- util/numbers_test.cpp ----------------------------------------------===//

#include "util/numbers.h"

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

// Short decimals take a path of their own: it must agree with strtod to
// the last bit, sign of zero included, on both sides of its limits.
TEST(ParseDouble, ShortDecimalsAreRoundedExactlyLikeStrtod) {
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

TEST(NumberText, IntegersAndFloatsFormatLikePrintf) {
  EXPECT_EQ(IntToString(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(IntToString(0), "0");
  EXPECT_EQ(UIntToString(4294967295u), "4294967295");
  EXPECT_EQ(UIntToString(255, 16), "ff");
  EXPECT_EQ(FormatFloat(1.234, 'f', 2), "1.23");
  EXPECT_EQ(FormatFloat(0.0, 'f', 2), "0.00");
}

} // namespace
