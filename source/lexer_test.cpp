//===- source/lexer_test.cpp ----------------------------------------------===//

#include "source/lexer.h"

#include "driver/build.h"
#include "driver/diagnostics.h"
#include "util/platform.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

namespace {

struct Lexed {
  bool ok;
  std::vector<std::pair<TokenKind, std::string>> tokens;
};

class LexerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetAllState();
    CaptureOutputForTesting(&m_Output);
  }
  void TearDown() override {
    CaptureOutputForTesting(nullptr);
    ResetAllState();
  }

  Lexed Lex(std::string_view text) {
    Lexed result;
    CLineList::Position position = CLineList::kNoPosition;
    result.ok = TokenizeLine(text, InternFile("l.src"), 4, &position);
    CSourceLine *line = position != CLineList::kNoPosition
                            ? g_SourceLines.LineAt(position)
                            : nullptr;
    if (line != nullptr)
      for (line->Rewind(); !line->AtEnd(); line->Advance())
        result.tokens.emplace_back(line->Current().kind,
                                   std::string(line->Current().text));
    return result;
  }

  std::string m_Output;
};

using Tokens = std::vector<std::pair<TokenKind, std::string>>;

TEST_F(LexerTest, ScannersSplitAdjacentTokens) {
  EXPECT_EQ(Lex("a-b x+1 .5 1.5e+3 12ab ab12").tokens,
            (Tokens{{TOKEN_IDENTIFIER, "a"},
                    {TOKEN_NUMBER, "-b"},
                    {TOKEN_IDENTIFIER, "x"},
                    {TOKEN_NUMBER, "+1"},
                    {TOKEN_SYMBOL, "."},
                    {TOKEN_NUMBER, "5"},
                    {TOKEN_NUMBER, "1.5e+3"},
                    {TOKEN_NUMBER, "12ab"},
                    {TOKEN_IDENTIFIER, "ab12"}}));
  EXPECT_EQ(Lex("l:data1u 1,2").tokens,
            (Tokens{{TOKEN_IDENTIFIER, "l"},
                    {TOKEN_SYMBOL, ":"},
                    {TOKEN_IDENTIFIER, "data1u"},
                    {TOKEN_NUMBER, "1"},
                    {TOKEN_SYMBOL, ","},
                    {TOKEN_NUMBER, "2"}}));
}

TEST_F(LexerTest, CommentsEndTheLineOutsideStringsOnly) {
  EXPECT_EQ(Lex("dup 'x;y' ; c").tokens,
            (Tokens{{TOKEN_IDENTIFIER, "dup"}, {TOKEN_STRING, "x;y"}}));
  Lexed empty = Lex("   ; only a comment");
  EXPECT_TRUE(empty.ok);
  EXPECT_TRUE(empty.tokens.empty());
  EXPECT_EQ(g_SourceLineCount, 1);
}

TEST_F(LexerTest, EscapesDecodeAndBadOnesStayAsText) {
  EXPECT_EQ(Lex(R"("\x41\65\X41" '\012')").tokens,
            (Tokens{{TOKEN_STRING, "AAA"},
                    {TOKEN_STRING, std::string("\0" "12", 3)}}));
  EXPECT_EQ(m_Output, "");
  EXPECT_EQ(Lex(R"("\256\q")").tokens, (Tokens{{TOKEN_STRING, "\\256\\q"}}));
  EXPECT_EQ(m_Output, "l.src (4): error 403: Unknown escape character\n"
                      "l.src (4): error 403: Unknown escape character\n");
  // A value past 255 is unknown, also when its digits would wrap a 32-bit
  // word back into range.
  EXPECT_EQ(Lex(R"("\x100000041")").tokens, (Tokens{{TOKEN_STRING, "\\x100000041"}}));
  EXPECT_EQ(Lex(R"("\99999999999")").tokens,
            (Tokens{{TOKEN_STRING, "\\99999999999"}}));
}

TEST_F(LexerTest, InvalidByteKeepsEarlierTokensOrFailsAnEmptyLine) {
  Lexed partial = Lex("mov (1)");
  EXPECT_TRUE(partial.ok);
  EXPECT_EQ(partial.tokens, (Tokens{{TOKEN_IDENTIFIER, "mov"}}));
  Lexed failed = Lex("  (1)");
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(m_Output, "l.src (4): error 400: General syntax error\n"
                      "l.src (4): error 400: General syntax error\n");
}

TEST_F(LexerTest, EmptyStringIsStillAToken) {
  EXPECT_EQ(Lex("''").tokens, (Tokens{{TOKEN_STRING, ""}}));
}

TEST_F(LexerTest, SourceSizeCountsEvenWhenLexingFails) {
  std::string path = ::testing::TempDir() + "lexer_test_bad.src";
  std::ofstream(path, std::ios::binary) << "data1u 1\n(oops\nlater\n";
  CLineList::Position first = CLineList::kNoPosition;
  EXPECT_FALSE(LoadSourceFile(path, &first, kNoFileId, 0));
  EXPECT_EQ(g_SourceSize, 21);
  EXPECT_EQ(g_SourceFileCount, 0);
  EXPECT_EQ(g_SourceLineCount, 1);
  ASSERT_NE(first, CLineList::kNoPosition);
  EXPECT_EQ(g_SourceLines.LineAt(first)->GetLineNumber(), 1);
  std::remove(path.c_str());
}

TEST_F(LexerTest, LinesAcrossReadBlocksKeepTheirNumbers) {
  // Files are read in blocks of 64 KiB: put a CR LF pair across the first
  // boundary and a line longer than a block after it.
  const std::size_t block = std::size_t{64} << 10;
  std::string text = "first\n";
  text += std::string(block - 1 - text.size(), ' ');
  text += "\r\nsecond\n";
  text += "third " + std::string(3 * block, 'x') + "\rfourth";
  std::string path = ::testing::TempDir() + "lexer_test_blocks.src";
  std::ofstream(path, std::ios::binary) << text;
  EXPECT_TRUE(LoadSourceFile(path, nullptr, kNoFileId, 0));
  std::vector<std::pair<std::int32_t, std::size_t>> lines;
  for (g_SourceLines.Rewind(); !g_SourceLines.AtEnd(); g_SourceLines.Advance()) {
    CSourceLine *line = g_SourceLines.Current();
    lines.emplace_back(line->GetLineNumber(), line->Current().text.size());
  }
  EXPECT_EQ(lines, (std::vector<std::pair<std::int32_t, std::size_t>>{
                       {1, 5}, {3, 6}, {4, 5}, {5, 6}}));
  EXPECT_EQ(g_SourceSize, static_cast<std::int32_t>(text.size()));
  std::remove(path.c_str());
}

TEST_F(LexerTest, EmptyFileLoadsWithoutLines) {
  std::string path = ::testing::TempDir() + "lexer_test_empty.src";
  std::ofstream(path, std::ios::binary) << "\n\r\n  \n";
  CLineList::Position first = 0;
  EXPECT_TRUE(LoadSourceFile(path, &first, kNoFileId, 0));
  EXPECT_EQ(first, CLineList::kNoPosition);
  EXPECT_EQ(g_SourceFileCount, 1);
  EXPECT_EQ(g_SourceLines.Size(), 0u);
  std::remove(path.c_str());
}

TEST_F(LexerTest, SourcesOfABuildTogetherHoldAtMostWhatOneFileMay) {
  std::string path = ::testing::TempDir() + "lexer_test_total.src";
  std::ofstream(path, std::ios::binary) << "data1u 1\n";
  // As if earlier files, or this one included again and again, had already
  // brought the total near the bound.
  g_SourceSize = static_cast<std::int32_t>(kMaxSourceSize - 9);
  EXPECT_TRUE(LoadSourceFile(path, nullptr, kNoFileId, 0));
  EXPECT_EQ(g_SourceSize, static_cast<std::int32_t>(kMaxSourceSize));
  EXPECT_FALSE(LoadSourceFile(path, nullptr, InternFile("inc.src"), 3));
  EXPECT_EQ(m_Output,
            "inc.src (3): error 100: Cannot load source file \"" + path + "\"\n");
  EXPECT_EQ(g_SourceSize, static_cast<std::int32_t>(kMaxSourceSize));
  EXPECT_EQ(g_SourceLines.Size(), 1u);
  std::remove(path.c_str());
}

} // namespace
