//===- tests/driver_test.cpp - Command line, image layout, error reporting ===//

#include "tests/harness.h"

namespace {

/// The banner names the program as it is called on its platform.
Lines Banner() {
  std::string usage = "  ";
  usage += WindowsTarget() ? "ferrox.exe" : "ferrox";
  usage += " <SourceFile> <DestinationFile>";
  return {"Ferrox Compiler 1.0.1 for Tavrune", "", "Syntax:", usage};
}
const std::string kHeader = "Tavrune Disk 10a";

TEST_F(Ferrox, MissingArgumentsPrintTheBannerAndExit254) {
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{}, std::vector<std::string>{"prog.src"}}) {
    RunResult result = Run(args);
    EXPECT_EQ(result.status, 254);
    EXPECT_EQ(result.lines, Banner());
  }
}

TEST_F(Ferrox, EmptySourceGivesHeaderAndBootPlaceholder) {
  RunResult result = Assemble("");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Normalized(result.lines), Report(0, 0, 0, 0, 0, 0, 2, 0, 20, 0));
  EXPECT_EQ(Read("out.img"), kHeader + B({0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(Ferrox, SwitchesLeaveOutHeaderAndBootFieldInAnyLetterCase) {
  Assemble("", {"-NODISK"});
  EXPECT_EQ(Read("out.img"), B({0xFF, 0xFF, 0xFF, 0xFF}));
  Assemble("", {"-NoBootInfo"});
  EXPECT_EQ(Read("out.img"), kHeader);
  RunResult result = Assemble("data1u 7", {"-nodisk", "-verbose", "-nobootinfo",
                                          "-nodisk"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Read("out.img"), B({7}));
  Assemble("data1u 7", {"-nodisk2", "nodisk"});
  EXPECT_EQ(Read("out.img"), kHeader + B({0xFF, 0xFF, 0xFF, 0xFF, 7}));
}

TEST_F(Ferrox, ThePathsAlwaysComeFirstEvenWhenTheyLookLikeSwitches) {
  Write("prog.src", "");
  RunResult result = Run({"-nodisk", "prog.src", "out.img"});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.lines, Lines{"Error 100: Cannot load source file \"-nodisk\""});
  EXPECT_FALSE(Exists("out.img"));
}

TEST_F(Ferrox, MissingStandardIncludeStopsBeforeTheSource) {
  RemoveInstalled("std.tvh");
  RunResult result = Run({"missing.src", "out.img"});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.lines,
            Lines{"Error 100: Cannot load source file \"" + ProgramDir() +
                  "std.tvh\""});
}

TEST_F(Ferrox, UnreadableSourceIsError100WithThePathAsTyped) {
  RunResult missing = Run({"sub/none.src", "out.img"});
  EXPECT_EQ(missing.status, 255);
  EXPECT_EQ(missing.lines,
            Lines{"Error 100: Cannot load source file \"sub/none.src\""});
  Write("folder.src/keep", "");
  RunResult folder = Run({"folder.src", "out.img"});
  EXPECT_EQ(folder.lines,
            Lines{"Error 100: Cannot load source file \"folder.src\""});
  EXPECT_FALSE(Exists("out.img"));
}

TEST_F(Ferrox, StandardIncludeIsAssembledBeforeTheSource) {
  Install("std.tvh", "data1u 1 ; from the standard include\n");
  RunResult result = Assemble("data1u 2\n", {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Read("out.img"), B({1, 2}));
  EXPECT_EQ(Normalized(result.lines), Report(0, 0, 0, 0, 0, 2, 2, 46, 2, 0));
}

TEST_F(Ferrox, ErrorsNameTheFileWithoutItsFolderAndTheLine) {
  Write("sub dir/my prog.src", "data1u 1\n\n  bogus 3\n");
  RunResult result = Run({Native("sub dir/my prog.src"), "out.img"});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(Messages(result.lines),
            Lines{"my prog.src (3): error 900: \"bogus\" unknown command or "
                  "instruction"});
  EXPECT_EQ(result.lines.back(), "Errors       : 1 (FAILURE!)");
}

TEST_F(Ferrox, SevenErrorsArePrintedInFullAndTheRestOnlyCounted) {
  std::string seven;
  for (int i = 0; i < 7; ++i)
    seven += "bad" + std::to_string(i) + "\n";
  RunResult result = Assemble(seven);
  EXPECT_EQ(Messages(result.lines).size(), 7u);
  EXPECT_EQ(result.lines.back(), "Errors       : 7 (FAILURE!)");

  RunResult many = Assemble(seven + "bad7\nbad8\nbad9\n");
  Lines messages = Messages(many.lines);
  ASSERT_EQ(messages.size(), 8u);
  EXPECT_EQ(messages[6],
            "prog.src (7): error 900: \"bad6\" unknown command or instruction");
  EXPECT_EQ(messages[7], "and more errors...");
  EXPECT_EQ(many.lines.back(), "Errors       : 10 (FAILURE!)");
}

TEST_F(Ferrox, AnyErrorDeletesTheImageAndDropsTheSizeLine) {
  RunResult late = Assemble("data1u 1\ndata4i &nowhere\n");
  EXPECT_EQ(late.status, 255);
  EXPECT_FALSE(Exists("out.img"));
  EXPECT_EQ(Normalized(late.lines),
            (Lines{"prog.src (2): error 905: \"nowhere\" label used without "
                   "being defined",
                   "Instructions : 0", "Macros       : defined - 0, used - 0",
                   "Labels       : defined - 0, used - 1",
                   "Source       : lines - 2, files - 2, size - 25 (25B)",
                   "Total time   : T", "Errors       : 1 (FAILURE!)"}));
}

TEST_F(Ferrox, AnEarlierImageSurvivesErrorsFoundBeforeItIsOpened) {
  Write("out.img", "old image");
  RunResult result = Assemble("data0s \"open\n");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (1): error 401: Unexpected end of string"});
  EXPECT_EQ(Read("out.img"), "old image");
}

TEST_F(Ferrox, DestinationThatCannotBeCreatedIsError200) {
  RunResult result = Assemble("data1u 1\n");
  ASSERT_EQ(result.status, 0);
  RunResult missingFolder = Run({"prog.src", "no/such/folder/out.img"});
  EXPECT_EQ(missingFolder.status, 255);
  EXPECT_EQ(Normalized(missingFolder.lines),
            (Lines{"Error 200: Cannot open destination file", "Instructions : 0",
                   "Macros       : defined - 0, used - 0",
                   "Labels       : defined - 0, used - 0",
                   "Source       : lines - 1, files - 2, size - 9 (9B)",
                   "Total time   : T", "Errors       : 1 (FAILURE!)"}));
}

TEST_F(Ferrox, EveryFileTheBuildReadsIsRefusedAsDestinationAndKept) {
  Install("Instructions.okl", "nop 0 3;\n[#inc more.okl]\n");
  Install("more.okl", "halt 3 4;\n");
  Write("inc.tvh", "nop\n");
  Write("font.bin", "font");
  Write("prog.src", "include \"inc.tvh\"\nincludebin \"font.bin\"\nhalt\n");
  const std::vector<std::pair<std::string, std::string>> inputs = {
      {"./prog.src", "prog.src"},
      {"inc.tvh", "inc.tvh"},
      {"font.bin", "font.bin"},
      {ProgramDir() + "more.okl", ""},
      {ProgramDir() + "Instructions.okl", ""},
      {ProgramDir() + "std.tvh", ""},
  };
  for (const auto &[destination, workFile] : inputs) {
    std::string before = workFile.empty() ? "" : Read(workFile);
    RunResult result = Run({"prog.src", destination});
    EXPECT_EQ(result.status, 255) << destination;
    EXPECT_EQ(Messages(result.lines), Lines{"Error 200: Cannot open destination file"})
        << destination;
    if (!workFile.empty()) {
      EXPECT_EQ(Read(workFile), before) << destination;
    }
  }
  // Every later build still finds its instruction set intact.
  EXPECT_EQ(Run({"prog.src", "out.img", "-nodisk", "-nobootinfo"}).status, 0);
  EXPECT_EQ(Read("out.img"), Hex("0003") + "font" + Hex("c004"));
}

} // namespace
