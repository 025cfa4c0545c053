//===- tests/list_test.cpp - ferrox-list from the command line ------------===//
//
// Runs the built ferrox-list like a user: its listing line by line, its map
// validated against docs/map.schema.json and checked against the image,
// its symbols, and its make rule driving real make (and ninja) runs.
//
//===----------------------------------------------------------------------===//

#include "tests/harness.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class List : public Ferrox {
protected:
  void SetUp() override {
    Ferrox::SetUp();
    if (!HasProgram("ferrox-list") || WindowsTarget())
      GTEST_SKIP() << "ferrox-list is not built for this program";
  }
  RunResult RunList(const std::vector<std::string> &args) {
    return RunProgram("ferrox-list", args);
  }
  Lines FileLines(const std::string &name) {
    Lines lines;
    std::string text = Read(name), line;
    for (char c : text) {
      if (c == '\n')
        lines.push_back(line), line.clear();
      else
        line += c;
    }
    return lines;
  }
};

TEST_F(List, AFailedBuildPrintsWhatFerroxPrintsAndListsItsErrors) {
  Write("lib/io.tvh", "namespace io\nport: data1u 7\nend\n");
  Write("bin.dat", "ABCDE");
  Write("prog.src", "define TWICE data2u 2, 2\n"
                    "start: push 1\n"
                    "include \"lib/io.tvh\"\n"
                    "TWICE\n"
                    "include \"none.tvh\"\n"
                    "reserve 3\n"
                    "includebin \"bin.dat\"\n"
                    "datans \"0123456789\"\n"
                    "bogus\n"
                    "jmp start\n");
  Write("old.map", "earlier map");
  RunResult list = RunList({"prog.src", "out.img", "--listing", "out.lst", "--map", "old.map"});
  RunResult ferrox = Run({"prog.src", "out.img"});
  EXPECT_EQ(list.status, 255);
  EXPECT_EQ(Normalized(list.lines), Normalized(ferrox.lines));
  EXPECT_EQ(Read("old.map"), "earlier map");
  EXPECT_FALSE(Exists("out.img"));
  EXPECT_EQ(FileLines("out.lst"), (Lines{
      "LOCATION     ADDRESS   POSITION  BYTES                    SOURCE",
      "prog.src:2   00000000  00000014  10 02 01 00 00 00        start: push 1",
      ">> begin io.tvh (" + WorkDir() + "lib/io.tvh)",
      "io.tvh:1     00000006  0000001a                           namespace io",
      "io.tvh:2     00000006  0000001a  07                       port: data1u 7",
      "io.tvh:3     00000007  0000001b                           end",
      "<< end io.tvh",
      "prog.src:4   00000007  0000001b  02 00 02 00              TWICE",
      "                                                          => data2u 2, 2",
      "prog.src:5                                                include \"none.tvh\"",
      "!! error 1001: \"none.tvh\" file not found",
      "prog.src:6   0000000b  0000001f  (3 bytes)                reserve 3",
      "prog.src:7   0000000e  00000022  (5 bytes)                includebin \"bin.dat\"",
      "prog.src:8   00000013  00000027  30 31 32 33 34 35 36 37  datans \"0123456789\"",
      "                                 38 39",
      "prog.src:9   0000001d  00000031                           bogus",
      "!! error 900: \"bogus\" unknown command or instruction",
      "prog.src:10  0000001d  00000031  e0 07 00 00 00 00        jmp start"}));
}

TEST_F(List, TheMapFitsItsSchemaAndTheImageAndTheSymbolsAreSorted) {
  Write("bin.dat", "ABC");
  Write("prog.src", "bootend\n"
                    "start: push &later\n"
                    "namespace n\nx: data4f 1.5\nend\n"
                    "later: skip1u 1, 2\n"
                    "datans \"hi\"\nreserve 2\ndata1u 9\n"
                    "includebin \"bin.dat\"\nreserve 5\n"
                    "offset -4\nlast: data2i -1\n");
  RunResult list = RunList({"prog.src", "out.img", "-NoDisk", "--map", "out.map",
                            "--symbols", "out.sym"});
  ASSERT_EQ(list.status, 0) << list.output << list.errors;
  std::string image = Read("out.img");
  ASSERT_EQ(Run({"prog.src", "ferrox.img", "-nodisk"}).status, 0);
  EXPECT_EQ(ShowHex(image), ShowHex(Read("ferrox.img")));
  EXPECT_EQ(FileLines("out.sym"), (Lines{"start = 0x00000000", "n.x = 0x00000006",
                                         "later = 0x0000000a", "last = 0xfffffffc"}));
  std::string map = Read("out.map");
  EXPECT_NE(map.find(R"("image": {"boot":0,"bootCommand":"bootend","bootInfo":true,"file":"out.img","header":false,"size":)"),
            std::string::npos) << map;
  EXPECT_NE(map.find(R"({"address":10,"file":1,"kind":"skip","line":6,"position":14,"size":5,"valueKind":"1u"})"),
            std::string::npos) << map;
  EXPECT_NE(map.find(R"({"name":"prog.src","path":")" + WorkDir() + "prog.src\"}"),
            std::string::npos) << map;
  int checked = RunOther({"python3", std::string(FERROX_SOURCE_DIR) + "/tests/check_map.py",
                          WorkDir() + "out.map",
                          std::string(FERROX_SOURCE_DIR) + "/docs/map.schema.json",
                          WorkDir() + "out.img"});
  if (checked == 77 || checked == 127 || checked == -1)
    GTEST_SKIP() << "python3 with jsonschema is needed to validate the map";
  EXPECT_EQ(checked, 0) << "tests/check_map.py found faults in " << WorkDir() << "out.map";
}

TEST_F(List, TheRuleRebuildsAfterAnIncludedFileChangesAndSurvivesItsRemoval) {
  if (!ProgramInPath("make"))
    GTEST_SKIP() << "make is not installed";
  ASSERT_EQ(RunList({"--version"}).status, 0); // installs the program
  std::string program = InstallDir() + "ferrox-list";
  Write("lib/my io.tvh", "data1u 1\n");
  Write("prog.src", "include \"lib/my io.tvh\"\n");
  Write("Makefile", "out.img: prog.src\n"
                    "\t$(LIST) prog.src out.img -nodisk -nobootinfo --deps out.d\n"
                    "-include out.d\n");
  auto make = [&] { return RunOther({"make", "-s", "LIST=" + program}); };
  auto age = [&](const std::string &name, int seconds) {
    fs::last_write_time(WorkDir() + name,
                        fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
  };
  ASSERT_EQ(make(), 0);
  EXPECT_EQ(Read("out.img"), B({1}));
  EXPECT_NE(Read("out.d").find("lib/my\\ io.tvh"), std::string::npos) << Read("out.d");
  age("prog.src", 10), age("lib/my io.tvh", 10), age("out.img", 5);
  for (const char *name : {"std.tvh", "Instructions.okl", "Directories.okl"})
    age("../bin/" + std::string(name), 10);
  EXPECT_EQ(RunOther({"make", "-q", "LIST=" + program}), 0) << "out.img is up to date";

  Write("lib/my io.tvh", "data1u 2\n");
  ASSERT_EQ(make(), 0);
  EXPECT_EQ(Read("out.img"), B({2}));

  // The header goes away with its include: make still runs the rule.
  fs::remove(WorkDir() + "lib/my io.tvh");
  Write("prog.src", "data1u 3\n");
  ASSERT_EQ(make(), 0);
  EXPECT_EQ(Read("out.img"), B({3}));

  if (!ProgramInPath("ninja"))
    return;
  Write("lib/io.tvh", "data1u 4\n");
  Write("prog.src", "include \"lib/io.tvh\"\n");
  Write("build.ninja", "rule list\n  command = " + program +
                           " $in $out -nodisk -nobootinfo --deps $out.d\n"
                           "  depfile = $out.d\n  deps = gcc\n"
                           "build ninja.img: list prog.src\n");
  ASSERT_EQ(RunOther({"ninja", "-n"}), 0);
  ASSERT_EQ(RunOther({"ninja"}), 0);
  EXPECT_EQ(Read("ninja.img"), B({4}));
  age("prog.src", 10), age("lib/io.tvh", 10), age("ninja.img", 5);
  ASSERT_EQ(RunOther({"ninja"}), 0);
  EXPECT_EQ(Read("ninja.img"), B({4})) << "nothing to do";
  Write("lib/io.tvh", "data1u 5\n");
  ASSERT_EQ(RunOther({"ninja"}), 0);
  EXPECT_EQ(Read("ninja.img"), B({5}));
}

TEST_F(List, FollowsGnuConventionsAndNeverOverwritesWhatTheBuildRead) {
  Write("prog.src", "data1u 1\n");
  RunResult help = RunList({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.lines[0].rfind("Usage: ferrox-list SOURCE", 0), 0u);
  EXPECT_EQ(RunList({"--version"}).lines, Lines{"ferrox-list (ferrox) 1.0.1"});
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
           {"prog.src", "--bogus"}, {"prog.src", "--deps", "d"}, {},
           {"prog.src", "out.img", "--map", "out.img"},
           {"prog.src", "--listing", "./prog.src"}}) {
    RunResult usage = RunList(args);
    EXPECT_EQ(usage.status, 2) << usage.errors;
    EXPECT_TRUE(usage.lines.empty());
    EXPECT_EQ(usage.errors.rfind("ferrox-list: ", 0), 0u) << usage.errors;
  }
  // An output that is a file the build read is left alone, and the run fails.
  Write("inc.tvh", "data1u 1\n");
  Write("prog.src", "include \"inc.tvh\"\n");
  RunResult refused = RunList({"prog.src", "--symbols", "inc.tvh", "--deps", "-",
                               "--target", "t"});
  EXPECT_EQ(refused.status, 255);
  EXPECT_EQ(Read("inc.tvh"), "data1u 1\n");
  EXPECT_NE(refused.errors.find("inc.tvh: is a file the build read"), std::string::npos)
      << refused.errors;
  // Standard output holds the report, then the rule.
  EXPECT_NE(refused.output.find("Errors       : 0 (SUCCESS!)\nt: \\\n"), std::string::npos)
      << refused.output;
}

TEST_F(List, TheListingInTheGuideIsWhatTheProgramWrites) {
  // The fenced blocks of docs/ferrox-list.md: files ("tvs NAME"), the
  // command ("sh command") and the listing it writes ("text listing"),
  // whose paths start with /home/ada/ for the working folder.
  std::ifstream in(std::string(FERROX_SOURCE_DIR) + "/docs/ferrox-list.md");
  std::string line, role, text, command, expected;
  bool inBlock = false;
  while (std::getline(in, line)) {
    if (line.rfind("```", 0) != 0) {
      text += inBlock ? line + "\n" : "";
      continue;
    }
    if (!inBlock) {
      role = line.substr(3), text.clear(), inBlock = true;
      continue;
    }
    inBlock = false;
    if (role.rfind("tvs ", 0) == 0)
      Write(role.substr(4), text);
    else if (role == "sh command")
      command = text;
    else if (role == "text listing")
      expected = text;
  }
  ASSERT_FALSE(expected.empty());
  std::istringstream words(command);
  std::vector<std::string> args;
  for (std::string word; words >> word;)
    args.push_back(word);
  ASSERT_EQ(args.at(0), "ferrox-list");
  args.erase(args.begin());
  RunList(args);
  for (std::size_t at; (at = expected.find("/home/ada/")) != std::string::npos;)
    expected.replace(at, 10, WorkDir());
  EXPECT_EQ(Read("prog.lst"), expected);
}

} // namespace
