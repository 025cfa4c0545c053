//===- tests/includebin_test.cpp - Binary inclusion -----------------------===//

#include "tests/harness.h"

namespace {

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

TEST_F(Ferrox, IncludebinCopiesFilesOfAnySize) {
  Write("empty.bin", "");
  Write("big.bin", Pattern(65537));
  RunResult result = Assemble("includebin \"empty.bin\"\nincludebin \"big.bin\"\n"
                              "data1u 1\n",
                              {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(Read("out.img"), Pattern(65537) + B({1}));
}

TEST_F(Ferrox, IncludebinMovesLabelsAndFillsPendingReserve) {
  Write("four.bin", "abcd");
  EXPECT_EQ(Bytes("reserve 3\nincludebin \"four.bin\"\nafter:\ndata4i &after"),
            B({0, 0, 0}) + "abcd" + Hex("07000000"));
}

TEST_F(Ferrox, IncludebinSearchesLikeInclude) {
  Write("src/prog.src", "includebin \"side.bin\"\nincludebin \"deep.bin\"\n");
  Write("src/side.bin", "S");
  Install("bins/deep.bin", "D");
  Install("Directories.okl", "\"" + ProgramDir() + "bins\"\n");
  RunResult result = Run({Native("src/prog.src"), "out.img", "-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(Read("out.img"), "SD");
}

TEST_F(Ferrox, IncludebinErrors) {
  Write("x.bin", "x");
  const std::pair<const char *, Lines> cases[] = {
      {"includebin 5", {"prog.src (1): error 500: String expected"}},
      {"includebin &a.5", {"prog.src (1): error 501: Identifier expected"}},
      {"includebin \"none.bin\"",
       {"prog.src (1): error 1001: \"none.bin\" file not found"}},
      {"includebin name", {"prog.src (1): error 906: Only addressing mode 1 "
                           "allowed here"}},
      {"includebin l: \"x.bin\"", {"prog.src (1): error 907: Label not allowed "
                                   "here"}},
      {"includebin \"x.bin\" 5", {"prog.src (1): error 502: End of line expected"}},
  };
  for (const auto &[source, messages] : cases) {
    RunResult result = Assemble(source);
    EXPECT_EQ(Messages(result.lines), messages) << source;
    EXPECT_FALSE(Exists("out.img")) << source;
  }
}

TEST_F(Ferrox, IncludebinOfTheDestinationLeavesItAsItWas) {
  // The earlier image may be read like any file, but then the build may
  // not replace it.
  Write("out.img", "earlier");
  RunResult result = Assemble("data1u 1\nincludebin \"out.img\"\n");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(Messages(result.lines), Lines{"Error 200: Cannot open destination file"});
  EXPECT_EQ(Read("out.img"), "earlier");
}

} // namespace
