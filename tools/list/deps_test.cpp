//===- tools/list/deps_test.cpp -------------------------------------------===//

#include "tools/list/deps.h"

#include <gtest/gtest.h>

namespace {

TEST(Deps, EscapesNamesAsMakeReadsThem) {
  std::string escaped;
  ASSERT_TRUE(EscapeForMake("my dir/a$b#c.tvh", escaped));
  EXPECT_EQ(escaped, "my\\ dir/a$$b\\#c.tvh");
  // Backslashes before a blank are doubled, others stay.
  ASSERT_TRUE(EscapeForMake("a\\ b\\c", escaped));
  EXPECT_EQ(escaped, "a\\\\\\ b\\c");
  for (const char *name : {"a\nb", "a;rm x", "c:d", "CC=x", "end\\", ""})
    EXPECT_FALSE(EscapeForMake(name, escaped)) << name;
}

TEST(Deps, WritesTheRuleAndOneEmptyRuleForEachFileOnce) {
  std::string rule, error;
  ASSERT_TRUE(RenderDeps("out img", {"prog.tvs", "lib/io.tvh", "prog.tvs"}, rule, &error));
  EXPECT_EQ(rule, "out\\ img: \\\n  prog.tvs \\\n  lib/io.tvh\n\nprog.tvs:\n\nlib/io.tvh:\n");
  EXPECT_FALSE(RenderDeps("out.img", {"x;y"}, rule, &error));
  EXPECT_NE(error.find("x;y"), std::string::npos);
}

} // namespace
