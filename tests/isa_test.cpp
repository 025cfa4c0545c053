//===- tests/isa_test.cpp - ferrox-isa check and doc ----------------------===//

#include "tests/harness.h"

namespace {

TEST_F(Ferrox, IsaCheckIsCleanOnTheShippedInstructionSet) {
  InstallShippedData();
  RunResult installed = RunProgram("ferrox-isa", {"check"});
  EXPECT_EQ(installed.status, 0) << installed.output;
  EXPECT_EQ(installed.output + installed.errors, "");
  RunResult given = RunProgram(
      "ferrox-isa", {"check", Native(std::string(FERROX_SOURCE_DIR) + "/data/Instructions.okl")});
  EXPECT_EQ(given.status, 0) << given.output;
}

TEST_F(Ferrox, IsaCheckReportsEveryProblemWithItsLine) {
  Install("more.okl", "extra 0 77;\nNOP 1 1;\n");
  Install("Instructions.okl",
          "[/ header\n   comment /]\n"
          "nop 0 0;\n"
          "Nop 0 5;\n"
          "\"2x\" 1 2;\n"
          "data1u 1 3;\n"
          "ifdef 1 4;\n"
          "__line__ 1 6;\n"
          "reserve 1 7;\n"
          "clash 4 0 [4i];\n"
          "[#inc more.okl]\n"
          "fine 2 0 [x];\n");
  const std::string file = ProgramDir() + "Instructions.okl";
  const std::string more = ProgramDir() + "more.okl";
  RunResult result = RunProgram("ferrox-isa", {"check"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.lines,
            (Lines{file + ":4: warning: \"Nop\" is ignored: \"nop\" (line 3) has the name already",
                   file + ":5: warning: \"2x\" cannot be used: a statement's word is an identifier "
                          "(a letter or \"_\", then letters, digits and \"_\")",
                   file + ":6: warning: \"data1u\" is hidden by the command of that name",
                   file + ":7: warning: \"ifdef\" is hidden by the directive of that name",
                   file + ":8: warning: \"__line__\" is hidden by the predefined macro of that name",
                   file + ":9: warning: \"reserve\" is hidden by the command of that name",
                   file + ":10: warning: \"clash\" has the top bits (0) and opcode (0) of \"nop\" "
                          "(line 3): an image cannot tell them apart",
                   more + ":2: warning: \"NOP\" is ignored: \"nop\" (" + file +
                       ":3) has the name already"}));

  // A file given by name, and one the assembler would refuse.
  Write("set.okl", "a 0 1;\nb 0 1;\nc 0 2 [4u,\n 1u];\n");
  EXPECT_EQ(RunProgram("ferrox-isa", {"check", "set.okl"}).lines,
            (Lines{"set.okl:2: warning: \"b\" has the top bits (0) and opcode (1) of \"a\" "
                   "(line 1): an image cannot tell them apart",
                   "set.okl:3: error: parameter kinds are parted by blanks on one line; "
                   "ferrox stops with error 300"}));
  RunResult doc = RunProgram("ferrox-isa", {"doc", "set.okl"});
  EXPECT_EQ(doc.status, 1);
  EXPECT_EQ(doc.errorLines,
            Lines{"ferrox-isa: set.okl:3: parameter kinds are parted by blanks on one line"});
  RunResult missing = RunProgram("ferrox-isa", {"check", "none.okl"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.errorLines, Lines{"ferrox-isa: none.okl: cannot be read"});
}

TEST_F(Ferrox, IsaDocWritesATableOfTheInstructionsInForce) {
  Write("set.okl", "[#def w 4i]\nnop 0 0; [/ does | nothing /]\nNOP 0 9;\n"
                   "mov 1 300 [x [$w]];\nput 3 7 [0s 8f 2s]; [/ one /] [/ two /]\n");
  RunResult result = RunProgram("ferrox-isa", {"doc", "set.okl"});
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(result.output,
            "# Instruction set\n\n"
            "`set.okl`: 3 instructions.\n\n"
            "An instruction assembles to its first byte, its opcode, then each\n"
            "parameter in order. The first byte holds the top bits in bits 7-6 and\n"
            "the addressing modes m1, m2 and m3 of parameters 1 to 3 in bits 5-4,\n"
            "3-2 and 1-0: 1 for `&` (the value in its kind), 2 for `^` and 3 for `*`\n"
            "(both a 4-byte value), 0 for a parameter the instruction does not have.\n\n"
            "| Instruction | First byte | Opcode | Parameters | Comment |\n"
            "|---|---|---|---|---|\n"
            "| `nop` | `0x00` | 0 (`0x00`) | none | does \\| nothing |\n"
            "| `mov` | `0x40 + 16*m1 + 4*m2` | 44 (`0x2c`) | `x` (^ \\*), `4i` (& ^ \\*) |"
            "|\n"
            "| `put` | `0xc0 + 16*m1 + 4*m2 + m3` | 7 (`0x07`) | `0s` (& ^ \\*), `8f` (& ^ \\*), "
            "`2s` (& ^ \\*) | one two |\n"
            "\n## Parameter kinds\n\n"
            "| Kind | Mode 1 (`&`) | Modes 2 and 3 (`^`, `*`) |\n"
            "|---|---|---|\n"
            "| `4i` | 4 bytes, signed integer | 4 bytes |\n"
            "| `8f` | 8 bytes, IEEE 754 double | 4 bytes |\n"
            "| `0s` | the string's bytes, then a zero byte | 4 bytes |\n"
            "| `2s` | the length in 2 bytes, then the string's bytes | 4 bytes |\n"
            "| `x` | not allowed | 4 bytes |\n");
}

TEST_F(Ferrox, IsaFollowsTheUsualCommandLineConventions) {
  RunResult help = RunProgram("ferrox-isa", {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.lines[0], "Usage: ferrox-isa COMMAND [FILE]");
  RunResult version = RunProgram("ferrox-isa", {"doc", "--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.lines, Lines{"ferrox-isa (ferrox) 1.0.1"});
  const Lines hint = {"Try 'ferrox-isa --help' for more information."};
  for (const auto &[args, message] :
       std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{}, "missing command"},
           {{"lint"}, "unknown command 'lint'"},
           {{"check", "-q"}, "unrecognized option '-q'"},
           {{"check", "a.okl", "b.okl"}, "extra operand 'b.okl'"}}) {
    RunResult result = RunProgram("ferrox-isa", args);
    EXPECT_EQ(result.status, 2) << message;
    EXPECT_EQ(result.output, "");
    Lines expected = {"ferrox-isa: " + message};
    expected.insert(expected.end(), hint.begin(), hint.end());
    EXPECT_EQ(result.errorLines, expected);
  }
}

} // namespace
