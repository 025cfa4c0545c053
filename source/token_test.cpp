//===- source/token_test.cpp ----------------------------------------------===//

#include "source/token.h"

#include "driver/build.h"
#include "driver/diagnostics.h"

#include <gtest/gtest.h>

namespace {

class TokenTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetAllState();
    CaptureOutputForTesting(&m_Output);
  }
  void TearDown() override {
    CaptureOutputForTesting(nullptr);
    ResetAllState();
  }

  /// A line inserted before the cursor, holding `tokens`.
  CSourceLine *MakeLine(std::initializer_list<CToken> tokens,
                        std::int32_t number = 1,
                        CLineList::Position *position = nullptr) {
    CTokenWriter writer;
    for (const CToken &token : tokens)
      writer.Append(token.kind, token.text);
    CLineList::LineIndex index =
        g_SourceLines.NewLine(InternFile("t.src"), number);
    CSourceLine &line = g_SourceLines.Line(index);
    line.SetTokens(StoreTokens(writer.Bytes()));
    CLineList::Position at = g_SourceLines.InsertBeforeCursor(index);
    if (position != nullptr)
      *position = at;
    return &line;
  }

  std::string m_Output;
};

TEST_F(TokenTest, TokensOfEveryLengthReadBackExactly) {
  for (std::size_t length :
       {0u, 1u, 62u, 63u, 64u, 127u, 128u, 16383u, 16384u, 100000u}) {
    std::string text(length, 'a');
    if (length > 2)
      text[1] = '\0';
    CTokenWriter writer;
    writer.Append(TOKEN_STRING, text);
    writer.Append(TOKEN_SYMBOL, ":");
    writer.Append(TOKEN_NUMBER, "0x1F");
    CTokenList list(writer.Bytes());
    ASSERT_FALSE(list.AtEnd());
    EXPECT_EQ(list.Current().kind, TOKEN_STRING);
    EXPECT_EQ(list.Current().text, text) << length;
    list.Advance();
    EXPECT_EQ(list.Current().kind, TOKEN_SYMBOL);
    EXPECT_EQ(list.Current().text, ":");
    list.Advance();
    EXPECT_EQ(list.Current().text, "0x1F");
    list.Advance();
    EXPECT_TRUE(list.AtEnd());
  }
}

TEST_F(TokenTest, TakeTokenMovesOnlyOnAMatchingKind) {
  CSourceLine *line = MakeLine({{TOKEN_NUMBER, "12"}});
  std::string_view text = "unchanged";
  EXPECT_FALSE(TakeToken(*line, TOKEN_IDENTIFIER, &text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(line->GetCursor(), 0u);
  EXPECT_TRUE(TakeToken(*line, TOKEN_NUMBER, &text));
  EXPECT_EQ(text, "12");
  EXPECT_TRUE(line->AtEnd());
  EXPECT_FALSE(TakeToken(*line, TOKEN_NUMBER, &text));
  EXPECT_EQ(text, "12");
}

TEST_F(TokenTest, AcceptTokenComparesKindAndTextExactly) {
  CSourceLine *line = MakeLine({{TOKEN_STRING, ":"}, {TOKEN_SYMBOL, ","}});
  EXPECT_FALSE(AcceptToken(*line, TOKEN_SYMBOL, ":"));
  EXPECT_TRUE(AcceptToken(*line, TOKEN_STRING, ":"));
  EXPECT_FALSE(AcceptToken(*line, TOKEN_SYMBOL, "."));
  CTokenList::Cursor saved = line->GetCursor();
  EXPECT_TRUE(AcceptToken(*line, TOKEN_SYMBOL, ","));
  line->SetCursor(saved);
  EXPECT_EQ(line->Current().text, ",");
}

TEST_F(TokenTest, ExpectedReportsItsMessageAtTheLine) {
  CSourceLine *line = MakeLine({{TOKEN_IDENTIFIER, "x"}}, 12);
  for (int code : {500, 501, 502, 503, 504, 505})
    Expected(code, *line);
  EXPECT_EQ(m_Output, "t.src (12): error 500: String expected\n"
                      "t.src (12): error 501: Identifier expected\n"
                      "t.src (12): error 502: End of line expected\n"
                      "t.src (12): error 503: Parameter expected\n"
                      "t.src (12): error 504: Number expected\n"
                      "t.src (12): error 700: Internal error in Expected()\n");
  EXPECT_FALSE(ExpectEndOfLine(*line));
  EXPECT_EQ(g_ErrorCount, 7);
}

TEST_F(TokenTest, LinesInsertBeforeTheCursorAndRemoveMovesToTheNext) {
  CLineList::Position first, second, third;
  CSourceLine *a = MakeLine({{TOKEN_IDENTIFIER, "a"}}, 1, &first);
  CSourceLine *c = MakeLine({{TOKEN_IDENTIFIER, "c"}}, 3, &third);
  g_SourceLines.SetCursor(third);
  EXPECT_EQ(g_SourceLines.Current(), c);
  CSourceLine *b = MakeLine({{TOKEN_IDENTIFIER, "b"}}, 2, &second);
  EXPECT_EQ(g_SourceLines.Current(), c);
  EXPECT_EQ(g_SourceLines.LineAt(second), b);
  EXPECT_EQ(g_SourceLines.Size(), 3u);

  std::vector<std::int32_t> order;
  for (g_SourceLines.Rewind(); !g_SourceLines.AtEnd(); g_SourceLines.Advance())
    order.push_back(g_SourceLines.Current()->GetLineNumber());
  EXPECT_EQ(order, (std::vector<std::int32_t>{1, 2, 3}));

  g_SourceLines.SetCursor(second);
  g_SourceLines.RemoveCurrent();
  EXPECT_EQ(g_SourceLines.Current(), c);
  g_SourceLines.RemoveCurrent();
  EXPECT_TRUE(g_SourceLines.AtEnd());
  g_SourceLines.Rewind();
  EXPECT_EQ(g_SourceLines.Current(), a);
  g_SourceLines.RemoveCurrent();
  EXPECT_TRUE(g_SourceLines.AtEnd());
  EXPECT_EQ(g_SourceLines.Size(), 0u);
  EXPECT_EQ(g_SourceLines.LineAt(first), nullptr);
}

TEST_F(TokenTest, RemovedLinesAreReusedAndManyLinesFit) {
  for (int i = 0; i < 200000; ++i)
    MakeLine({{TOKEN_NUMBER, "1"}}, i + 1);
  g_SourceLines.Rewind();
  for (int i = 0; i < 100000; ++i)
    g_SourceLines.RemoveCurrent();
  EXPECT_EQ(g_SourceLines.Current()->GetLineNumber(), 100001);
  CSourceLine *reused = MakeLine({{TOKEN_NUMBER, "2"}}, 7);
  EXPECT_EQ(g_SourceLines.Size(), 100001u);
  g_SourceLines.Rewind();
  EXPECT_EQ(g_SourceLines.Current(), reused);
  EXPECT_EQ(reused->Current().text, "2");
}

TEST_F(TokenTest, LinesOfOneFileShareTheirName) {
  EXPECT_EQ(InternFile("a.src"), InternFile("a.src"));
  EXPECT_NE(InternFile("a.src"), InternFile("A.src"));
  CSourceLine *line = MakeLine({{TOKEN_IDENTIFIER, "x"}});
  EXPECT_EQ(line->GetFileName(), "t.src");
}

} // namespace
