//===- preprocessor/macros_test.cpp ---------------------------------------===//

#include "preprocessor/macros.h"

#include "driver/build.h"
#include "driver/diagnostics.h"
#include "preprocessor/preprocessor.h"
#include "source/lexer.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

struct Token {
  TokenKind kind;
  std::string text;
  bool operator==(const Token &) const = default;
};
using Tokens = std::vector<Token>;

class MacrosTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetAllState();
    CaptureOutputForTesting(&m_Output);
  }
  void TearDown() override {
    CaptureOutputForTesting(nullptr);
    ResetAllState();
  }

  /// Preprocesses `lines` (line numbers from 1) and returns the tokens of
  /// every line left.
  std::vector<Tokens> Preprocessed(const std::vector<std::string> &lines) {
    std::uint32_t file = InternFile("m.src");
    for (std::size_t i = 0; i < lines.size(); ++i) {
      CLineList::Position position;
      EXPECT_TRUE(TokenizeLine(lines[i], file, static_cast<std::int32_t>(i + 1),
                               &position));
    }
    EXPECT_TRUE(Preprocess());
    std::vector<Tokens> result;
    for (g_SourceLines.Rewind(); !g_SourceLines.AtEnd();
         g_SourceLines.Advance()) {
      CSourceLine &line = *g_SourceLines.Current();
      Tokens tokens;
      for (line.Rewind(); !line.AtEnd(); line.Advance())
        tokens.push_back(
            {line.Current().kind, std::string(line.Current().text)});
      result.push_back(tokens);
    }
    return result;
  }

  std::string m_Output;
};

/// Expansion as the rules state it, token by token with nothing kept:
/// what ExpandMacros must give however it gets there.
class ReferenceExpander {
public:
  /// Handles one line: a define, or a line that is expanded.
  void Line(const Tokens &tokens, int number) {
    if (tokens.size() >= 2 && tokens[0].text == "define") {
      std::string key = LowerCopy(tokens[1].text);
      if (m_Macros.count(key) != 0) {
        Error(number, 800, tokens[1].text + "\" macro already exists");
        return;
      }
      m_Macros[key] = {tokens[1].text,
                       Tokens(tokens.begin() + 2, tokens.end())};
      return;
    }
    m_Lines.push_back(Expand(tokens, number));
  }

  /// What the diagnostics print for the errors: seven, then a notice.
  std::string Printed() const {
    std::string printed;
    for (std::size_t i = 0; i < m_Errors.size() && i < 8; ++i)
      printed += i < 7 ? m_Errors[i] : "and more errors...\n";
    return printed;
  }

  std::vector<Tokens> m_Lines;
  std::vector<std::string> m_Errors;
  std::uint64_t m_Uses = 0;

private:
  struct Macro {
    std::string name;
    Tokens body;
    bool expanding = false;
  };
  struct Frame {
    Tokens tokens;
    std::size_t next;
    Macro *macro;
  };

  void Error(int number, int code, const std::string &message) {
    m_Errors.push_back("m.src (" + std::to_string(number) + "): error " +
                       std::to_string(code) + ": \"" + message + "\n");
  }

  Macro *Find(const Token &token) {
    if (token.kind != TOKEN_IDENTIFIER)
      return nullptr;
    auto found = m_Macros.find(LowerCopy(token.text));
    return found == m_Macros.end() ? nullptr : &found->second;
  }

  Tokens Expand(const Tokens &tokens, int number) {
    std::size_t first = 0;
    while (first < tokens.size() && Find(tokens[first]) == nullptr)
      ++first;
    if (first == tokens.size())
      return tokens;
    Tokens out(tokens.begin(), tokens.begin() + static_cast<long>(first));
    std::vector<Frame> frames = {
        {Tokens(tokens.begin() + static_cast<long>(first), tokens.end()), 0,
         nullptr}};
    while (!frames.empty()) {
      Frame &top = frames.back();
      if (top.next == top.tokens.size()) {
        if (top.macro != nullptr)
          top.macro->expanding = false;
        frames.pop_back();
        continue;
      }
      Token token = top.tokens[top.next++];
      Macro *macro = Find(token);
      if (macro != nullptr && macro->body.empty()) {
        Error(number, 801, macro->name + "\" cannot expand empty macro");
        macro = nullptr;
      }
      if (macro == nullptr) {
        out.push_back(token);
      } else if (macro->expanding) {
        Macro *closing = top.macro != nullptr ? top.macro : macro;
        Error(number, 802, closing->name + "\" recursive macro expansion");
        --top.next;
        for (std::size_t i = frames.size(); i > 0; --i)
          out.insert(out.end(),
                     frames[i - 1].tokens.begin() +
                         static_cast<long>(frames[i - 1].next),
                     frames[i - 1].tokens.end());
        break;
      } else {
        ++m_Uses;
        Tokens body = macro->body;
        if (macro->name == "__LINE__")
          body = {{TOKEN_NUMBER, std::to_string(number)}};
        macro->expanding = true;
        frames.push_back({body, 0, macro});
      }
    }
    for (auto &[key, macro] : m_Macros)
      macro.expanding = false;
    return out;
  }

  std::map<std::string, Macro> m_Macros = {
      {"__line__", {"__LINE__", {{TOKEN_NUMBER, "-1"}}}}};
};

/// Random programs whose macros form chains that double (so that long
/// expansions are kept and copied), cycles, empty macros and __LINE__ uses,
/// with defines between the lines that use them.
TEST_F(MacrosTest, KeptExpansionsGiveWhatExpandingTokenByTokenGives) {
  std::mt19937 random(20240611);
  auto pick = [&](int n) {
    return static_cast<int>(random() % static_cast<unsigned>(n));
  };
  for (int round = 0; round < 40; ++round) {
    ResetAllState();
    m_Output.clear();
    std::vector<std::string> names;
    for (int i = 0; i < 14; ++i)
      names.push_back((i % 3 == 0 ? "D" : "m") + std::to_string(i));
    auto randomToken = [&]() -> std::string {
      switch (pick(6)) {
      case 0:
        return "1";
      case 1:
        return ",";
      case 2:
        return "'s'";
      case 3:
        // Besides __LINE__, names that share a macro's first letter and
        // length, in either case, without being one.
        return pick(4) == 0 ? "__LINE__" : pick(2) == 0 ? "x" : "M1q";
      default:
        return names[static_cast<std::size_t>(pick(14))];
      }
    };
    std::vector<std::string> lines;
    std::vector<std::string> defines;
    // A doubling chain, so that some expansions pass the size kept.
    defines.push_back("define c0 1 ,");
    for (int i = 1; i <= 11; ++i)
      defines.push_back("define c" + std::to_string(i) + " c" +
                        std::to_string(i - 1) + " C" + std::to_string(i - 1));
    for (const std::string &name : names) {
      std::string body;
      int length = pick(4);
      for (int j = 0; j < length; ++j)
        body += " " +
                (pick(3) == 0 ? "c" + std::to_string(pick(12)) : randomToken());
      defines.push_back("define " + name + body);
    }
    std::shuffle(defines.begin(), defines.end(), random);
    for (const std::string &define : defines) {
      lines.push_back(define);
      for (int k = pick(3); k > 0; --k) {
        std::string line = "data1u";
        for (int j = 1 + pick(4); j > 0; --j)
          line += " " + (pick(2) == 0 ? "c" + std::to_string(pick(12))
                                      : randomToken());
        lines.push_back(line);
      }
    }

    ReferenceExpander reference;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      CLineList::Position position;
      ResetSourceLines();
      ASSERT_TRUE(
          TokenizeLine(lines[i], InternFile("m.src"), 1, &position));
      Tokens tokens;
      CSourceLine *line = g_SourceLines.LineAt(position);
      ASSERT_NE(line, nullptr);
      for (line->Rewind(); !line->AtEnd(); line->Advance())
        tokens.push_back(
            {line->Current().kind, std::string(line->Current().text)});
      reference.Line(tokens, static_cast<int>(i + 1));
    }
    ResetAllState();

    std::vector<Tokens> actual = Preprocessed(lines);
    ASSERT_EQ(actual.size(), reference.m_Lines.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
      ASSERT_EQ(actual[i], reference.m_Lines[i]) << "round " << round;
    EXPECT_EQ(m_Output, reference.Printed()) << "round " << round;
    EXPECT_EQ(static_cast<std::size_t>(g_ErrorCount),
              reference.m_Errors.size());
    EXPECT_EQ(static_cast<std::uint64_t>(g_MacrosUsed), reference.m_Uses);
  }
}

TEST_F(MacrosTest, ALineThatGrowsTooLargeKeepsItsTokensAndNamesItsMacro) {
  std::vector<std::string> lines = {"define D0 1 2"};
  for (int i = 1; i <= 40; ++i)
    lines.push_back("define D" + std::to_string(i) + " D" +
                    std::to_string(i - 1) + " D" + std::to_string(i - 1));
  lines.push_back("l: data1u 3, D40 4");
  lines.push_back("data1u D8");
  std::vector<Tokens> result = Preprocessed(lines);
  EXPECT_EQ(m_Output,
            "m.src (42): error 803: \"D40\" macro expansion too large\n");
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0], (Tokens{{TOKEN_IDENTIFIER, "l"},
                               {TOKEN_SYMBOL, ":"},
                               {TOKEN_IDENTIFIER, "data1u"},
                               {TOKEN_NUMBER, "3"},
                               {TOKEN_SYMBOL, ","},
                               {TOKEN_IDENTIFIER, "D40"},
                               {TOKEN_NUMBER, "4"}}));
  // Lines after it still expand, from what was kept.
  EXPECT_EQ(result[1].size(), 1u + 512u);
}

TEST_F(MacrosTest, UsesAfterLongTokensAndLongMacroNamesAreFound) {
  // Tokens of 63 bytes and more are encoded with a length of their own.
  std::string longName(70, 'n');
  std::string longString(80, 's');
  std::vector<Tokens> result = Preprocessed(
      {"define " + longName + " 7", "define SHORT 8",
       "data1u '" + longString + "', " + longName + ", SHORT",
       "data1u " + std::string(64, 'x') + ", SHORT"});
  EXPECT_EQ(m_Output, "");
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0], (Tokens{{TOKEN_IDENTIFIER, "data1u"},
                               {TOKEN_STRING, longString},
                               {TOKEN_SYMBOL, ","},
                               {TOKEN_NUMBER, "7"},
                               {TOKEN_SYMBOL, ","},
                               {TOKEN_NUMBER, "8"}}));
  EXPECT_EQ(result[1], (Tokens{{TOKEN_IDENTIFIER, "data1u"},
                               {TOKEN_IDENTIFIER, std::string(64, 'x')},
                               {TOKEN_SYMBOL, ","},
                               {TOKEN_NUMBER, "8"}}));
}

} // namespace
