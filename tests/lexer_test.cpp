//===- tests/lexer_test.cpp - Line breaks, tokens, strings and their errors ===//

#include "tests/harness.h"

namespace {

TEST_F(Ferrox, LineBreaksCountCrLfCrAndLfAsOneAndLfCrAsTwo) {
  RunResult result = Assemble("a1\r\n\r\na3\ra4\n\ra6\n\r\r\na8");
  EXPECT_EQ(Messages(result.lines),
            (Lines{"prog.src (1): error 900: \"a1\" unknown command or instruction",
                   "prog.src (3): error 900: \"a3\" unknown command or instruction",
                   "prog.src (4): error 900: \"a4\" unknown command or instruction",
                   "prog.src (6): error 900: \"a6\" unknown command or instruction",
                   "prog.src (9): error 900: \"a8\" unknown command or instruction"}));
}

TEST_F(Ferrox, BlankAndCommentLinesAreNotCounted) {
  std::string source = "  \t\n; note\n data1u 1 ; trailing\n\n";
  RunResult result = Assemble(source);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Normalized(result.lines),
            Report(0, 0, 0, 0, 0, 1, 2, static_cast<int>(source.size()), 21, 0));
}

TEST_F(Ferrox, TokensNeedNoBlanksBetweenThem) {
  EXPECT_EQ(Bytes("data1i -3,+7 1-2"), B({0xFD, 7, 1}));
  EXPECT_EQ(Bytes("l:data1u 1.5,2"), B({1, 2}));
  EXPECT_EQ(Bytes("data0s'x;y'\"\"; comment"), B({'x', ';', 'y', 0, 0}));
}

TEST_F(Ferrox, EscapesDecodeToTheirBytes) {
  EXPECT_EQ(Bytes(R"(datans "\b\f\n\r\t\v\a\\\'\"\?")"),
            B({8, 12, 10, 13, 9, 11, 7, '\\', '\'', '"', '?'}));
  EXPECT_EQ(Bytes(R"(datans "\x41\65\X41\x4a")"), "AAAJ");
  EXPECT_EQ(Bytes(R"(datans "\012")"), B({0, '1', '2'}));
  EXPECT_EQ(Bytes(R"(datans 'it''s' "a'b")"), "itsa'b");
}

TEST_F(Ferrox, UnknownEscapesKeepTheirTextAndReport403) {
  // A byte value beyond 255 is unknown however it is written, also when
  // its digits would wrap around a machine word.
  RunResult result = Assemble(R"(datans "\q\256\xZ\x100\x100000041" ; five)" "\n",
                              {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(Messages(result.lines),
            Lines(5, "prog.src (1): error 403: Unknown escape character"));
  EXPECT_FALSE(Exists("out.img"));
  EXPECT_EQ(result.lines.back(), "Errors       : 5 (FAILURE!)");
  EXPECT_EQ(Bytes(R"(datans "\x0041\x00ff")"), "A\xff");
}

TEST_F(Ferrox, UnterminatedStringAndTrailingBackslashAreReportedAndKept) {
  RunResult result = Assemble("data0s \"abc\\\ndata0s 'x\n");
  EXPECT_EQ(Messages(result.lines),
            (Lines{"prog.src (1): error 402: Syntax error in escape character",
                   "prog.src (1): error 401: Unexpected end of string",
                   "prog.src (2): error 401: Unexpected end of string"}));
  EXPECT_EQ(result.lines.back(), "Errors       : 3 (FAILURE!)");
}

TEST_F(Ferrox, BadByteAfterATokenDropsTheRestOfTheLineOnly) {
  RunResult result = Assemble("data1u 1 (2)\ndata1u 3\n");
  Lines expected = {"prog.src (1): error 400: General syntax error"};
  Lines report = Report(0, 0, 0, 0, 0, 2, 2, 22, -1, 1);
  expected.insert(expected.end(), report.begin(), report.end());
  EXPECT_EQ(Normalized(result.lines), expected);
}

TEST_F(Ferrox, BadByteAtTheStartOfALineStopsTheBuild) {
  Write("out.img", "old");
  RunResult result = Assemble("data1u 1\n(data1u 2\nbogus\n");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.lines, Lines{"prog.src (2): error 400: General syntax error"});
  EXPECT_EQ(Read("out.img"), "old");
}

TEST_F(Ferrox, NulAndHighBytesOutsideStringsAreSyntaxErrors) {
  RunResult result = Assemble(std::string("data1u 1 \x80\ndata0s \"\xFF\0\"\n", 23));
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (1): error 400: General syntax error"});
  RunResult nul = Assemble(std::string("\0", 1));
  EXPECT_EQ(nul.lines, Lines{"prog.src (1): error 400: General syntax error"});
}

TEST_F(Ferrox, HighAndNulBytesInsideStringsAreData) {
  EXPECT_EQ(Bytes(std::string("datans \"\xFF\0\x80\"", 12)), B({0xFF, 0, 0x80}));
}

} // namespace
