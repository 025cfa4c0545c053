//===- util/numbers_test.cpp ----------------------------------------------===//

#include "util/numbers.h"

#include <cmath>
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
