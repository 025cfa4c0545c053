//===- markup/okl_markup_test.cpp -----------------------------------------===//

#include "markup/okl_error.h"
#include "markup/okl_read.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

namespace qz {
namespace {

namespace fs = std::filesystem;

/// A reader with in-memory files, a directive of its own ("ver"), and
/// adjustable bounds on replacements.
class TestReader : public COKLRead {
public:
  explicit TestReader(std::string &text) : COKLRead(text) {}

  void OnDirective(const std::string &name, std::string &output) override {
    if (name == "ver") {
      output += "1.2";
      return;
    }
    COKLRead::OnDirective(name, output);
  }
  void ReadIncludedFile(const std::string &baseDirectory,
                        const std::string &fileName,
                        std::string *output) override {
    auto file = m_Files.find(fileName);
    if (file == m_Files.end() || !output) {
      COKLRead::ReadIncludedFile(baseDirectory, fileName, output);
      return;
    }
    *output = file->second;
  }
  void SetBounds(std::int64_t entities, std::int64_t bytes) {
    m_EntityLimit = entities;
    m_InsertLimit = bytes;
  }

  std::map<std::string, std::string> m_Files;
};

/// The outcome of reading every value of a document.
struct Result {
  std::vector<std::string> values;
  int error = -1; ///< The COKLError code raised, -1 for none.
};

Result ReadAll(TestReader &reader, const std::string &base = "") {
  Result result;
  try {
    reader.Begin(base);
    std::string value;
    while (!reader.m_AtEnd && reader.ReadValue(&value))
      result.values.push_back(value);
  } catch (const COKLError &error) {
    result.error = error.m_Type;
  }
  return result;
}

Result ReadAll(const std::string &content) {
  std::string text = content;
  TestReader reader(text);
  return ReadAll(reader);
}

std::vector<std::string> Values(const std::string &content) {
  Result result = ReadAll(content);
  EXPECT_EQ(result.error, -1) << content;
  return result.values;
}

int ErrorOf(const std::string &content) { return ReadAll(content).error; }

using List = std::vector<std::string>;

std::string Repeat(const std::string &text, int count) {
  std::string result;
  for (int i = 0; i < count; ++i)
    result += text;
  return result;
}

/// A fresh directory named after the running test, removed afterwards.
class TempDir {
public:
  TempDir() {
    const ::testing::TestInfo *test =
        ::testing::UnitTest::GetInstance()->current_test_info();
    m_Path = fs::temp_directory_path() /
             (std::string("ferrox_") + test->test_suite_name() + "_" +
              test->name());
    fs::remove_all(m_Path);
    fs::create_directories(m_Path);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_Path, ignored);
  }
  std::string Path() const { return m_Path.string(); }
  void Write(const std::string &name, const std::string &content) const {
    fs::create_directories((m_Path / name).parent_path());
    std::ofstream out(m_Path / name, std::ios::binary);
    out << content;
  }

private:
  fs::path m_Path;
};

TEST(OklComments, DisappearWithEverythingInside) {
  EXPECT_EQ(Values("[/ any text [ with\r\n brackets /]x"), List{"x"});
  EXPECT_EQ(Values("[/ a /} b /]x"), List{"x"}) << "only /] ends [/";
  EXPECT_EQ(Values("{/ a /] b /}x"), List{"x"});
  EXPECT_EQ(Values("a[//]b [/1/][/2/]c"), (List{"ab", "c"}));
  EXPECT_EQ(Values("'a[/ comment /]b'"), List{"ab"});
}

TEST(OklComments, UnclosedCommentRaisesUnexpectedEnd) {
  EXPECT_EQ(ErrorOf("[/]"), COKLError::kUnexpectedEnd);
  EXPECT_EQ(ErrorOf("x [/ never closed"), COKLError::kUnexpectedEnd);
  EXPECT_EQ(ErrorOf("{/ wrong end /]"), COKLError::kUnexpectedEnd);
}

TEST(OklEntities, ReplacedByTheirTextWhereverTheyStand) {
  EXPECT_EQ(Values("[#def A hello] [$A] x[$A]y '<[$A]>' {$A} [$ A ]"),
            (List{"hello", "xhelloy", "<hello>", "hello", "hello"}));
  EXPECT_EQ(Values("[#def A two words][$A]"), (List{"two", "words"}))
      << "the text is read as if written in place";
  EXPECT_EQ(Values("[#def N A][#def A v][$[$N]]"), List{"v"});
}

TEST(OklEntities, UndefinedNamesGiveNothing) {
  EXPECT_EQ(Values("[$B]"), List{});
  EXPECT_EQ(Values("x[$B]y '[$B]'"), (List{"xy", ""}));
  EXPECT_EQ(Values("[#def A 1][$a]"), List{}) << "names are case-sensitive";
}

TEST(OklEntities, MalformedReferencesRaise) {
  EXPECT_EQ(ErrorOf("[$]"), COKLError::kEntityError);
  EXPECT_EQ(ErrorOf("[$ ,]"), COKLError::kEntityError);
  EXPECT_EQ(ErrorOf("[$A"), COKLError::kEntityError);
  EXPECT_EQ(ErrorOf("[$A x]"), COKLError::kEntityError);
  EXPECT_EQ(ErrorOf("[$A}"), COKLError::kSectionMismatch);
}

TEST(OklDefinitions, DefReadsRawTextAndExpandsReferencesAtOnce) {
  EXPECT_EQ(Values("[#def A x][#def B [$A]y][#def A z]'[$B]' '[$A]'"),
            (List{"xy", "z"}));
  EXPECT_EQ(Values("[#def A]'[$A]'"), List{""});
  EXPECT_EQ(Values("[#def A  two words ]'[$A]'"), List{"two words "});
  EXPECT_EQ(Values("[#def A a, b; c=d:'e']\"[$A]\""), List{"a, b; c=d:'e'"});
  EXPECT_EQ(Values("[#def Q ']'a[$Q]b"), (List{"a", "b"}))
      << "an inserted quote is read as a quote";
  EXPECT_EQ(Values("[#DEF A 1][#Def B 2][#def C 3][$A][$B][$C]"), List{"123"});
  EXPECT_EQ(Values("[#def A 1][#undef A]x[$A]"), List{"x"});
  EXPECT_EQ(Values("[#undef Never]x"), List{"x"});
}

TEST(OklDefinitions, DefineUndefineAndTestCondition) {
  std::string text;
  COKLRead reader(text);
  reader.Define("A", "1");
  reader.Define("A", "2");
  reader.Define("E", "");
  EXPECT_EQ(reader.m_Defines.at("A"), "2");
  EXPECT_TRUE(reader.TestCondition("A", "", true));
  EXPECT_TRUE(reader.TestCondition("A", "2", true));
  EXPECT_FALSE(reader.TestCondition("A", "1", true));
  EXPECT_TRUE(reader.TestCondition("A", "1", false));
  EXPECT_TRUE(reader.TestCondition("E", "", true));
  EXPECT_FALSE(reader.TestCondition("a", "", true));
  EXPECT_TRUE(reader.Undefine("A"));
  EXPECT_FALSE(reader.Undefine("A"));
  EXPECT_TRUE(reader.TestCondition("A", "2", false));
}

TEST(OklDirectives, MalformedOrUnknownDirectivesRaise) {
  for (const char *content :
       {"[#]", "[# ]", "[#foo]", "[#def]", "[#undef]", "[#inc]", "[#def A 1",
        "[#okl a=1", "[#undef A x]", "[#okl a=1 b]"})
    EXPECT_EQ(ErrorOf(content), COKLError::kDirectiveError) << content;
  EXPECT_EQ(ErrorOf("[#def A 1}"), COKLError::kSectionMismatch);
}

TEST(OklDirectives, OklHeaderLeavesNoTrace) {
  EXPECT_EQ(Values("[#okl version=1.0 encoding:'utf-8']v"), List{"v"});
  EXPECT_EQ(Values("[#OKL]v"), List{"v"});
}

TEST(OklDirectives, DerivedReaderCanAddDirectives) {
  std::string text = "[#ver] [#def A 1] '[$A]'";
  TestReader reader(text);
  EXPECT_EQ(ReadAll(reader).values, (List{"1.2", "1"}));
}

const std::string kDefinitions = "[#def A 1][#def x X][#def y Y][#def z Z]";

TEST(OklConditionals, EachBranchFormChoosesOneBranch) {
  struct Case {
    const char *directive;
    const char *expected;
  } cases[] = {
      {"[#if A [x]]", "X"},
      {"[#ifn A [x]]", ""},
      {"[#if A=2 [x] else [y]]", "Y"},
      {"[#if A:1 [x] else [y]]", "X"},
      {"[#ifn A [x] elseif A:1 [y]]", "Y"},
      {"[#if B [x] elseifn B [y] else [z]]", "Y"},
      {"[#if A [x] elseif A [y] else [z]]", "X"},
      {"[#if B [x] elseif B [y] else [z]]", "Z"},
      // "else" takes its branch whenever no earlier branch was taken, and
      // does not count as taken itself.
      {"[#ifn A [x] else [y] else [z]]", "YZ"},
      {"[#if A [x] else [y] elseif A [z]]", "X"},
      {"[#IF A [x] ELSE [y]]", "X"},
      {"{#if A {x y}}", "XY"},
      {"[#if A [x undefined y]]", "XY"},
      {"[#if A []]", ""},
  };
  for (const Case &c : cases) {
    List expected;
    if (*c.expected)
      expected.push_back(c.expected);
    EXPECT_EQ(Values(kDefinitions + c.directive), expected) << c.directive;
  }
}

TEST(OklConditionals, ConditionalsAreInvisibleBetweenValues) {
  EXPECT_EQ(Values(kDefinitions + "a [#if B [x]], [#if A [y]] b"),
            (List{"a", "Y", "b"}));
}

TEST(OklConditionals, MalformedConditionalsRaise) {
  for (const char *directive :
       {"[#if A [x] otherwise [y]]", "[#if A x]", "[#if A [x", "[#if]",
        "[#if A [x] else y]", "[#if A [x] elseif [y]]", "[#if A [x=y]]",
        "[#if A [x] else]"})
    EXPECT_EQ(ErrorOf(kDefinitions + directive), COKLError::kDirectiveError)
        << directive;
  EXPECT_EQ(ErrorOf(kDefinitions + "[#if A [x}]"), COKLError::kSectionMismatch);
}

TEST(OklInclusion, IncludedFilesAreReadInPlaceWithTheirMarkup) {
  TempDir dir;
  dir.Write("inner.okl", "[#def I inner] 'from inner'");
  dir.Write("sub dir/outer.okl", "[#inc inner.okl] [$I]");
  std::string text = "[#inc 'sub dir/outer.okl'] done";
  TestReader reader(text);
  Result result = ReadAll(reader, dir.Path());
  EXPECT_EQ(result.error, -1);
  EXPECT_EQ(result.values, (List{"from inner", "inner", "done"}))
      << "nested names resolve against the same base directory";
  EXPECT_EQ(reader.m_IncludeCount, 2);
  reader.Begin(dir.Path());
  EXPECT_EQ(reader.m_IncludeCount, 0);
}

TEST(OklInclusion, UnreadableFilesRaiseIncludeError) {
  TempDir dir;
  dir.Write("inner.okl", "x");
  dir.Write("sub/placeholder", "");
  // A zero byte must not cut the name short to "inner.okl".
  for (const char *name :
       {"missing.okl", "'sub'", "''", "'inner.okl[& 0 ]ignored'"}) {
    std::string text = std::string("[#inc ") + name + "]";
    TestReader reader(text);
    EXPECT_EQ(ReadAll(reader, dir.Path()).error, COKLError::kIncludeError)
        << name;
  }
  std::string text;
  COKLRead reader(text);
  EXPECT_NO_THROW(reader.ReadIncludedFile(dir.Path(), "missing.okl", nullptr));
}

TEST(OklInclusion, SelfInclusionStopsAtTheLimit) {
  TempDir dir;
  dir.Write("self.okl", "x [#inc self.okl]");
  std::string text = "[#inc self.okl]";
  TestReader reader(text);
  Result result = ReadAll(reader, dir.Path());
  EXPECT_EQ(result.error, COKLError::kIncludeLimit);
  // The 101st inclusion is met in the filler after the 100th value.
  EXPECT_EQ(result.values.size(), 99u);
  EXPECT_EQ(reader.m_IncludeCount, 100);

  std::string small = "[#inc a] [#inc a] [#inc a]";
  TestReader limited(small);
  limited.m_Files["a"] = "v";
  limited.m_IncludeLimit = 2;
  result = ReadAll(limited);
  EXPECT_EQ(result.error, COKLError::kIncludeLimit);
  EXPECT_EQ(result.values, List{"v"});
  EXPECT_EQ(limited.CurrentText(), "v v [#inc a]");
}

TEST(OklGuards, ConstructsNestUpToTheDepthBound) {
  std::string entity = "[#def A A]";
  EXPECT_EQ(Values(entity + Repeat("[$", kMaxMarkupDepth) + "A" +
                   Repeat("]", kMaxMarkupDepth)),
            List{"A"});
  EXPECT_EQ(ErrorOf(entity + Repeat("[$", kMaxMarkupDepth + 1) + "A" +
                    Repeat("]", kMaxMarkupDepth + 1)),
            COKLError::kEntityError);

  EXPECT_EQ(Values(Repeat("[#okl ", kMaxMarkupDepth) +
                   Repeat("]", kMaxMarkupDepth) + "v"),
            List{"v"});
  EXPECT_EQ(ErrorOf(Repeat("[#okl ", kMaxMarkupDepth + 1) +
                    Repeat("]", kMaxMarkupDepth + 1)),
            COKLError::kDirectiveError);

  EXPECT_EQ(Values("x" + Repeat("[&", kMaxMarkupDepth) + "65" +
                   Repeat("]", kMaxMarkupDepth)),
            List{std::string("x\0", 2)});
  EXPECT_EQ(ErrorOf(Repeat("[&", kMaxMarkupDepth + 1) + "65" +
                    Repeat("]", kMaxMarkupDepth + 1)),
            COKLError::kSpecialCharError);
}

TEST(OklGuards, DeepNestingFailsCleanlyWithoutExhaustingTheStack) {
  EXPECT_EQ(ErrorOf(Repeat("[$", 100000)), COKLError::kEntityError);
  EXPECT_EQ(ErrorOf(Repeat("{#", 100000)), COKLError::kDirectiveError);
  EXPECT_EQ(ErrorOf(Repeat("[&", 100000)), COKLError::kSpecialCharError);
  EXPECT_EQ(ErrorOf(Repeat("[#if ", 100000)), COKLError::kDirectiveError);
}

TEST(OklGuards, SelfReferencingEntityStopsAtTheReplacementBound) {
  std::string text = "[#def A x[&[]$A[&]]] [$A]";
  TestReader reader(text);
  reader.SetBounds(1000, kMaxInsertedBytes);
  EXPECT_EQ(ReadAll(reader).error, COKLError::kEntityError);

  std::string exact = "[#def A a][$A][$A][$A]";
  TestReader bounded(exact);
  bounded.SetBounds(3, kMaxInsertedBytes);
  EXPECT_EQ(ReadAll(bounded).values, List{"aaa"});
  exact += "[$A]";
  TestReader over(exact);
  over.SetBounds(3, kMaxInsertedBytes);
  EXPECT_EQ(ReadAll(over).error, COKLError::kEntityError);
}

TEST(OklGuards, SelfReferenceWithTheRealBoundEnds) {
  // The reference replaces itself without growing the text: it must run into
  // kMaxEntityReplacements rather than loop.
  std::string text = "[#def A [&[]$A[&]]] [$A]";
  TestReader reader(text);
  EXPECT_EQ(ReadAll(reader).error, COKLError::kEntityError);
}

TEST(OklGuards, InsertedTextIsBoundedForEveryKindOfReplacement) {
  std::string entities = "[#def A 0123456789]" + Repeat("[$A]", 10);
  TestReader fits(entities);
  fits.SetBounds(kMaxEntityReplacements, 100);
  EXPECT_EQ(ReadAll(fits).values, List{Repeat("0123456789", 10)});
  entities += "[$A]";
  TestReader tooMuch(entities);
  tooMuch.SetBounds(kMaxEntityReplacements, 100);
  EXPECT_EQ(ReadAll(tooMuch).error, COKLError::kEntityError);

  std::string conditional = "[#def a 1][#if a [" + Repeat("a ", 30) + "]]";
  TestReader branch(conditional);
  branch.SetBounds(kMaxEntityReplacements, 100);
  EXPECT_EQ(ReadAll(branch).error, COKLError::kDirectiveError);

  std::string include = "[#inc big]";
  TestReader file(include);
  file.m_Files["big"] = std::string(101, 'b');
  file.SetBounds(kMaxEntityReplacements, 100);
  EXPECT_EQ(ReadAll(file).error, COKLError::kIncludeError);
}

TEST(OklGuards, LargeDocumentsWithManyEditsReadInLinearTime) {
  // Every edit in the middle of a multi-megabyte text: quadratic editing
  // would take minutes here.
  const int kItems = 100000;
  std::string text = "[#def E entity]";
  for (int i = 0; i < kItems; ++i)
    text += "[/ a comment of some length /] v[$E] ";
  text += std::string(2000000, ' ');
  auto start = std::chrono::steady_clock::now();
  TestReader reader(text);
  Result result = ReadAll(reader);
  auto seconds = std::chrono::duration<double>(
                     std::chrono::steady_clock::now() - start)
                     .count();
  EXPECT_EQ(result.error, -1);
  ASSERT_EQ(result.values.size(), static_cast<std::size_t>(kItems));
  EXPECT_EQ(result.values.back(), "ventity");
  EXPECT_LT(seconds, 60.0);
}

} // namespace
} // namespace qz
