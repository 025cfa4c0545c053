//===- tests/preprocessor_test.cpp - Conditionals, error, define, macros --===//

#include "tests/harness.h"

#include <regex>

namespace {

// --- ifdef, ifndef, else, endif -------------------------------------------

TEST_F(Ferrox, ConditionalKeepsOnlyTheActiveBranch) {
  EXPECT_EQ(Bytes("ifdef NONE\ndata1u 1\nelse\ndata1u 2\nendif\n"
                  "define YES\nifdef YES\ndata1u 3\nelse\ndata1u 4\nendif\n"
                  "ifndef YES\ndata1u 5\nendif\nifndef NONE\ndata1u 6\nendif"),
            B({2, 3, 6}));
}

TEST_F(Ferrox, RegionsNestedInsideASkippedRegionAreSkippedWhole) {
  EXPECT_EQ(Bytes("define YES\n"
                  "ifdef NONE\n data1u 1\n"
                  " ifdef YES\n  data1u 2\n else\n  data1u 3\n endif\n"
                  " data1u 4\n"
                  "else\n data1u 5\n"
                  " ifndef NONE\n  data1u 6\n endif\n"
                  "endif\ndata1u 7"),
            B({5, 6, 7}));
}

TEST_F(Ferrox, DirectiveKeywordsMatchInAnyLetterCase) {
  EXPECT_EQ(Bytes("DEFINE X 1\nIFDEF x\ndata1u X\nElse\ndata1u 9\nENDIF"), B({1}));
}

TEST_F(Ferrox, SurplusElseAndEndifAreNotErrors) {
  EXPECT_EQ(Bytes("endif\ndata1u 1\nelse\ndata1u 2\nendif\ndata1u 3"), B({1, 3}));
}

TEST_F(Ferrox, RegionLeftOpenSkipsTheRestOfTheProgram) {
  EXPECT_EQ(Bytes("data1u 1\nifdef NONE\ndata1u 2\n"), B({1}));
  Install("std.tvh", "ifdef NOT_DEFINED\n");
  RunResult result = Assemble("data1u 1\nbogus\n", {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Read("out.img"), "");
}

TEST_F(Ferrox, DirectivesInsideASkippedRegionHaveNoEffect) {
  RunResult result = Assemble("ifdef NONE\nerror \"no\"\ninclude \"missing.tvh\"\n"
                              "define D 1\nbogus words\nendif\nifdef D\ndata1u 9\n"
                              "endif\n",
                              {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(Read("out.img"), "");
}

TEST_F(Ferrox, DirectiveSyntaxErrors) {
  RunResult result = Assemble("ifdef 5\ndata1u 1\nifdef A B\nendif\nelse x\n"
                              "endif ;\nendif 1\nerror 5\nerror \"stop\" now\n");
  EXPECT_EQ(Messages(result.lines),
            (Lines{"prog.src (1): error 501: Identifier expected",
                   "prog.src (3): error 502: End of line expected",
                   "prog.src (5): error 502: End of line expected",
                   "prog.src (7): error 502: End of line expected",
                   "prog.src (8): error 500: String expected",
                   "prog.src (9): error 502: End of line expected",
                   "prog.src (9): error 600: stop"}));
}

TEST_F(Ferrox, ErrorDirectiveReportsItsTextAndGoesOn) {
  Write("out.img", "old");
  RunResult result = Assemble("error \"Unsupported \\\"mode\\\"\"\ndata1u 1\nbogus\n");
  EXPECT_EQ(Messages(result.lines),
            (Lines{"prog.src (1): error 600: Unsupported \"mode\"",
                   "prog.src (3): error 900: \"bogus\" unknown command or "
                   "instruction"}));
  EXPECT_EQ(result.lines.back(), "Errors       : 2 (FAILURE!)");
  EXPECT_EQ(Read("out.img"), "old");
}

// --- define and macros ----------------------------------------------------

TEST_F(Ferrox, MacrosReplaceIdentifiersInAnyLetterCase) {
  RunResult result = Assemble("define SIZE 16\ndata1u SIZE, size\n",
                              {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(Read("out.img"), B({16, 16}));
  EXPECT_EQ(Normalized(result.lines)[1], "Macros       : defined - 1, used - 2");
}

TEST_F(Ferrox, MacroBodiesAreExpandedWhenUsed) {
  RunResult result = Assemble("define A B\ndefine B 5\ndefine PAIR 1, 2\n"
                              "data1u A, PAIR\n",
                              {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(Read("out.img"), B({5, 1, 2}));
  EXPECT_EQ(Normalized(result.lines)[1], "Macros       : defined - 3, used - 3");
}

TEST_F(Ferrox, MacroMayStandForACommandWord) {
  EXPECT_EQ(Bytes("define BYTES data1u 7,\nBYTES 8"), B({7, 8}));
}

TEST_F(Ferrox, MacroNamesInsideStringsStayText) {
  EXPECT_EQ(Bytes("define X 5\ndatans \"X\", 'X'"), "XX");
}

TEST_F(Ferrox, EmptyMacrosExistButCannotBeExpanded) {
  RunResult result = Assemble("define EMPTY\nifdef EMPTY\nEMPTY\nendif\n");
  EXPECT_EQ(Messages(result.lines),
            (Lines{"prog.src (3): error 801: \"EMPTY\" cannot expand empty macro",
                   "prog.src (3): error 900: \"EMPTY\" unknown command or "
                   "instruction"}));
}

TEST_F(Ferrox, DuplicateMacrosAreRefusedIncludingPredefinedNames) {
  RunResult result = Assemble("define Max 1\ndefine MAX 2\ndefine __line__ 3\n"
                              "define\ndata1u max\n");
  EXPECT_EQ(Messages(result.lines),
            (Lines{"prog.src (2): error 800: \"MAX\" macro already exists",
                   "prog.src (3): error 800: \"__line__\" macro already exists",
                   "prog.src (4): error 501: Identifier expected"}));
}

TEST_F(Ferrox, DefineLinesAreNeverStatements) {
  EXPECT_EQ(Bytes("define define 5\ndata1u define"), B({5}));
}

TEST_F(Ferrox, MacroExpandedIncludeIsNoDirective) {
  RunResult result = Assemble("define INC include\nINC \"x.tvh\"\n");
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (2): error 900: \"include\" unknown command or "
                  "instruction"});
}

TEST_F(Ferrox, PredefinedSymbols) {
  EXPECT_EQ(Bytes("\n\ndata1u __LINE__\ndatans __FILE__, __VERSION__"),
            B({3}) + "prog.src1.0.1");
  RunResult result = Assemble("data0s __DATE__, __TIME__, __date__, __time__",
                              {"-nodisk", "-nobootinfo"});
  std::string image = Read("out.img");
  std::regex pattern(R"((\d{4}-\d\d-\d\d)\x00(\d\d:\d\d:\d\d)\x00\1\x00\2\x00)");
  EXPECT_TRUE(std::regex_match(image, pattern)) << image;
  EXPECT_EQ(Normalized(result.lines)[1], "Macros       : defined - 0, used - 4");
}

TEST_F(Ferrox, RecursiveMacrosAreStoppedAndNamed) {
  RunResult direct = Assemble("define A A\ndata1u A\ndata1u 1\n");
  EXPECT_EQ(Messages(direct.lines),
            (Lines{"prog.src (2): error 802: \"A\" recursive macro expansion",
                   "prog.src (2): error 906: Only addressing mode 1 allowed here"}));
  RunResult cycle = Assemble("define A 1, B\ndefine B C\ndefine C A\ndata1u A\n");
  EXPECT_EQ(Messages(cycle.lines),
            (Lines{"prog.src (4): error 802: \"C\" recursive macro expansion",
                   "prog.src (4): error 906: Only addressing mode 1 allowed here"}));
}

TEST_F(Ferrox, RepeatedAndChainedMacrosAreNoRecursion) {
  std::string source = "define ONE 1\ndefine TWO ONE, ONE\ndefine FOUR TWO TWO\n";
  for (int i = 0; i < 200; ++i)
    source += "define M" + std::to_string(i) + " M" + std::to_string(i + 1) + "\n";
  source += "define M200 FOUR\ndata1u FOUR, M0, ONE ONE\n";
  EXPECT_EQ(Bytes(source), std::string(10, '\1'));
}

} // namespace
