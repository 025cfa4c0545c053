//===- tests/data_commands_test.cpp - data, array, skip and reserve -------===//

#include "tests/harness.h"

namespace {

TEST_F(Ferrox, DataLabelsNameEachValuesFirstByte) {
  EXPECT_EQ(Bytes("data2u 9\ndata1u a: 1, b: 2\ndata4i &a, &b"),
            Hex("0900 01 02 02000000 03000000"));
}

TEST_F(Ferrox, ArraysRepeatOneValue) {
  EXPECT_EQ(Bytes("array2u 3, 7"), B({7, 0, 7, 0, 7, 0}));
  EXPECT_EQ(Bytes("array1u 0, 7\narray1u -5 'xy'\ndata1u 1"), B({1}));
  EXPECT_EQ(Bytes("array0s 2, \"ab\""), B({'a', 'b', 0, 'a', 'b', 0}));
  EXPECT_EQ(Bytes("arrayns 3, ''\ndata1u 1"), B({1}));
  EXPECT_EQ(Bytes("array1u 70000, 5"), std::string(70000, '\5'));
}

TEST_F(Ferrox, ArraysOfLabelValuesArePatchedInEveryCopy) {
  RunResult result = Assemble("array4i 3, &here\nhere: data1u 9\narray4i 2, &here\n",
                              {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Read("out.img"), Hex("0c000000 0c000000 0c000000 09 0c000000 0c000000"));
  EXPECT_EQ(Normalized(result.lines)[2], "Labels       : defined - 1, used - 5");
}

TEST_F(Ferrox, ArrayCountAndValueTakeNoLabelOrModeSymbol) {
  const std::pair<const char *, const char *> cases[] = {
      {"array1u n: 2, 1", "error 907: Label not allowed here"},
      {"array1u 2, v: 1", "error 907: Label not allowed here"},
      {"array1u ^2, 1", "error 906: Only addressing mode 1 allowed here"},
      {"array1u 2, *1", "error 906: Only addressing mode 1 allowed here"},
      {"array1u &later, 1\nlater:", "error 910: \"later\" label must be defined "
                                    "before it is used here"},
  };
  for (const auto &[source, message] : cases) {
    RunResult result = Assemble(source);
    EXPECT_EQ(Messages(result.lines), Lines{std::string("prog.src (1): ") + message})
        << source;
  }
}

TEST_F(Ferrox, ArrayWithTrailingTokensStillWritesEveryCopy) {
  RunResult result = Assemble("array1u 2, 5 6\nbootend\n", {"-nodisk"});
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (1): error 502: End of line expected"});
}

TEST_F(Ferrox, ReserveBecomesZerosOnlyBeforeLaterBytes) {
  EXPECT_EQ(Bytes("reserve 10\nmid: data1u 1\ndata4i &mid"),
            std::string(10, '\0') + Hex("01 0a000000"));
  EXPECT_EQ(Bytes("data1u 1\nreserve 100\nafter:"), B({1}));
  EXPECT_EQ(Bytes("data4i &after\nreserve 100\nafter:"), Hex("68000000"));
  EXPECT_EQ(Bytes("reserve 200000\ndata1u 7"), std::string(200000, '\0') + "\7");
}

TEST_F(Ferrox, ReserveRefusesNegativeCountsLabelsAndForwardCounts) {
  const std::pair<const char *, const char *> cases[] = {
      {"reserve -1", "error 911: Reserve size cannot be negative"},
      {"reserve n: 1", "error 907: Label not allowed here"},
      {"reserve n", "error 906: Only addressing mode 1 allowed here"},
      {"reserve &n\nn:", "error 910: \"n\" label must be defined before it is "
                         "used here"},
  };
  for (const auto &[source, message] : cases) {
    RunResult result = Assemble(source);
    EXPECT_EQ(Messages(result.lines), Lines{std::string("prog.src (1): ") + message})
        << source;
  }
  EXPECT_EQ(Bytes("size: data1u 0\noffset 3\nthree:\noffset 1\n"
                  "reserve &three\ndata1u 1"),
            B({0, 0, 0, 0, 1}));
}

TEST_F(Ferrox, SkipWritesAHeadThatJumpsOverItsValues) {
  EXPECT_EQ(Bytes("skip1u 1, 2, 3"), B({16, 200, 3, 1, 2, 3}));
  EXPECT_EQ(Bytes("skip2u"), B({16, 200, 0}));
  EXPECT_EQ(Bytes("skip0s \"ab\""), B({16, 200, 3, 'a', 'b', 0}));
  EXPECT_EQ(Bytes("skip1s \"ab\""), B({16, 200, 3, 2, 'a', 'b'}));
  EXPECT_EQ(Bytes("skip4s \"ab\""), B({16, 200, 6, 2, 0, 0, 0, 'a', 'b'}));
  EXPECT_EQ(Bytes("skip1u 1, l: 2\ndata4i &l"), Hex("10c80201 02 04000000"));
}

TEST_F(Ferrox, SkipLengthPicksTheSmallestEncoding) {
  auto skip = [&](std::size_t length) {
    return Bytes("skipns \"" + std::string(length, 'q') + "\"").substr(0, 6);
  };
  EXPECT_EQ(skip(255).substr(0, 3), B({16, 200, 255}));
  EXPECT_EQ(skip(256).substr(0, 4), B({16, 201, 0, 1}));
  EXPECT_EQ(skip(300).substr(0, 4), B({16, 201, 44, 1}));
  EXPECT_EQ(skip(65535).substr(0, 4), B({16, 201, 255, 255}));
  EXPECT_EQ(skip(65536), B({16, 202, 0, 0, 1, 0}));
}

TEST_F(Ferrox, SkipChecksEveryValueBeforeWritingAndCountsAsAnInstruction) {
  RunResult bad = Assemble("skip1u 1, ^2");
  EXPECT_EQ(Messages(bad.lines),
            Lines{"prog.src (1): error 906: Only addressing mode 1 allowed here"});
  RunResult good = Assemble("skip1u 1\nskip1u\ndata1u 3\n");
  EXPECT_EQ(Normalized(good.lines)[0], "Instructions : 2");
}

TEST_F(Ferrox, CommandKeywordsMatchInAnyLetterCase) {
  EXPECT_EQ(Bytes("DATA1U 1\nData2u 2\nARRAY1u 2, 3\nSkIp1U\nNAMESPACE n\nEND"),
            B({1, 2, 0, 3, 3, 16, 200, 0}));
}

TEST_F(Ferrox, LinesWithoutACommandWord) {
  const std::pair<const char *, const char *> cases[] = {
      {"5", "error 501: Identifier expected"},
      {"'text'", "error 501: Identifier expected"},
      {"l: ,", "error 501: Identifier expected"},
      {"a: b: data1u 1", "error 900: \"b\" unknown command or instruction"},
      {"Data3u 1", "error 900: \"Data3u\" unknown command or instruction"},
  };
  for (const auto &[source, message] : cases) {
    RunResult result = Assemble(source);
    EXPECT_EQ(Messages(result.lines), Lines{std::string("prog.src (1): ") + message})
        << source;
  }
  EXPECT_EQ(Bytes("only: \ndata4i &only"), B({0, 0, 0, 0}));
}

} // namespace
