//===- markup/okl_read_test.cpp -------------------------------------------===//

#include "markup/okl_read.h"

#include "markup/okl_error.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

/// A document and a begun reader over it.
struct Doc {
  explicit Doc(std::string content) : text(std::move(content)), reader(text) {
    reader.Begin("");
  }
  std::string Value() {
    std::string value = "none";
    reader.ReadValue(&value);
    return value;
  }
  std::string text;
  COKLRead reader;
};

/// The code of the error raised while all values of `content` are read, or
/// -1 for none.
int ErrorReadingValues(const std::string &content) {
  try {
    Doc doc(content);
    while (!doc.reader.m_AtEnd && doc.reader.ReadValue(nullptr)) {
    }
  } catch (const COKLError &error) {
    return error.m_Type;
  }
  return -1;
}

TEST(OklReaderFiller, SeparatorReportNamesTheLastSeparator) {
  for (const char *content : {"", " ,;\r\n, ", "[/ note /] ; {/x/}"})
    EXPECT_TRUE(Doc(content).reader.m_AtEnd) << content;

  Doc doc("alpha,beta;");
  EXPECT_EQ(doc.Value(), "alpha");
  EXPECT_EQ(doc.reader.m_Separator, 1);
  EXPECT_FALSE(doc.reader.m_AtEnd);
  EXPECT_EQ(doc.Value(), "beta");
  EXPECT_EQ(doc.reader.m_Separator, 2);
  EXPECT_TRUE(doc.reader.m_AtEnd);

  Doc lines("a ;\r\n , b c");
  lines.Value();
  EXPECT_EQ(lines.reader.m_Separator, 1);
  EXPECT_TRUE(lines.reader.m_NewLineSeen);
  lines.Value();
  EXPECT_EQ(lines.reader.m_Separator, 0);
  EXPECT_FALSE(lines.reader.m_NewLineSeen);

  // Separators and line breaks inside a construct are not the caller's.
  Doc markup("a [#def X 1;\n,] b [/ ;\n /]c");
  for (const char *expected : {"a", "b"}) {
    EXPECT_EQ(markup.Value(), expected);
    EXPECT_EQ(markup.reader.m_Separator, 0);
    EXPECT_FALSE(markup.reader.m_NewLineSeen);
  }
}

TEST(OklReaderValues, BareAndQuotedValues) {
  Doc doc(
      "a\tb 'x, y: [z]' \"it's\" '' '\"q\"' 'line\r\nnext' C:\\d \"C:\\d\"");
  for (const char *expected :
       {"a", "b", "x, y: [z]", "it's", "", "\"q\"", "line\r\nnext", "C"})
    EXPECT_EQ(doc.Value(), expected);
  // The colon ends the bare value and cannot start one.
  EXPECT_EQ(doc.Value(), "");
  EXPECT_TRUE(doc.reader.ReadPairMark(nullptr));
  EXPECT_EQ(doc.Value(), "\\d");
  EXPECT_EQ(doc.Value(), "C:\\d");
  EXPECT_EQ(ErrorReadingValues("a 'unterminated"), COKLError::kUnexpectedEnd);
}

TEST(OklReaderValues, ValueOptionsApplyInOrder) {
  Doc doc("' \t a  \r\n b ' 'x\ry\r\n'");
  doc.reader.m_CollapseSpaces = true;
  doc.reader.m_TrimValues = true;
  EXPECT_EQ(doc.Value(), "a b");
  doc.reader.m_CollapseSpaces = false;
  doc.reader.m_TrimValues = false;
  doc.reader.m_NewLineMode = 2;
  EXPECT_EQ(doc.Value(), "x\ny\n");
}

TEST(OklReaderSpecialChars, BothFormsGiveTheirByte) {
  struct Case {
    const char *content;
    std::string expected;
  } cases[] = {
      {"[&x41]", "A"},
      {"[&65]", "A"},
      {"[& 65 ]", "A"},
      {"{&x41}", "A"},
      {"[&5]", "5"},
      {"[&x]", "x"},
      {"[&]]", "]"},
      {"[&&]", "&"},
      {"{&}}", "}"},
      {"[&X41]", {'\0'}},
      {"[&300]", ","},
      {"[&-1]", "\xFF"},
      {"[&99999999999]", "\xFF"}, // the decimal value saturates first
      {"[& x4[&x31] ]", "A"},     // the number is itself a value
      {"a[&,]b[& ]c[&:]d", "a,b c:d"},
      {"'it[&']s'", "it's"},
      {"[& 65 }", "error 2"},
  };
  for (const Case &c : cases) {
    Doc doc(c.content);
    try {
      EXPECT_EQ(doc.Value(), c.expected) << c.content;
    } catch (const COKLError &error) {
      EXPECT_EQ("error " + std::to_string(error.m_Type), c.expected);
    }
  }
  for (const char *content : {"[&]", "x[&", "[& 65", "[& 65 x]", "[& '' ]"})
    EXPECT_EQ(ErrorReadingValues(content), COKLError::kSpecialCharError)
        << content;
}

TEST(OklReaderPairs, BothMarksReadAsPairsAndFailureRewinds) {
  Doc doc("name = value, key:'v w'");
  std::string name, value;
  int mark = -1;
  ASSERT_TRUE(doc.reader.ReadPair(&name, &mark, &value));
  EXPECT_EQ(name + "/" + value + "/" + std::to_string(mark), "name/value/0");
  EXPECT_EQ(doc.reader.m_Separator, 1);
  ASSERT_TRUE(doc.reader.ReadPair(nullptr, &mark, &value));
  EXPECT_EQ(value + "/" + std::to_string(mark), "v w/1");

  for (const char *content : {"name value", "name =", "name = [x]"}) {
    Doc failed(content);
    EXPECT_FALSE(failed.reader.ReadPair(nullptr, nullptr, nullptr));
    EXPECT_EQ(failed.Value(), "name") << content;
  }
}

TEST(OklReaderSections, BracketsNestAndMustMatch) {
  Doc doc("[ a { b } ] c");
  COKLRead &reader = doc.reader;
  ASSERT_TRUE(reader.OpenSection());
  EXPECT_FALSE(reader.CloseSection(true));
  EXPECT_EQ(doc.Value(), "a");
  ASSERT_TRUE(reader.OpenSection());
  EXPECT_EQ(doc.Value(), "b");
  EXPECT_FALSE(reader.ReadValue(nullptr)) << "a bracket ends the values";
  ASSERT_TRUE(reader.CloseSection(false));
  EXPECT_FALSE(reader.CloseSection(true)) << "no filler was skipped";
  reader.SkipFiller();
  ASSERT_TRUE(reader.CloseSection(true));
  EXPECT_TRUE(reader.m_SectionStack.empty());
  EXPECT_EQ(doc.Value(), "c");

  struct Case {
    const char *content;
    int error;
  } cases[] = {{"]", 0}, {"[ a } ", 2}, {"[ a ", -1}, {"{ [ ] }", -1}};
  for (const Case &c : cases) {
    int code = -1;
    try {
      Doc other(c.content);
      while (other.reader.OpenSection() || other.reader.ReadValue(nullptr) ||
             other.reader.CloseSection(true)) {
      }
    } catch (const COKLError &error) {
      code = error.m_Type;
    }
    EXPECT_EQ(code, c.error) << c.content;
  }
}

TEST(OklReaderText, RawTextRunsToTheNextBracket) {
  Doc doc("hello, 'world': x = y [z] a[&[]b[/c/]d");
  std::string text;
  ASSERT_TRUE(doc.reader.ReadText(&text));
  EXPECT_EQ(text, "hello, 'world': x = y ");
  EXPECT_FALSE(doc.reader.ReadText(&text));
  doc.reader.OpenSection();
  doc.Value();
  doc.reader.CloseSection(true);
  ASSERT_TRUE(doc.reader.ReadText(&text));
  EXPECT_EQ(text, "a[bd");
}

TEST(OklReaderText, EditedTextReachesTheCallerAndTheErrorPosition) {
  std::string text = "[/x/]a [/y/]b";
  {
    COKLRead reader(text);
    reader.Begin("");
    EXPECT_EQ(reader.CurrentText(), "a [/y/]b");
    EXPECT_EQ(text, "[/x/]a [/y/]b") << "the caller's text waits for the end";
  }
  EXPECT_EQ(text, "a [/y/]b");

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
    EXPECT_EQ(broken, "\nx\r\ny ]");
    EXPECT_EQ(error.m_Position, 6u);
    EXPECT_EQ(error.m_Line, 3u);
    EXPECT_EQ(error.m_Column, 3u);
  }
}

} // namespace
} // namespace qz
