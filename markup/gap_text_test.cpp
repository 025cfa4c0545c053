//===- markup/gap_text_test.cpp -------------------------------------------===//

#include "markup/gap_text.h"

#include <gtest/gtest.h>

#include <random>

namespace qz {
namespace {

TEST(GapText, RandomEditsMatchAPlainString) {
  // Edits all over the text move the gap both ways and make it grow; ranges
  // past the end must be cut short like std::string does.
  std::mt19937 random(12345);
  std::string model = "The quick brown fox";
  CGapText text(model);
  for (int step = 0; step < 3000; ++step) {
    std::size_t at = random() % (model.size() + 2);
    if (random() % 3 != 0) {
      std::string insert(random() % 9, static_cast<char>('a' + step % 26));
      model.insert(std::min(at, model.size()), insert);
      text.Insert(at, insert);
    } else if (at <= model.size()) {
      std::size_t count = random() % 12;
      model.erase(at, count);
      text.Erase(at, count);
    }
    ASSERT_EQ(text.Size(), model.size()) << "step " << step;
    std::size_t probe = random() % (model.size() + 1);
    ASSERT_EQ(text.At(probe), probe < model.size() ? model[probe] : '\0');
    // Matches may straddle the gap.
    ASSERT_EQ(text.Find("ab", probe), model.find("ab", probe));
  }
  EXPECT_EQ(text.Str(), model);
  EXPECT_EQ(text.Release(), model);
  EXPECT_EQ(text.Size(), 0u);
}

} // namespace
} // namespace qz
