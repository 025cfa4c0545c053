//===- util/text_test.cpp -------------------------------------------------===//

#include "util/text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, CaseFoldingTouchesOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsNoCase("-NoDisk", "-nodisk"));
  EXPECT_FALSE(EqualsNoCase("-nodisk", "-nodisk "));
  EXPECT_EQ(LowerCopy("AbC_9\xC4\xD6"), "abc_9\xC4\xD6");
  EXPECT_FALSE(EqualsNoCase("\xC4", "\xE4"));
}

TEST(Text, TrimAndCollapseWorkOnBlanksOnly) {
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(" \t a b\r\n"), "a b");
  EXPECT_EQ(Trim("\va\v"), "\va\v");
  EXPECT_EQ(CollapseWhitespace("\ta  b\n"), " a b ");
}

TEST(Text, ConvertNewlinesCountsLineBreaksLikeTheReader) {
  EXPECT_EQ(ConvertNewlines("a\r\nb\nc\rd", 0), "a\r\nb\nc\rd");
  EXPECT_EQ(ConvertNewlines("a\r\nb\nc\rd", 2), "a\nb\nc\nd");
  EXPECT_EQ(ConvertNewlines("a\n\rb\r", 1), "a\r\n\r\nb\r\n");
  EXPECT_EQ(NewlineText(7), "");
}

TEST(Text, CountOccurrencesDoesNotOverlap) {
  EXPECT_EQ(CountOccurrences("aaaa", "aa"), 2u);
  EXPECT_EQ(CountOccurrences("abc", ""), 0u);
  EXPECT_EQ(RepeatText("..\\", 3), "..\\..\\..\\");
  EXPECT_EQ(RepeatText("x", 0), "");
}

TEST(Text, NextFieldGivesNoEmptyLastField) {
  std::string field;
  std::size_t position = 0;
  std::vector<std::string> fields;
  while (NextField("\\a\\\\b\\", "\\", &field, &position))
    fields.push_back(field);
  EXPECT_EQ(fields, (std::vector<std::string>{"", "a", "", "b"}));
  position = 0;
  EXPECT_FALSE(NextField("abc", "", &field, &position));
}

TEST(Text, MirrorBracketPairsSquareAndCurly) {
  EXPECT_EQ(MirrorBracket('['), ']');
  EXPECT_EQ(MirrorBracket('}'), '{');
  EXPECT_EQ(MirrorBracket('('), '(');
}

} // namespace
