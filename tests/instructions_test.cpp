//===- tests/instructions_test.cpp - Instruction definitions and bytes ----===//

#include "tests/harness.h"

namespace {

const Lines kError300 = {
    "Error 300: Cannot load instruction definitions from file "
    "\"Instructions.okl\""};
const Lines kError1000 = {
    "Error 1000: Cannot load include directories from file "
    "\"Directories.okl\""};

// --- The definition file ----------------------------------------------------

TEST_F(Ferrox, DefinitionFileLayoutsThatLoad) {
  const char *accepted[] = {
      "",
      "[/ only a comment /]\n\n",
      "op 1 9;\n",
      "op 1 9 [];\n",
      "op   1\t 9   [  ]  ;  \n",
      "op 1 9\n[];\n",
      "op 1 9 [4U]\n;",
      "op 1 9 [NS X 1u];\n",
      "[#def k 8i]op 1 9 [[$k]];\n",
      "op 1 9 [x] ; [/ note /]\n\nother 0 1;\n",
      "\"op\" \"1\" '9';\n",
  };
  for (const char *definitions : accepted) {
    Install("Instructions.okl", definitions);
    RunResult result = Assemble("");
    EXPECT_EQ(result.status, 0) << definitions << "\n" << result.output;
  }
}

TEST_F(Ferrox, DefinitionFileLayoutsThatFailWithError300) {
  const char *refused[] = {
      "op 1 9;",                  // no line break after the last ";"
      "op\n1 9;\n",               // name and first number on two lines
      "op, 1 9;\n",
      "op 1\n9;\n",
      "op 1, 9;\n",
      "op 1 9\n",                 // no ";"
      "op 1 9 [4u, 4u];\n",       // kinds parted by commas
      "op 1 9 [4u 4u 4u 4u];\n",  // a fourth kind
      "op 1 9 [\n4u];\n",
      "op 1 9 [4u\n];\n",
      "op 1 9 [5u];\n",
      "op 1 9 [4u};\n",           // wrong closing bracket
      "op 1 9 [4u];\nbad \"quote 1 2;\n",
      "op 1 9 [4u]",
      "[#nosuch]",
      "[#inc missing.okl]",
      "op",
  };
  for (const char *definitions : refused) {
    Install("Instructions.okl", definitions);
    Write("out.img", "old");
    RunResult result = Assemble("bogus\n");
    EXPECT_EQ(result.status, 255) << definitions;
    EXPECT_EQ(result.lines, kError300) << definitions;
    EXPECT_EQ(Read("out.img"), "old") << definitions;
  }
  RemoveInstalled("Instructions.okl");
  EXPECT_EQ(Assemble("").lines, kError300);
}

TEST_F(Ferrox, DefinitionNumbersAreDecimalAndKeepTheirLow8Bits) {
  Install("Instructions.okl", "a -1 300;\nb 5 0x10;\nc 4 +7x;\n");
  EXPECT_EQ(Bytes("a\nb\nc"), B({0xC0, 44, 0x40, 0, 0x00, 7}));
}

TEST_F(Ferrox, FirstDefinitionOfANameWins) {
  Install("Instructions.okl", "op 0 1;\nOP 0 2;\nop 0 3;\nother 0 4;\n");
  EXPECT_EQ(Bytes("Op\nOTHER"), B({0, 1, 0, 4}));
}

TEST_F(Ferrox, DefinitionFilesMayIncludeOthersBesideTheProgram) {
  Install("more.okl", "extra 0 77;\n");
  Install("Instructions.okl", "[#inc more.okl]base 0 1;\n");
  EXPECT_EQ(Bytes("extra\nbase"), B({0, 77, 0, 1}));
}

TEST_F(Ferrox, KeywordsWinOverInstructionsOfTheSameName) {
  Install("Instructions.okl", "reserve 0 1 [1u];\n");
  EXPECT_EQ(Bytes("reserve 2\ndata1u 1"), B({0, 0, 1}));
}

// --- The include directory list ---------------------------------------------

TEST_F(Ferrox, DirectoryListFailuresStopTheBuildFirst) {
  const char *refused[] = {"C:\\inc\n", "[ inc ]\n", "\"open\n", "[#nosuch]"};
  for (const char *directories : refused) {
    Install("Directories.okl", directories);
    RemoveInstalled("std.tvh");
    RunResult result = Assemble("");
    EXPECT_EQ(result.lines, kError1000) << directories;
    EXPECT_EQ(result.status, 255);
    EXPECT_FALSE(Exists("out.img"));
  }
  RemoveInstalled("Directories.okl");
  EXPECT_EQ(Assemble("").lines, kError1000);
}

TEST_F(Ferrox, DirectoryEntriesMayBeSeparatedAnyWay) {
  Write("one/a.tvh", "data1u 1\n");
  Write("two/b.tvh", "data1u 2\n");
  Write("three four/c.tvh", "data1u 3\n");
  for (const char *list :
       {"one\ntwo\n\"three four\"", "one two, 'three four';",
        "one [/ a comment /] two\n\"three four\"\n"}) {
    Install("Directories.okl", list);
    EXPECT_EQ(Bytes("include \"a.tvh\"\ninclude \"b.tvh\"\ninclude \"c.tvh\""),
              B({1, 2, 3}))
        << list;
  }
}

// --- Instruction bytes ------------------------------------------------------

TEST_F(Ferrox, InstructionWithoutParametersIsTwoBytes) {
  EXPECT_EQ(Bytes("nop\nhalt\npushb 7"), B({0x00, 0, 0x00, 1, 0x50, 3, 7}));
  RunResult extra = Assemble("halt 5\n");
  EXPECT_EQ(Messages(extra.lines),
            Lines{"prog.src (1): error 502: End of line expected"});
}

TEST_F(Ferrox, HeadByteHoldsTopBitsAndEveryAddressingMode) {
  EXPECT_EQ(Bytes("add &3, ^counter\ncounter:"),
            Hex("58 05 03000000 0a000000"));
  EXPECT_EQ(Bytes("add 3 counter\ncounter:"), Hex("58 05 03000000 0a000000"));
  EXPECT_EQ(Bytes("add *3, &4"), Hex("74 05 03000000 04000000"));
  EXPECT_EQ(Bytes("mov 7, 2.5"), Hex("94 06 0700 0000000000000440"));
  EXPECT_EQ(Bytes("put \"hi\", 1.5, -1"),
            Hex("15 08 686900 0000c03f ffffffffffffffff"));
  EXPECT_EQ(Bytes("put ^1, *2, 3"), Hex("2d 08 01000000 02000000 0300000000000000"));
}

TEST_F(Ferrox, AddressParametersTakeLabelsAndForwardReferences) {
  EXPECT_EQ(Bytes("back:\njmp back\njmp ^ahead\njmp *a.b\nahead:\n"
                  "namespace a\nb:\nend"),
            Hex("e0 07 00000000 e0 07 12000000 f0 07 12000000"));
}

TEST_F(Ferrox, ParameterLabelsNameTheParametersFirstByte) {
  EXPECT_EQ(Bytes("data1u 0\nadd first: &3, second: &4\ndata4i &first, &second"),
            Hex("00 54 05 03000000 04000000 03000000 07000000"));
}

TEST_F(Ferrox, MissingParametersWriteNothingAndAreNotCounted) {
  RunResult result = Assemble("add &3\nadd 1, 2, 3\npush\n", {"-nodisk"});
  EXPECT_EQ(Messages(result.lines),
            (Lines{"prog.src (1): error 503: Parameter expected",
                   "prog.src (2): error 502: End of line expected",
                   "prog.src (3): error 503: Parameter expected"}));
  EXPECT_EQ(Normalized(result.lines)[3], "Instructions : 1");
}

TEST_F(Ferrox, AddressOnlyKindRefusesDirectValues) {
  RunResult result = Assemble("jmp &5\n");
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (1): error 901: Cannot write \"x\" type parameter "
                  "as a direct value (addressing mode 1)"});
  EXPECT_EQ(Normalized(result.lines)[1], "Instructions : 0");
}

TEST_F(Ferrox, InstructionNamesMatchInAnyLetterCase) {
  EXPECT_EQ(Bytes("NOP\nHalt\nPushB 1"), B({0, 0, 0, 1, 0x50, 3, 1}));
}

TEST_F(Ferrox, ShippedExamplesAssembleWithTheShippedInstructionSet) {
  InstallShippedData();
  for (const char *example : {"hello.tvs", "table.tvs"}) {
    RunResult result = Run(
        {Native(std::string(FERROX_SOURCE_DIR) + "/examples/" + example), "out.img"});
    EXPECT_EQ(result.status, 0) << example << "\n" << result.output;
    EXPECT_EQ(result.lines.back(), "Errors       : 0 (SUCCESS!)");
  }
}

TEST_F(Ferrox, ReadmeInstructionExampleGivesItsBytes) {
  InstallShippedData();
  EXPECT_EQ(Bytes("add ^counter, 3\ncounter:"), Hex("64 17 0a000000 03000000"));
}

} // namespace
