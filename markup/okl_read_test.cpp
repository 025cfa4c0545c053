//===- markup/okl_read_test.cpp -------------------------------------------===//

#include "markup/okl_read.h"

#include "markup/okl_error.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace qz {
namespace {

/// A document and a reader over it, begun.
struct Doc {
  explicit Doc(std::string content) : text(std::move(content)), reader(text) {
    reader.Begin("");
  }
  std::string text;
  COKLRead reader;
};

/// Every value of `content`, read while the reader is not at the end.
std::vector<std::string> Values(const std::string &content) {
  Doc doc(content);
  std::vector<std::string> values;
  std::string value;
  while (!doc.reader.m_AtEnd) {
    if (!doc.reader.ReadValue(&value))
      break;
    values.push_back(value);
  }
  return values;
}

/// The one value of `content`.
std::string Value(const std::string &content) {
  Doc doc(content);
  std::string value;
  EXPECT_TRUE(doc.reader.ReadValue(&value)) << content;
  return value;
}

/// The error that `read` raises on `content`; -1 when it raises none.
int ErrorOf(const std::string &content,
            const std::function<void(COKLRead &)> &read) {
  try {
    Doc doc(content);
    read(doc.reader);
  } catch (const COKLError &error) {
    return error.m_Type;
  }
  return -1;
}

int ErrorReadingValues(const std::string &content) {
  return ErrorOf(content, [](COKLRead &reader) {
    while (!reader.m_AtEnd && reader.ReadValue(nullptr)) {
    }
  });
}

TEST(OklReaderFiller, DocumentOfFillerOnlyIsAtEndAfterBegin) {
  for (const char *content : {"", "  \t", " ,;\r\n, ", "[/ note /] ; {/x/}"}) {
    Doc doc(content);
    EXPECT_TRUE(doc.reader.m_AtEnd) << content;
    EXPECT_FALSE(doc.reader.ReadValue(nullptr));
    EXPECT_FALSE(doc.reader.OpenSection());
  }
  Doc doc(" x");
  EXPECT_FALSE(doc.reader.m_AtEnd);
}

TEST(OklReaderFiller, SeparatorReportNamesTheLastSeparator) {
  Doc doc("alpha,beta;");
  std::string value;
  ASSERT_TRUE(doc.reader.ReadValue(&value));
  EXPECT_EQ(value, "alpha");
  EXPECT_EQ(doc.reader.m_Separator, 1);
  EXPECT_FALSE(doc.reader.m_AtEnd);
  ASSERT_TRUE(doc.reader.ReadValue(&value));
  EXPECT_EQ(value, "beta");
  EXPECT_EQ(doc.reader.m_Separator, 2);
  EXPECT_TRUE(doc.reader.m_AtEnd);
  EXPECT_FALSE(doc.reader.ReadValue(&value));
  EXPECT_EQ(value, "beta") << "a failed read at the end leaves the output";

  Doc mixed("a ;\r\n , b");
  ASSERT_TRUE(mixed.reader.ReadValue(nullptr));
  EXPECT_EQ(mixed.reader.m_Separator, 1);
  EXPECT_TRUE(mixed.reader.m_NewLineSeen);
  ASSERT_TRUE(mixed.reader.ReadValue(nullptr));
  EXPECT_EQ(mixed.reader.m_Separator, 0);
  EXPECT_FALSE(mixed.reader.m_NewLineSeen);

  EXPECT_EQ(Values("alpha beta"), (std::vector<std::string>{"alpha", "beta"}));
}

TEST(OklReaderFiller, MarkupBetweenItemsIsInvisibleToTheReport) {
  // Separators and line breaks inside a construct are not the caller's.
  Doc doc("a [#def X 1;\n,] b [/ ;\n /]c");
  ASSERT_TRUE(doc.reader.ReadValue(nullptr));
  EXPECT_EQ(doc.reader.m_Separator, 0);
  EXPECT_FALSE(doc.reader.m_NewLineSeen);
  ASSERT_TRUE(doc.reader.ReadValue(nullptr));
  EXPECT_EQ(doc.reader.m_Separator, 0);
  EXPECT_FALSE(doc.reader.m_NewLineSeen);
  std::string value;
  ASSERT_TRUE(doc.reader.ReadValue(&value));
  EXPECT_EQ(value, "c");
  EXPECT_TRUE(doc.reader.m_AtEnd);
}

TEST(OklReaderValues, BareValuesStopAtDelimitersAndLeaveThem) {
  EXPECT_EQ(Values("a\tb\nc,d;e"),
            (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  Doc doc("C:\\dir\\file");
  std::string value;
  ASSERT_TRUE(doc.reader.ReadValue(&value));
  EXPECT_EQ(value, "C");
  EXPECT_FALSE(doc.reader.ReadValue(&value)) << "a colon cannot start a value";
  EXPECT_EQ(value, "") << "a failed read clears the output";
  EXPECT_FALSE(doc.reader.m_AtEnd);

  Doc bracket("name[x]");
  ASSERT_TRUE(bracket.reader.ReadValue(&value));
  EXPECT_EQ(value, "name");
  EXPECT_TRUE(bracket.reader.OpenSection());
}

TEST(OklReaderValues, QuotedValuesKeepEverythingUpToTheirQuote) {
  EXPECT_EQ(Value("\"C:\\dir\\file\""), "C:\\dir\\file");
  EXPECT_EQ(Value("'say \"hi\"'"), "say \"hi\"");
  EXPECT_EQ(Value("\"it's\""), "it's");
  EXPECT_EQ(Value("'a, b; c=d [x]'"), "a, b; c=d [x]");
  EXPECT_EQ(Value("'line\r\nnext'"), "line\r\nnext");
  EXPECT_EQ(Values("'' x"), (std::vector<std::string>{"", "x"}));
}

TEST(OklReaderValues, UnterminatedQuoteRaisesUnexpectedEndAtTheEnd) {
  std::string text = "a\r\nb\n 'c";
  COKLRead reader(text);
  reader.Begin("");
  ASSERT_TRUE(reader.ReadValue(nullptr));
  ASSERT_TRUE(reader.ReadValue(nullptr));
  try {
    reader.ReadValue(nullptr);
    FAIL() << "no error";
  } catch (const COKLError &error) {
    EXPECT_EQ(error.m_Type, COKLError::kUnexpectedEnd);
    EXPECT_EQ(error.m_Position, 8u);
    EXPECT_EQ(error.m_Line, 3u);
    EXPECT_EQ(error.m_Column, 4u);
  }
}

TEST(OklReaderValues, ValueOptionsApplyInOrder) {
  std::string text = "' \t a  \r\n b ' 'x\ry\r\n'";
  COKLRead reader(text);
  reader.m_CollapseSpaces = true;
  reader.m_TrimValues = true;
  reader.Begin("");
  std::string value;
  ASSERT_TRUE(reader.ReadValue(&value));
  EXPECT_EQ(value, "a b");
  reader.m_CollapseSpaces = false;
  reader.m_TrimValues = false;
  reader.m_NewLineMode = 2;
  ASSERT_TRUE(reader.ReadValue(&value));
  EXPECT_EQ(value, "x\ny\n");
}

TEST(OklReaderSpecialChars, ShortAndLongFormsGiveTheirByte) {
  EXPECT_EQ(Value("[&x41]"), "A");
  EXPECT_EQ(Value("[&65]"), "A");
  EXPECT_EQ(Value("[& 65 ]"), "A");
  EXPECT_EQ(Value("{&x41}"), "A");
  EXPECT_EQ(Value("[&5]"), "5");
  EXPECT_EQ(Value("[&x]"), "x");
  EXPECT_EQ(Value("[&]]"), "]");
  EXPECT_EQ(Value("[&&]"), "&");
  EXPECT_EQ(Value("{&}}"), "}");
  EXPECT_EQ(Value("[&X41]"), std::string(1, '\0'));
  EXPECT_EQ(Value("[&300]"), std::string(1, '\x2C'));
  EXPECT_EQ(Value("[&-1]"), std::string(1, '\xFF'));
  EXPECT_EQ(Value("[&99999999999]"), std::string(1, '\xFF'))
      << "decimal numbers saturate before their low byte is taken";
  EXPECT_EQ(Value("[& x4[&x31] ]"), "A") << "the number is itself a value";
}

TEST(OklReaderSpecialChars, DelimitersAndQuotesEnterValuesThroughThem) {
  EXPECT_EQ(Value("a[&,]b[& ]c[&:]d"), "a,b c:d");
  EXPECT_EQ(Value("'it[&']s'"), "it's");
  EXPECT_EQ(Value("\"[&34]\""), "\"");
  EXPECT_EQ(Values("a[& 59 ]b c"), (std::vector<std::string>{"a;b", "c"}));
}

TEST(OklReaderSpecialChars, MalformedLongFormsRaiseTheirErrors) {
  EXPECT_EQ(ErrorReadingValues("[&]"), COKLError::kSpecialCharError);
  EXPECT_EQ(ErrorReadingValues("x[&"), COKLError::kSpecialCharError);
  EXPECT_EQ(ErrorReadingValues("[& 65"), COKLError::kSpecialCharError);
  EXPECT_EQ(ErrorReadingValues("[& 65 x]"), COKLError::kSpecialCharError);
  EXPECT_EQ(ErrorReadingValues("[& '' ]"), COKLError::kSpecialCharError);
  EXPECT_EQ(ErrorReadingValues("[& 65 }"), COKLError::kSectionMismatch);
}

TEST(OklReaderPairs, BothMarksReadAsPairs) {
  Doc doc("name = value, key:'v w' k2=v2");
  std::string name;
  std::string value;
  int mark = -1;
  ASSERT_TRUE(doc.reader.ReadPair(&name, &mark, &value));
  EXPECT_EQ(name, "name");
  EXPECT_EQ(mark, 0);
  EXPECT_EQ(value, "value");
  EXPECT_EQ(doc.reader.m_Separator, 1);
  ASSERT_TRUE(doc.reader.ReadPair(&name, &mark, &value));
  EXPECT_EQ(name, "key");
  EXPECT_EQ(mark, 1);
  EXPECT_EQ(value, "v w");
  EXPECT_TRUE(doc.reader.ReadPair(nullptr, nullptr, nullptr));
  EXPECT_TRUE(doc.reader.m_AtEnd);
}

TEST(OklReaderPairs, FailedPairPutsTheCursorBack) {
  for (const char *content : {"name value", "name =", "name = [x]"}) {
    Doc doc(content);
    EXPECT_FALSE(doc.reader.ReadPair(nullptr, nullptr, nullptr)) << content;
    EXPECT_EQ(doc.reader.m_Pos, 0u) << content;
    std::string value;
    ASSERT_TRUE(doc.reader.ReadValue(&value));
    EXPECT_EQ(value, "name");
  }
}

TEST(OklReaderSections, BracketsNestAndMustMatch) {
  Doc doc("[ a { b } ] c");
  COKLRead &reader = doc.reader;
  ASSERT_TRUE(reader.OpenSection());
  EXPECT_FALSE(reader.CloseSection(true));
  ASSERT_TRUE(reader.ReadValue(nullptr));
  ASSERT_TRUE(reader.OpenSection());
  ASSERT_TRUE(reader.ReadValue(nullptr));
  EXPECT_FALSE(reader.ReadValue(nullptr)) << "a bracket ends the values";
  ASSERT_TRUE(reader.CloseSection(false));
  EXPECT_EQ(reader.m_Pos, 9u) << "no filler skip when asked for none";
  EXPECT_FALSE(reader.CloseSection(true));
  reader.SkipFiller();
  ASSERT_TRUE(reader.CloseSection(true));
  EXPECT_TRUE(reader.m_SectionStack.empty());
  std::string value;
  ASSERT_TRUE(reader.ReadValue(&value));
  EXPECT_EQ(value, "c");
}

TEST(OklReaderSections, StrayOrWrongClosingBracketsRaise) {
  auto closeAll = [](COKLRead &reader) {
    while (!reader.m_AtEnd) {
      if (reader.OpenSection() || reader.ReadValue(nullptr))
        continue;
      if (!reader.CloseSection(true))
        break;
    }
  };
  EXPECT_EQ(ErrorOf("]", closeAll), COKLError::kLevelMismatch);
  EXPECT_EQ(ErrorOf("[ a } ", closeAll), COKLError::kSectionMismatch);
  EXPECT_EQ(ErrorOf("{ a ] ", closeAll), COKLError::kSectionMismatch);
  EXPECT_EQ(ErrorOf("[ a ", closeAll), -1) << "an open section raises nothing";
  EXPECT_EQ(ErrorOf("[ { a } ]", closeAll), -1);
}

TEST(OklReaderText, RawTextRunsToTheNextBracket) {
  Doc doc("hello, 'world': x = y [z]");
  std::string text;
  ASSERT_TRUE(doc.reader.ReadText(&text));
  EXPECT_EQ(text, "hello, 'world': x = y ");
  EXPECT_FALSE(doc.reader.ReadText(&text));
  EXPECT_TRUE(doc.reader.OpenSection());

  Doc special("a[&[]b[/c/]d");
  ASSERT_TRUE(special.reader.ReadText(&text));
  EXPECT_EQ(text, "a[bd");
}

TEST(OklReaderText, EditedTextReachesTheCallerAndTheError) {
  std::string text = "[/x/]a [/y/]b";
  {
    COKLRead reader(text);
    reader.Begin("");
    EXPECT_EQ(reader.CurrentText(), "a [/y/]b");
    EXPECT_EQ(text, "[/x/]a [/y/]b") << "the caller's text waits for the end";
    EXPECT_TRUE(reader.ReadValue(nullptr));
    EXPECT_EQ(reader.CurrentText(), "a b");
  }
  EXPECT_EQ(text, "a b");

  // The error's line and column refer to the text after replacements.
  std::string broken = "[#def A x\r\ny]\n[$A] ]";
  COKLRead reader(broken);
  try {
    reader.Begin("");
    while (reader.ReadValue(nullptr)) {
    }
    reader.CloseSection(true);
    FAIL() << "no error";
  } catch (const COKLError &error) {
    EXPECT_EQ(error.m_Type, COKLError::kLevelMismatch);
    EXPECT_EQ(reader.m_Text, "\nx\r\ny ]");
    EXPECT_EQ(error.m_Position, 6u);
    EXPECT_EQ(error.m_Line, 3u);
    EXPECT_EQ(error.m_Column, 3u);
  }
}

} // namespace
} // namespace qz
