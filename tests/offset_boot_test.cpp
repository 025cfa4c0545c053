//===- tests/offset_boot_test.cpp - Offsets and boot information ----------===//

#include "tests/harness.h"

namespace {

const std::string kHeader = "Tavrune Disk 10a";

TEST_F(Ferrox, OffsetMovesLabelAddressesNotTheFile) {
  EXPECT_EQ(Bytes("offset 4096\nhere: data1u 1\nnext:\n"
                  "offsetdelta -4\nback:\ndata4i &here, &next, &back"),
            Hex("01 00100000 01100000 fd0f0000"));
  EXPECT_EQ(Bytes("offset 0x7fffffff\ndata1u 1\nwrapped:\ndata4i &wrapped"),
            Hex("01 00000080"));
}

TEST_F(Ferrox, OffsetTakesADefinedLabelOnly) {
  EXPECT_EQ(Bytes("base: data1u 0\noffset 10\nmark:\noffset &base\n"
                  "data4i &mark, &after\nafter:"),
            Hex("00 0a000000 08000000"));
  RunResult forward = Assemble("offset &later\nlater:\n");
  EXPECT_EQ(Messages(forward.lines),
            Lines{"prog.src (1): error 910: \"later\" label must be defined "
                  "before it is used here"});
  RunResult bare = Assemble("x:\noffset x 1\n");
  EXPECT_EQ(Messages(bare.lines),
            (Lines{"prog.src (2): error 906: Only addressing mode 1 allowed here",
                   "prog.src (2): error 502: End of line expected"}));
}

TEST_F(Ferrox, BootEndRecordsTheImageSizeAtItsLine) {
  RunResult result = Assemble("data1u 1, 2\nbootend\ndata2u 0x1234\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Read("out.img"), kHeader + Hex("02000000 0102 3412"));
  Assemble("array1u 10, 1\nreserve 6\nbootend\ndata1u 2", {"-nodisk"});
  EXPECT_EQ(Read("out.img").substr(0, 4), Hex("10000000"));
}

TEST_F(Ferrox, BootCommandsSetTheFieldOnce) {
  Assemble("bootnone\n");
  EXPECT_EQ(Read("out.img"), kHeader + Hex("00000000"));
  Assemble("bootall\n");
  EXPECT_EQ(Read("out.img"), kHeader + Hex("ffffffff"));
  Assemble("start: data1u 1\nboot &start\n", {"-nodisk"});
  EXPECT_EQ(Read("out.img"), Hex("00000000 01"));
  Assemble("boot 0x01020304\n", {"-nobootinfo"});
  EXPECT_EQ(Read("out.img"), kHeader);

  RunResult twice = Assemble("bootnone\nboot 5\n");
  EXPECT_EQ(Messages(twice.lines),
            Lines{"prog.src (2): error 909: Boot info already defined"});
}

TEST_F(Ferrox, BootParameterErrorsSetNothing) {
  const std::pair<const char *, const char *> cases[] = {
      {"x:\nboot x\nbootnone", "prog.src (2): error 906: Only addressing mode 1 "
                               "allowed here"},
      {"boot l: 5\nbootnone", "prog.src (1): error 907: Label not allowed here"},
      {"boot &fwd\nbootnone\nfwd:", "prog.src (1): error 910: \"fwd\" label must "
                                    "be defined before it is used here"},
      {"boot\nbootnone", "prog.src (1): error 503: Parameter expected"},
      // A parameter that does not parse ends the command with its own
      // error: nothing more is said about the rest of the line.
      {"boot a.5\nbootnone", "prog.src (1): error 501: Identifier expected"},
      {"offset a.5", "prog.src (1): error 501: Identifier expected"},
      {"offsetdelta &b.", "prog.src (1): error 501: Identifier expected"},
      {"bootnone 5", "prog.src (1): error 502: End of line expected"},
  };
  for (const auto &[source, message] : cases) {
    RunResult result = Assemble(source);
    EXPECT_EQ(Messages(result.lines), Lines{message}) << source;
  }
}

} // namespace
