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
using List = std::vector<std::string>;

/// Owns the document of a TestReader; as the first base it is constructed
/// before the reader that refers to it.
struct DocumentHolder {
  std::string m_Content;
};

/// A reader over its own document, with in-memory files, a directive of its
/// own ("ver") and adjustable bounds on replacements.
class TestReader : private DocumentHolder, public COKLRead {
public:
  explicit TestReader(std::string content)
      : DocumentHolder{std::move(content)}, COKLRead(m_Content) {}

  void OnDirective(const std::string &name, std::string &output) override {
    if (name == "ver")
      output += "1.2";
    else
      COKLRead::OnDirective(name, output);
  }
  void ReadIncludedFile(const std::string &baseDirectory,
                        const std::string &fileName,
                        std::string *output) override {
    auto file = m_Files.find(fileName);
    if (file != m_Files.end())
      *output = file->second;
    else
      COKLRead::ReadIncludedFile(baseDirectory, fileName, output);
  }
  void SetBounds(std::int64_t entities, std::int64_t bytes) {
    m_EntityLimit = entities;
    m_InsertLimit = bytes;
  }

  /// Every value of the document, with "error <code>" last when reading ends
  /// in an error.
  List Values(const std::string &base = "") {
    List values;
    try {
      Begin(base);
      std::string value;
      while (!m_AtEnd && ReadValue(&value))
        values.push_back(value);
    } catch (const COKLError &error) {
      values.push_back("error " + std::to_string(error.m_Type));
    }
    return values;
  }

  std::map<std::string, std::string> m_Files;
};

List Values(const std::string &content) { return TestReader(content).Values(); }

std::string ErrorOf(const std::string &content) {
  return Values(content).back();
}

std::string Repeat(const std::string &text, int count) {
  std::string result;
  for (int i = 0; i < count; ++i)
    result += text;
  return result;
}

TEST(OklComments, DisappearWithEverythingInside) {
  EXPECT_EQ(Values("[/ any [ text\r\n /]x [/ a /} b /]y {/ a /] b /}z"),
            (List{"x", "y", "z"}));
  EXPECT_EQ(Values("a[//]b '[/ in a quote /]c'"), (List{"ab", "c"}));
  for (const char *content : {"[/]", "x [/ never closed", "{/ wrong end /]"})
    EXPECT_EQ(ErrorOf(content), "error 3") << content;
}

TEST(OklEntities, ReplacedByTheirTextOrByNothing) {
  EXPECT_EQ(Values("[#def A hello] [$A] x[$A]y '<[$A]>' {$A} [$ A ] [$a]"),
            (List{"hello", "xhelloy", "<hello>", "hello", "hello"}));
  EXPECT_EQ(Values("[#def A two words][$A]"), (List{"two", "words"}));
  EXPECT_EQ(Values("[#def Q ']'a[$Q]b"), (List{"a", "b"}))
      << "an inserted quote ends a quoted value";
  EXPECT_EQ(Values("[#def N A][#def A v][$[$N]] [$B] '[$B]'"), (List{"v", ""}));
  for (const char *content : {"[$]", "[$ ,]", "[$A", "[$A x]"})
    EXPECT_EQ(ErrorOf(content), "error 4") << content;
  EXPECT_EQ(ErrorOf("[$A}"), "error 2");
}

TEST(OklDirectives, DefAndUndefManageDefinitions) {
  EXPECT_EQ(Values("[#def A x][#def B [$A]y][#def A z]'[$B]' '[$A]'"),
            (List{"xy", "z"}));
  EXPECT_EQ(Values("[#def A]'[$A]' [#def A  two words ]'[$A]'"),
            (List{"", "two words "}));
  EXPECT_EQ(Values("[#def A a, b; c=d:'e']\"[$A]\""), List{"a, b; c=d:'e'"});
  EXPECT_EQ(Values("[#DEF A 1][#Def B 2][#def C 3][$A][$B][$C]"), List{"123"});
  EXPECT_EQ(Values("[#def A 1][#undef A]x[$A] [#undef Never]"), List{"x"});
}

TEST(OklDirectives, OklAndDerivedDirectivesLeaveTheirOutputOnly) {
  EXPECT_EQ(Values("[#okl version=1.0 encoding:'utf-8']v [#OKL]w [#ver]"),
            (List{"v", "w", "1.2"}));
  for (const char *content :
       {"[#]", "[#foo]", "[#def]", "[#undef]", "[#inc]", "[#def A 1",
        "[#okl a=1", "[#undef A x]", "[#okl a=1 b]"})
    EXPECT_EQ(ErrorOf(content), "error 5") << content;
  EXPECT_EQ(ErrorOf("[#def A 1}"), "error 2");
}

TEST(OklConditionals, EachBranchFormChoosesItsBranch) {
  const std::string definitions = "[#def A 1][#def x X][#def y Y][#def z Z]";
  struct Case {
    const char *directive;
    List expected;
  } cases[] = {
      {"[#if A [x]]", {"X"}},
      {"[#ifn A [x]]", {}},
      {"[#if A=2 [x] else [y]]", {"Y"}},
      {"[#if A:1 [x] else [y]]", {"X"}},
      {"[#ifn A [x] elseif A:1 [y]]", {"Y"}},
      {"[#if B [x] elseifn B [y] else [z]]", {"Y"}},
      {"[#if A [x] elseif A [y] else [z]]", {"X"}},
      {"[#if B [x] elseif B [y] else [z]]", {"Z"}},
      // "else" does not count as a taken branch for the branches after it.
      {"[#ifn A [x] else [y] else [z]]", {"YZ"}},
      {"[#IF A [x] ELSE [y]]", {"X"}},
      {"{#if A {x undefined y}}", {"XY"}},
      {"a [#if B [x]], [#if A [y]] b", {"a", "Y", "b"}},
      {"[#if A [x] otherwise [y]]", {"error 5"}},
      {"[#if A x]", {"error 5"}},
      {"[#if A [x", {"error 5"}},
      {"[#if]", {"error 5"}},
      {"[#if A [x] elseif [y]]", {"error 5"}},
      {"[#if A [x=y]]", {"error 5"}},
      {"[#if A [x}]", {"error 2"}},
  };
  for (const Case &c : cases)
    EXPECT_EQ(Values(definitions + c.directive), c.expected) << c.directive;
}

TEST(OklInclusion, FilesAreReadInPlaceAndBadNamesRaise) {
  fs::path dir = fs::temp_directory_path() / "ferrox_OklInclusion";
  fs::create_directories(dir / "sub dir");
  std::ofstream(dir / "inner.okl") << "[#def I inner] 'from inner'";
  std::ofstream(dir / "sub dir" / "outer.okl") << "[#inc inner.okl] [$I]";
  std::ofstream(dir / "self.okl") << "x [#inc self.okl]";

  TestReader reader("[#inc 'sub dir/outer.okl'] done");
  EXPECT_EQ(reader.Values(dir.string()), (List{"from inner", "inner", "done"}))
      << "nested names resolve against the same base directory";
  EXPECT_EQ(reader.m_IncludeCount, 2);

  // The 101st inclusion is met in the filler after the 100th value.
  TestReader self("[#inc self.okl]");
  List values = self.Values(dir.string());
  EXPECT_EQ(values.size(), 100u);
  EXPECT_EQ(values.back(), "error 8");

  // A zero byte must not cut a name short to "inner.okl".
  for (const char *name : {"missing.okl", "'sub dir'", "'inner.okl[& 0 ]x'"})
    EXPECT_EQ(
        TestReader(std::string("[#inc ") + name + "]").Values(dir.string()),
        List{"error 7"})
        << name;
  fs::remove_all(dir);

  TestReader limited("[#inc a] [#inc a] [#inc a]");
  limited.m_Files["a"] = "v";
  limited.m_IncludeLimit = 2;
  EXPECT_EQ(limited.Values(), (List{"v", "error 8"}));
}

TEST(OklGuards, ConstructsNestOnlyUpToTheDepthBound) {
  struct Case {
    std::string open, middle, close, error;
    List expected;
  } cases[] = {
      {"[$", "A", "]", "error 4", {"A"}},
      {"[#okl ", "", "]", "error 5", {}},
      {"[&", "65", "]", "error 6", {std::string(1, '\0')}},
  };
  for (const Case &c : cases) {
    std::string deepest = Repeat(c.open, kMaxMarkupDepth) + c.middle +
                          Repeat(c.close, kMaxMarkupDepth);
    EXPECT_EQ(Values("[#def A A]" + deepest), c.expected) << c.open;
    EXPECT_EQ(ErrorOf(c.open + deepest + c.close), c.error) << c.open;
    // Far deeper nesting must fail the same way, not exhaust the stack.
    EXPECT_EQ(ErrorOf(Repeat(c.open, 100000)), c.error) << c.open;
  }
}

TEST(OklGuards, ReplacementsAreBoundedInCountAndSize) {
  TestReader loop("[#def A x[&[]$A[&]]] [$A]");
  loop.SetBounds(1000, kMaxInsertedBytes);
  EXPECT_EQ(loop.Values(), List{"error 4"});
  // Without growing the text, the loop must still reach the real bound.
  EXPECT_EQ(Values("[#def A [&[]$A[&]]] [$A]"), List{"error 4"});

  for (int count : {3, 4}) {
    TestReader reader("[#def A a]" + Repeat("[$A]", count));
    reader.SetBounds(3, kMaxInsertedBytes);
    EXPECT_EQ(reader.Values(), List{count == 3 ? "aaa" : "error 4"});
  }

  struct Case {
    std::string content;
    std::string file;
    std::string expected;
  } cases[] = {
      {"[#def A 0123456789]" + Repeat("[$A]", 10), "",
       Repeat("0123456789", 10)},
      {"[#def A 0123456789]" + Repeat("[$A]", 11), "", "error 4"},
      {"[#def a 1][#if a [" + Repeat("a ", 30) + "]]", "", "error 5"},
      {"[#inc f]", std::string(100, 'f'), std::string(100, 'f')},
      {"[#inc f]", std::string(101, 'f'), "error 7"},
  };
  for (const Case &c : cases) {
    TestReader reader(c.content);
    reader.m_Files["f"] = c.file;
    reader.SetBounds(kMaxEntityReplacements, 100);
    EXPECT_EQ(reader.Values(), List{c.expected}) << c.content;
  }

  if (fs::exists("/dev/zero")) {
    TestReader device("[#inc /dev/zero]");
    device.SetBounds(kMaxEntityReplacements, 1 << 20);
    EXPECT_EQ(device.Values(), List{"error 7"});
  }
}

TEST(OklGuards, ManyEditsInALargeDocumentTakeLinearTime) {
  // Quadratic editing would move megabytes for each of these edits.
  const int kItems = 100000;
  std::string text = "[#def E entity]";
  for (int i = 0; i < kItems; ++i)
    text += "[/ a comment of some length /] v[$E] ";
  text += std::string(2000000, ' ');
  auto start = std::chrono::steady_clock::now();
  List values = TestReader(text).Values();
  std::chrono::duration<double> elapsed =
      std::chrono::steady_clock::now() - start;
  ASSERT_EQ(values.size(), static_cast<std::size_t>(kItems));
  EXPECT_EQ(values.back(), "ventity");
  EXPECT_LT(elapsed.count(), 60.0);
}

} // namespace
} // namespace qz
