//===- markup/gap_text_test.cpp -------------------------------------------===//

#include "markup/gap_text.h"

#include <gtest/gtest.h>

#include <random>

namespace qz {
namespace {

TEST(GapText, EditsAnywhereMatchAPlainString) {
  // Random edits all over the text move the gap in both directions and make
  // it grow; the result must always equal the same edits on a std::string.
  std::mt19937 random(12345);
  std::string model = "The quick brown fox";
  CGapText text(model);
  for (int step = 0; step < 3000; ++step) {
    std::size_t at = random() % (model.size() + 1);
    if (random() % 3 != 0) {
      std::string insert(random() % 9, static_cast<char>('a' + step % 26));
      model.insert(at, insert);
      text.Insert(at, insert);
    } else {
      std::size_t count = random() % 12;
      model.erase(at, count);
      text.Erase(at, count);
    }
    ASSERT_EQ(text.Size(), model.size()) << "step " << step;
    if (!model.empty()) {
      std::size_t probe = random() % model.size();
      ASSERT_EQ(text.At(probe), model[probe]) << "step " << step;
    }
  }
  EXPECT_EQ(text.Str(), model);
  EXPECT_EQ(text.Release(), model);
  EXPECT_EQ(text.Size(), 0u);
}

TEST(GapText, OutOfRangeArgumentsAreClampedOrEmpty) {
  CGapText text("abc");
  EXPECT_EQ(text.At(3), '\0');
  EXPECT_EQ(text.At(1000), '\0');
  text.Erase(2, 100);
  EXPECT_EQ(text.Str(), "ab");
  text.Erase(5, 1);
  text.Insert(100, "!");
  EXPECT_EQ(text.Str(), "ab!");
}

TEST(GapText, FindSeesAcrossTheGap) {
  CGapText text("a/]b");
  text.Insert(2, "xyz"); // gap now sits between "/" and the text after it
  text.Erase(2, 3);
  EXPECT_EQ(text.Find("/]", 0), 1u);
  EXPECT_EQ(text.Find("/]", 2), std::string::npos);
  EXPECT_EQ(text.Find("b", 0), 3u);
  EXPECT_EQ(text.Find("longer than text", 0), std::string::npos);
}

} // namespace
} // namespace qz
