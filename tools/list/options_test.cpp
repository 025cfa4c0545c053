//===- tools/list/options_test.cpp ----------------------------------------===//

#include "tools/list/options.h"

#include <gtest/gtest.h>

namespace {

TEST(ListOptions, ReadsPathsSwitchesAndBothFormsOfLongOptions) {
  CListOptions options;
  std::string error;
  ASSERT_TRUE(ParseListOptions({"--map=m.json", "prog.tvs", "-NODISK", "prog.img",
                                "--listing", "-", "-noBootInfo", "--", "--deps"},
                               options, &error) == false);
  // "--" made "--deps" a third path.
  EXPECT_EQ(error, "unexpected argument '--deps'");

  options = CListOptions();
  ASSERT_TRUE(ParseListOptions({"--map=m.json", "prog.tvs", "-NODISK", "prog.img",
                                "--listing", "-", "-noBootInfo", "--deps", "d"},
                               options, &error))
      << error;
  EXPECT_EQ(options.source, "prog.tvs");
  EXPECT_EQ(options.destination, "prog.img");
  EXPECT_TRUE(options.noDisk && options.noBootInfo);
  EXPECT_EQ(options.map, "m.json");
  EXPECT_EQ(options.listing, "-");
  EXPECT_EQ(options.target, "prog.img");
}

TEST(ListOptions, RefusesWhatIsNoUsage) {
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
           {},                                   // no source
           {"prog.tvs", "--bogus"},              // unknown option
           {"prog.tvs", "--map"},                // option without its value
           {"prog.tvs", "--map="},               // an empty value
           {"prog.tvs", "--deps", "d"},          // a rule without a target
           {"a", "b", "c"}}) {                   // a third path
    CListOptions options;
    std::string error;
    EXPECT_FALSE(ParseListOptions(args, options, &error)) << args.size();
    EXPECT_FALSE(error.empty());
  }
  CListOptions options;
  std::string error;
  EXPECT_TRUE(ParseListOptions({"prog.tvs", "--deps", "d", "--target", "t"}, options, &error));
  EXPECT_EQ(options.target, "t");
  EXPECT_TRUE(ParseListOptions({"prog.tvs", "--bogus", "--help"}, options, &error) == false);
  EXPECT_TRUE(ParseListOptions({"--version"}, options, &error));
  EXPECT_EQ(options.action, CListOptions::Action::Version);
}

} // namespace
