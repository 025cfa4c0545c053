//===- driver/statistics_test.cpp -----------------------------------------===//

#include "driver/statistics.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatSize, UnitsRoundDownAtEachBoundary) {
  EXPECT_EQ(FormatSize(0), "0B");
  EXPECT_EQ(FormatSize(1023), "1023B");
  EXPECT_EQ(FormatSize(1024), "1kB");
  EXPECT_EQ(FormatSize(1048575), "1023kB");
  EXPECT_EQ(FormatSize(1048576), "1MB");
  EXPECT_EQ(FormatSize(1073741823), "1023MB");
  EXPECT_EQ(FormatSize(1073741824), "1GB");
  EXPECT_EQ(FormatSize(2147483647), "1GB");
  EXPECT_EQ(FormatSize(5368709120LL), "5GB");
}

} // namespace
