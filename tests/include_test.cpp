//===- tests/include_test.cpp - Source inclusion --------------------------===//

#include "tests/harness.h"

namespace {

TEST_F(Ferrox, IncludedLinesStandWhereTheDirectiveWas) {
  Write("three.tvh", "data1u 2\ndata1u 3\ndata1u 4\n");
  RunResult result = Assemble("data1u 1\ninclude \"three.tvh\"\ndata1u 5\n",
                              {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(Read("out.img"), B({1, 2, 3, 4, 5}));
  EXPECT_EQ(Normalized(result.lines)[3],
            "Source       : lines - 6, files - 3, size - 65 (65B)");
}

TEST_F(Ferrox, MacrosFlowFromIncludedFilesToLaterLinesOnly) {
  Write("defs.tvh", "define FROM_INCLUDE 7\ndata1u LATER\n");
  RunResult result = Assemble("include \"defs.tvh\"\ndefine LATER 8\n"
                              "data1u FROM_INCLUDE, LATER\n");
  EXPECT_EQ(Messages(result.lines),
            Lines{"defs.tvh (2): error 906: Only addressing mode 1 allowed here"});
}

TEST_F(Ferrox, CommentOnlyIncludeLeavesTheFollowingLinesProcessed) {
  Write("empty.tvh", "; nothing here\n\n");
  EXPECT_EQ(Bytes("include \"empty.tvh\"\ndefine X 4\ndata1u X"), B({4}));
}

TEST_F(Ferrox, IncludeErrorsAreReportedAtTheDirective) {
  RunResult result = Assemble("include 5\ninclude \"none.tvh\"\n"
                              "include \"/no/such/abs.tvh\"\n");
  EXPECT_EQ(Messages(result.lines),
            (Lines{"prog.src (1): error 500: String expected",
                   "prog.src (2): error 1001: \"none.tvh\" file not found",
                   "prog.src (3): error 1001: \"/no/such/abs.tvh\" file not found"}));
  Write("a.tvh", "data1u 1\n");
  RunResult extra = Assemble("include \"a.tvh\" more\n", {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(Messages(extra.lines),
            Lines{"prog.src (1): error 502: End of line expected"});
}

TEST_F(Ferrox, FilesAreFoundBesideTheSourceThenInTheIncludeDirectories) {
  Write("src/prog.src", "include \"a.tvh\"\ninclude \"b.tvh\"\ninclude \"c.tvh\"\n");
  Write("src/a.tvh", "data1u 1\n");
  Write("a.tvh", "data1u 9\n");
  Write("incdir/b.tvh", "data1u 2\n");
  Install("shared/c.tvh", "data1u 3\n");
  Install("Directories.okl", "incdir \"" + ProgramDir() + "shared\"\n");
  RunResult result = Run({Native("src/prog.src"), "out.img", "-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(Read("out.img"), B({1, 2, 3}));
}

TEST_F(Ferrox, BareSourceNameFindsIncludesInTheWorkingFolder) {
  Write("lib/x.tvh", "data1u 6\n");
  EXPECT_EQ(Bytes("include \"lib/x.tvh\"\ninclude \"lib\\\\x.tvh\"\n"
                  "include \"./lib/../lib/x.tvh\""),
            B({6, 6, 6}));
}

TEST_F(Ferrox, IncludedLinesReportTheirOwnFileAndLine) {
  Write("inner.tvh", "\ndata1u __LINE__\ndatans __FILE__\n");
  EXPECT_EQ(Bytes("include \"inner.tvh\"\ndata1u __LINE__"),
            B({2}) + "inner.tvh" + B({2}));
  Write("bad.tvh", "\n\n\nbogus\n");
  RunResult result = Assemble("include \"bad.tvh\"\n");
  EXPECT_EQ(Messages(result.lines),
            Lines{"bad.tvh (4): error 900: \"bogus\" unknown command or "
                  "instruction"});
}

TEST_F(Ferrox, GuardedSelfIncludeIsSplicedOnceMore) {
  Write("self.tvh", "ifndef SELF\ndefine SELF\ndata1u 1\ninclude \"self.tvh\"\n"
                    "endif\ndata1u 2\n");
  EXPECT_EQ(Bytes("include \"self.tvh\""), B({1, 2, 2}));
}

TEST_F(Ferrox, UnguardedSelfIncludeStopsAtTheNestingLimit) {
  Write("loop.tvh", "data1u 1\ninclude \"loop.tvh\"\n");
  RunResult result = Assemble("include \"loop.tvh\"\n", {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(Messages(result.lines),
            Lines{"loop.tvh (2): error 1002: \"loop.tvh\" include nesting too deep"});
  EXPECT_EQ(Normalized(result.lines)[4],
            "Source       : lines - 201, files - 102, size - 2819 (2kB)");
}

TEST_F(Ferrox, LinesBeforeALexingFailureInAnIncludeArePreprocessed) {
  Write("bad.tvh", "define X 7\ndata1u X\n(broken\ndata1u 8\n");
  RunResult result = Assemble("include \"bad.tvh\"\ndata1u X\n");
  EXPECT_EQ(Messages(result.lines),
            Lines{"bad.tvh (3): error 400: General syntax error"});
  EXPECT_EQ(Normalized(result.lines)[2], "Macros       : defined - 1, used - 2");
}

TEST_F(Ferrox, AnIncludeInASkippedRegionNeverTouchesItsFile) {
  // A FIFO with no writer blocks whoever opens it: a build that so much as
  // opened the file would never end.
  if (WindowsTarget())
    GTEST_SKIP() << "FIFOs are a POSIX device";
  ASSERT_EQ(RunOther({"mkfifo", "pipe.tvh"}), 0);
  Write("prog.src", "ifdef NOPE\ninclude \"pipe.tvh\"\nendif\ndata1u 1\n");
  RunResult result = Run({"prog.src", "out.img", "-nodisk", "-nobootinfo"}, 10);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(Read("out.img"), B({1}));
}

TEST_F(Ferrox, LargeIncludedFilesGiveTheSameImageAndMessagesInOrder) {
  // Files larger than the lexer's read block are read in many pieces; what
  // the user sees must not depend on it.
  std::string clean;
  while (clean.size() < (std::size_t{300} << 10))
    clean += "data1u 7\n";
  const std::size_t lines = clean.size() / 9;
  Write("clean.tvh", clean);
  Write("broken.tvh", clean + "data0s \"\\q\"\n");
  RunResult good = Assemble("data1u 1\ninclude \"clean.tvh\"\ndata1u 2\n",
                            {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(good.status, 0) << good.output;
  EXPECT_EQ(Read("out.img"), B({1}) + std::string(lines, '\x07') + B({2}));

  RunResult bad = Assemble("bogus\ninclude \"clean.tvh\"\ninclude \"broken.tvh\"\n"
                           "include \"clean.tvh\"\n");
  EXPECT_EQ(Messages(bad.lines),
            (Lines{"broken.tvh (" + std::to_string(lines + 1) +
                       "): error 403: Unknown escape character",
                   "prog.src (1): error 900: \"bogus\" unknown command or "
                   "instruction"}));
  EXPECT_EQ(Normalized(bad.lines)[5],
            "Source       : lines - " + std::to_string(3 * lines + 5) +
                ", files - 5, size - " + std::to_string(3 * clean.size() + 12 + 67) +
                " (900kB)");
}

} // namespace
