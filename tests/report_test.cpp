//===- tests/report_test.cpp - The build report ---------------------------===//

#include "tests/harness.h"

namespace {

TEST_F(Ferrox, ReportCountsEveryFileAndLabelUse) {
  std::string standard = "; shared definitions\nbase: data1u 0\n";
  Install("std.tvh", standard);
  std::string source = "data4i &base, &base, &tail\nskip1u 1\ntail:\n";
  RunResult result = Assemble(source);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Normalized(result.lines),
            Report(1, 0, 0, 2, 3, 4, 2,
                   static_cast<int>(standard.size() + source.size()),
                   20 + 1 + 12 + 4, 0));
}

TEST_F(Ferrox, OutputSizeUsesUnitsForLargeImages) {
  RunResult kilo = Assemble("reserve 1023\ndata1u 1", {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(Normalized(kilo.lines)[4], "Output size  : 1024 (1kB)");
  RunResult mega = Assemble("reserve 1048575\ndata1u 1",
                            {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(Normalized(mega.lines)[4], "Output size  : 1048576 (1MB)");
}

TEST_F(Ferrox, TotalTimeHasTwoDecimals) {
  RunResult result = Assemble("");
  ASSERT_EQ(result.lines.size(), 7u);
  const std::string &time = result.lines[5];
  ASSERT_EQ(time.substr(0, 15), "Total time   : ");
  std::string value = time.substr(15);
  ASSERT_GE(value.size(), 5u);
  EXPECT_EQ(value.back(), 's');
  EXPECT_EQ(value[value.size() - 4], '.');
}

} // namespace
