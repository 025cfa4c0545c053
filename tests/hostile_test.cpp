//===- tests/hostile_test.cpp - Hostile and absurd inputs -----------------===//
//
// Inputs no one writes on purpose: binary files, enormous lines and names,
// deep nesting, runaway macros and inclusions, huge reservations, broken
// configuration files, unusable paths. Every build must end in bounded time
// and memory, and a build that fails must report only numbered errors, exit
// with 255 and leave no destination file.
//
//===----------------------------------------------------------------------===//

#include "tests/harness.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;

// Sanitizer builds are debug builds and run several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 12;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr double kSlowdown = 12;
#else
constexpr double kSlowdown = 1;
#endif
#else
constexpr double kSlowdown = 1;
#endif

/// Seconds and megabytes a build may take here before it counts as a hang
/// or a runaway (sanitizer builds get more of both).
struct Bound {
  double seconds = 5;
  long megabytes = 256;
};

/// Runs long enough to measure a build that overruns its bound.
constexpr int kKillAfterSeconds = 300;

std::string Pattern(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char &c : bytes)
    c = static_cast<char>(random() & 0xFF);
  return bytes;
}

/// Whether `text` starts at `at` with digits and then `after`.
bool DigitsThen(const std::string &text, std::size_t at,
                const std::string &after) {
  std::size_t end = at;
  while (end < text.size() &&
         std::isdigit(static_cast<unsigned char>(text[end])))
    ++end;
  return end > at && text.compare(end, after.size(), after) == 0;
}

/// "Error <n>: ...", "<file> (<line>): error <n>: ..." or the notice that
/// more errors were counted. (No std::regex: its matcher recurses per
/// character and overflows the stack on megabyte lines.)
bool IsNumberedError(const std::string &line) {
  if (line == "and more errors...")
    return true;
  if (line.rfind("Error ", 0) == 0)
    return DigitsThen(line, 6, ": ");
  std::size_t mark = line.find("): error ");
  if (mark == std::string::npos || !DigitsThen(line, mark + 9, ": "))
    return false;
  std::size_t open = line.rfind(" (", mark);
  if (open == std::string::npos)
    return false;
  std::size_t digits = open + 2 + (line[open + 2] == '-' ? 1 : 0);
  return DigitsThen(line, digits, "): error ");
}

class Hostile : public Ferrox {
protected:
  /// Assembles `source` (written to prog.src) into out.img and checks the
  /// bounds.
  RunResult Build(const std::string &source,
                  const std::vector<std::string> &switches = {},
                  Bound bound = {}) {
    Write("prog.src", source);
    // A failure before the destination is opened leaves an older image.
    std::error_code error;
    fs::remove(WorkDir() + "out.img", error);
    std::vector<std::string> args = {"prog.src", "out.img"};
    args.insert(args.end(), switches.begin(), switches.end());
    return RunBounded(args, bound);
  }

  RunResult RunBounded(const std::vector<std::string> &args, Bound bound = {}) {
    RunResult result = Run(args, kKillAfterSeconds);
    EXPECT_FALSE(result.timedOut);
    // Under wine every file system call of a Windows program costs about a
    // millisecond.
    double seconds = bound.seconds * kSlowdown * (WindowsTarget() ? 8 : 1);
    EXPECT_LT(result.seconds, seconds) << "took " << result.seconds << " s";
    // Sanitizers keep freed memory in quarantine and add shadow memory.
    long limitKb = bound.megabytes * 1024 * (kSlowdown > 1 ? 3 : 1);
    EXPECT_LT(result.peakMemoryKb, limitKb)
        << "peak " << result.peakMemoryKb / 1024 << " MB";
    return result;
  }

  /// A failed build: exit status 255, every message a numbered error, no
  /// destination file.
  void ExpectCleanFailure(const RunResult &result,
                          const std::string &destination = "out.img") {
    EXPECT_EQ(result.status, 255) << result.output.substr(0, 2000);
    Lines messages = Messages(result.lines);
    EXPECT_FALSE(messages.empty());
    for (const std::string &line : messages)
      EXPECT_TRUE(IsNumberedError(line)) << line.substr(0, 200);
    EXPECT_FALSE(Exists(destination));
  }

  /// The report line that starts with `label`.
  static std::string ReportLine(const RunResult &result,
                                const std::string &label) {
    for (const std::string &line : result.lines)
      if (line.rfind(label, 0) == 0)
        return line;
    return "<no " + label + " line>";
  }

  /// The first message line, shortened for comparisons.
  static std::string First(const RunResult &result, std::size_t length = 200) {
    Lines messages = Messages(result.lines);
    return messages.empty() ? std::string() : messages[0].substr(0, length);
  }
};

TEST_F(Hostile, BinaryFileAsSourceIsALexerError) {
  std::string binary = "\177ELF\2\1\1" + Pattern(200000, 1);
  RunResult result = Build(binary);
  ExpectCleanFailure(result);
  EXPECT_EQ(First(result), "prog.src (1): error 400: General syntax error");

  // Random bytes behind a valid first line: the lexer stops at the first
  // line that starts with a byte no token starts with.
  for (unsigned seed = 2; seed < 12; ++seed) {
    RunResult random = Build("data1u 1\n" + Pattern(20000, seed));
    ExpectCleanFailure(random);
  }
}

TEST_F(Hostile, ZeroAndHighBytesEverywhere) {
  // In strings and comments they are data and text.
  std::string odd = std::string("\0\x01\x7F\x80\xFE\xFF", 6);
  std::string fine;
  for (int i = 0; i < 1000; ++i)
    fine += "datans \"" + odd + "\" ; " + odd + "\n";
  EXPECT_EQ(Bytes(fine), Repeat(odd, 1000));

  // Anywhere else each one is error 400, and the build fails cleanly: after
  // a token the rest of the line is dropped, at the start of a line the
  // file ends there.
  std::string bad;
  for (int i = 0; i < 1000; ++i)
    bad += "data1u 1" + odd.substr(static_cast<std::size_t>(i) % 6, 1) + "2\n";
  RunResult result = Build(bad);
  ExpectCleanFailure(result);
  EXPECT_EQ(First(result), "prog.src (1): error 400: General syntax error");
  EXPECT_EQ(result.lines.back(), "Errors       : 1000 (FAILURE!)");
  for (char byte : odd) {
    RunResult start = Build("data1u 1\n" + std::string(1, byte) + "data1u 2\n");
    ExpectCleanFailure(start);
    EXPECT_EQ(start.lines,
              Lines{"prog.src (2): error 400: General syntax error"});
  }
}

TEST_F(Hostile, TenMegabyteLines) {
  std::string text(10'000'000, 'a');
  RunResult result = Build("data0s \"" + text + "\"\n; " + text + "\n",
                           {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << First(result);
  EXPECT_EQ(Read("out.img"), text + '\0');
}

TEST_F(Hostile, AMillionTokensOnOneLine) {
  RunResult result = Build("data1u" + Repeat(" 7,", 1'000'000) + " 7\n",
                           {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << First(result);
  EXPECT_EQ(Read("out.img"), std::string(1'000'001, '\7'));
}

TEST_F(Hostile, AMegabyteIdentifier) {
  std::string name(1'000'000, 'q');
  std::string upper(1'000'000, 'Q');
  RunResult result =
      Build("data1u 1\n" + name + ": data1u 2\ndata4i &" + upper + "\n",
            {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << First(result);
  EXPECT_EQ(Read("out.img"), Hex("01 02 01000000"));

  RunResult unknown = Build(name + " 1\n");
  ExpectCleanFailure(unknown);
  EXPECT_EQ(Messages(unknown.lines),
            Lines{"prog.src (1): error 900: \"" + name +
                  "\" unknown command or instruction"});
}

TEST_F(Hostile, NamespacesNestUpToTheirBoundAndNoFurther) {
  // 256 levels, with labels on the way down used from the deepest level
  // and from the top.
  const int depth = 256;
  std::string source;
  std::string path;
  for (int i = 0; i < depth; ++i) {
    source += "namespace n\n";
    path += path.empty() ? "n" : ".n";
    if (i % 100 == 0)
      source += "l" + std::to_string(i) + ": data1u 1\n";
  }
  source += "deep: data4i &l0, &l200\n";
  source += Repeat("end\n", depth);
  source += "data4i &" + path + ".deep\n";
  RunResult result = Build(source, {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << First(result);
  EXPECT_EQ(Read("out.img"), Hex("010101 00000000 02000000 03000000"));

  // One level more is refused, once; its "end" still matches.
  RunResult deeper = Build(Repeat("namespace n\n", 10'000) +
                           Repeat("end\n", 10'000) + "data1u 1\n");
  ExpectCleanFailure(deeper);
  EXPECT_EQ(Messages(deeper.lines),
            Lines{"prog.src (257): error 912: \"n\" namespace nesting too deep"});
  RunResult unclosed = Build(Repeat("namespace n\n", 10'000));
  ExpectCleanFailure(unclosed);
  EXPECT_EQ(Messages(unclosed.lines),
            (Lines{"prog.src (257): error 912: \"n\" namespace nesting too deep",
                   "Error 903: \"" + path + "\" unclosed namespace"}));
}

TEST_F(Hostile, LabelsUsedAndDefinedAHundredThousandNamespacesDeep) {
  // Every level uses a label of the outermost namespace and one defined
  // at the end: the nesting stops at its bound, and nothing below it costs
  // a walk through the levels.
  const int depth = 100'000;
  std::string source = "namespace n\ntop: data1u 0\n";
  for (int i = 1; i < depth; ++i)
    source += "namespace n\nl" + std::to_string(i) + ": data4i &top, &later\n";
  source += Repeat("end\n", depth) + "later: data1u 7\n";
  RunResult result = Build(source, {"-nodisk", "-nobootinfo"}, Bound{1, 256});
  ExpectCleanFailure(result);
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (513): error 912: \"n\" namespace nesting too deep"});
}

TEST_F(Hostile, ANameHeldAtEveryLevelOfADeepChain) {
  // Each level opens a namespace holding "t" beside the chain.
  std::string level = "namespace n\nnamespace s\nt: data1u 1\ndata4i &t\nend\n";
  const int depth = 200;
  RunResult result = Build(Repeat(level, depth) + Repeat("end\n", depth),
                           {"-nodisk", "-nobootinfo"}, Bound{1, 256});
  EXPECT_EQ(result.status, 0) << First(result);
  std::string image = Read("out.img");
  ASSERT_EQ(image.size(), 5u * depth);
  EXPECT_EQ(image.substr(image.size() - 5), "\1" + Hex("e3030000"));
  // Far deeper, the chain stops at the bound, quickly.
  RunResult deep = Build(Repeat(level, 50'000) + Repeat("end\n", 50'000),
                         {"-nodisk", "-nobootinfo"}, Bound{1, 256});
  ExpectCleanFailure(deep);
  EXPECT_EQ(First(deep), "prog.src (1277): error 912: \"s\" namespace nesting too deep");
}

TEST_F(Hostile, TenThousandNestedConditionalRegions) {
  const std::size_t depth = 10'000;
  std::string source = Repeat("ifdef NOPE\n", depth) + "data1u 1\n" +
                       Repeat("ifdef NOPE\nelse\nendif\n", 10) +
                       Repeat("endif\n", depth) +
                       Repeat("ifndef NOPE\n", depth) + "data1u 2\n" +
                       Repeat("endif\n", depth) + "data1u 3\n";
  EXPECT_EQ(Bytes(source), B({2, 3}));
}

TEST_F(Hostile, AChainOfTenThousandMacros) {
  std::string source = "define M0 5\n";
  for (int i = 1; i < 10'000; ++i)
    source +=
        "define M" + std::to_string(i) + " M" + std::to_string(i - 1) + "\n";
  source += "data1u M9999\n";
  RunResult result = Build(source, {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << First(result);
  EXPECT_EQ(Read("out.img"), B({5}));
  EXPECT_EQ(ReportLine(result, "Macros"),
            "Macros       : defined - 10000, used - 10000");
}

TEST_F(Hostile, MacroGuardsStopRecursionAndRunawayGrowth) {
  // A cycle through ten thousand macros.
  std::string cycle;
  for (int i = 0; i < 10'000; ++i)
    cycle += "define M" + std::to_string(i) + " M" +
             std::to_string((i + 1) % 10'000) + "\n";
  RunResult recursive = Build(cycle + "data1u 1, M0\n");
  ExpectCleanFailure(recursive);
  EXPECT_EQ(First(recursive),
            "prog.src (10001): error 802: \"M9999\" recursive macro expansion");

  // Each macro names the one before twice: a line would grow to 2^60
  // tokens. Every such line stops at the line limit, quickly.
  std::string doubling = "define D0 1\n";
  for (int i = 1; i <= 60; ++i)
    doubling += "define D" + std::to_string(i) + " D" + std::to_string(i - 1) +
                " d" + std::to_string(i - 1) + "\n";
  RunResult runaway = Build(doubling + Repeat("data1u D60\n", 100));
  ExpectCleanFailure(runaway);
  EXPECT_EQ(First(runaway),
            "prog.src (62): error 803: \"D60\" macro expansion too large");
  EXPECT_EQ(runaway.lines.back(), "Errors       : 200 (FAILURE!)");

}

TEST_F(Hostile, ARealisticProgramIsNotRefusedForItsMacroExpansions) {
  // A table macro used on every line adds some 270 MB to the program: far
  // more than a contrived program should, far less than what the build
  // refuses.
  std::string values = Repeat(" 123456789012", 100);
  RunResult result = Build("define ROW data1u" + values + "\n" +
                               Repeat("ROW\n", 210'000),
                           {"-nodisk", "-nobootinfo"}, Bound{10, 700});
  EXPECT_EQ(result.status, 0) << First(result);
  EXPECT_EQ(Read("out.img").size(), 21'000'000u);
}

TEST_F(Hostile, IncludeGuardsStopDeepAndWideInclusion) {
  Write("self.tvh", "data1u 1\ninclude \"self.tvh\"\ndata1u 2\n");
  RunResult deep = Build("include \"self.tvh\"\n");
  ExpectCleanFailure(deep);
  EXPECT_EQ(First(deep),
            "self.tvh (2): error 1002: \"self.tvh\" include nesting too deep");

  // Twice per level: 2^100 inclusions without a bound on their number.
  Write("twice.tvh", "include \"twice.tvh\"\ninclude \"twice.tvh\"\n");
  RunResult wide = Build("include \"twice.tvh\"\n");
  ExpectCleanFailure(wide);
  EXPECT_EQ(
      ReportLine(wide, "Source"),
      "Source       : lines - 20001, files - 10002, size - 400020 (390kB)");
}

TEST_F(Hostile, GuardedHeadersIncludedByEveryModuleAreNotCounted) {
  // 501 modules, each including the same 20 guarded headers: 10,521
  // directives, of which only the first inclusion of each file adds lines.
  for (int h = 0; h < 20; ++h) {
    std::string guard = "H" + std::to_string(h) + "_TVH";
    Write("h" + std::to_string(h) + ".tvh", "ifndef " + guard + "\ndefine " +
                                                guard + "\ndata1u " +
                                                std::to_string(h) + "\nendif\n");
  }
  std::string main;
  for (int m = 0; m < 501; ++m) {
    std::string module;
    for (int h = 0; h < 20; ++h)
      module += "include \"h" + std::to_string(h) + ".tvh\"\n";
    Write("m" + std::to_string(m) + ".tvh", module + "data1u 99\n");
    main += "include \"m" + std::to_string(m) + ".tvh\"\n";
  }
  RunResult result = Build(main, {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << First(result);
  std::string expected;
  for (int h = 0; h < 20; ++h)
    expected += static_cast<char>(h);
  EXPECT_EQ(Read("out.img"), expected + std::string(501, 99));
}

TEST_F(Hostile, IncludeBoundCountsEveryInclusionOfTheBuild) {
  Write("one.tvh", "data1u 1\n");
  RunResult result = Build(Repeat("include \"one.tvh\"\n", 10'001),
                           {"-nodisk", "-nobootinfo"});
  ExpectCleanFailure(result);
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (10001): error 1003: \"one.tvh\" too many included "
                  "files"});
}

TEST_F(Hostile, AnIncludeLookupIsDoneOncePerName) {
  // Ten thousand include folders, none of which holds the file: a thousand
  // directives naming it cost one search, not a thousand.
  std::string folders;
  for (int i = 0; i < 10'000; ++i)
    folders += "folder" + std::to_string(i) + "\n";
  Install("Directories.okl", folders);
  RunResult result = Build(Repeat("include \"missing.tvh\"\n", 1000));
  ExpectCleanFailure(result);
  EXPECT_EQ(First(result),
            "prog.src (1): error 1001: \"missing.tvh\" file not found");
  EXPECT_EQ(result.lines.back(), "Errors       : 1000 (FAILURE!)");
}

TEST_F(Hostile, ReadingStopsWhereLexingDoes) {
  // A line that starts with a byte no token starts with ends the file at
  // once, however long the line: nothing more is read or kept.
  std::ofstream(WorkDir() + "sparse.src").close();
  fs::resize_file(WorkDir() + "sparse.src", std::uintmax_t{1536} << 20);
  RunResult sparse = RunBounded({"sparse.src", "out.img"}, Bound{2, 64});
  ExpectCleanFailure(sparse);
  EXPECT_EQ(sparse.lines,
            Lines{"sparse.src (1): error 400: General syntax error"});
  if (!WindowsTarget() && fs::exists("/dev/zero")) {
    RunResult zero = Build("include \"/dev/zero\"\n", {}, Bound{2, 64});
    ExpectCleanFailure(zero);
    EXPECT_EQ(First(zero), "zero (1): error 400: General syntax error");
  }
  // A comment line is dropped as it is read. (The text is written first:
  // the test's own memory counts in a child's until it starts the program.)
  Write("prog.src", "; " + std::string(100 << 20, 'c') + "\ndata1u 7\n");
  RunResult comment =
      RunBounded({"prog.src", "out.img", "-nodisk", "-nobootinfo"}, Bound{3, 64});
  EXPECT_EQ(comment.status, 0) << First(comment);
  EXPECT_EQ(Read("out.img"), B({7}));
}

TEST_F(Hostile, ABuildThatRunsOutOfMemoryEndsWithANumberedError) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers reserve address space of their own";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "the sanitizers reserve address space of their own";
#endif
#endif
  if (WindowsTarget())
    GTEST_SKIP() << "the address space limit is a POSIX one";
  std::string source;
  for (int i = 0; i < 1'000'000; ++i)
    source += "l" + std::to_string(i) + ": data4i &l" + std::to_string(i) +
              ", 1, 2\n";
  LimitMemory(std::uint64_t{48} << 20);
  RunResult result = Build(source);
  LimitMemory(0);
  ExpectCleanFailure(result);
  EXPECT_EQ(First(result), "Error 701: Not enough memory for this build");
}

TEST_F(Hostile, ReserveOfTwoGigabytesThenData) {
  RunResult result =
      Build("reserve 2147483647\ndata1u 9\n", {}, Bound{10, 256});
  if (result.status == 0) {
    // Written as a sparse file where the file system allows.
    std::error_code error;
    EXPECT_EQ(fs::file_size(WorkDir() + "out.img", error), 20u + 2147483648u);
    std::ifstream image(WorkDir() + "out.img", std::ios::binary);
    image.seekg(std::streamoff{20} + 2147483647);
    EXPECT_EQ(image.get(), 9);
    fs::remove(WorkDir() + "out.img", error);
  } else {
    ExpectCleanFailure(result);
    EXPECT_EQ(First(result), "Error 203: Cannot write to output file");
  }

  // A disk that fills up part way fails the same way.
  LimitFileSize(1 << 20);
  RunResult full = Build("reserve 2147483647\ndata1u 9\n");
  ExpectCleanFailure(full);
  EXPECT_EQ(First(full), "Error 203: Cannot write to output file");
  RunResult data = Build("array1u 2000000, 1\n");
  ExpectCleanFailure(data);
  EXPECT_EQ(First(data), "Error 203: Cannot write to output file");
  LimitFileSize(0);
}

TEST_F(Hostile, OffsetsWrapAroundBothWays) {
  EXPECT_EQ(Bytes("offsetdelta -1\nlow: data1u 0\n"
                  "offset 2147483647\nhigh: data1u 0\nafter:\n"
                  "offsetdelta -2147483648\nback:\n"
                  "offsetdelta 2147483647\noffsetdelta 2147483647\nround:\n"
                  "data4i &low, &high, &after, &back, &round"),
            Hex("00 00 ffffffff ffffff7f 00000080 00000000 feffffff"));
}

TEST_F(Hostile, AMillionLabels) {
  std::string source = "data4i &l999999, &L0\n";
  for (int i = 0; i < 1'000'000; ++i)
    source += "l" + std::to_string(i) + ": data1u 0\n";
  source += "data4i &l500000\n";
  RunResult result = Build(source, {"-nodisk", "-nobootinfo"}, Bound{10, 512});
  EXPECT_EQ(result.status, 0) << First(result);
  std::string image = Read("out.img");
  EXPECT_EQ(image.substr(0, 8), Hex("47420f00 08000000"));
  EXPECT_EQ(image.substr(image.size() - 4), Hex("28a10700"));
  EXPECT_EQ(ReportLine(result, "Labels"),
            "Labels       : defined - 1000000, used - 3");
}

TEST_F(Hostile, ALongArrayOfALabelDefinedLaterIsPatchedQuickly) {
  // Ten million uses of one label, patched at the end (once one system
  // call each: half a minute).
  RunResult result = Build("array4i 10000000, &later\nlater:\n",
                           {"-nodisk", "-nobootinfo"}, Bound{5, 256});
  EXPECT_EQ(result.status, 0) << First(result);
  // Every element holds the address 40,000,000.
  EXPECT_TRUE(Read("out.img") == Repeat(Hex("005a6202"), 10'000'000));
}

TEST_F(Hostile, SourceAndDestinationPathsThatCannotBeUsed) {
  Write("prog.src", "data1u 1\n");
  fs::create_directories(WorkDir() + "folder.src");
  RunResult folderSource = RunBounded({"folder.src", "out.img"});
  ExpectCleanFailure(folderSource);
  EXPECT_EQ(First(folderSource),
            "Error 100: Cannot load source file \"folder.src\"");

  for (const std::string destination :
       {"missing/out.img", "prog.src/out.img", "folder.src", "./prog.src"}) {
    RunResult result = RunBounded({"prog.src", destination});
    EXPECT_EQ(result.status, 255) << destination;
    EXPECT_EQ(Messages(result.lines),
              Lines{"Error 200: Cannot open destination file"})
        << destination;
    EXPECT_EQ(Read("prog.src"), "data1u 1\n") << destination;
  }
  EXPECT_FALSE(Exists("missing"));
  EXPECT_TRUE(fs::is_empty(WorkDir() + "folder.src"));

  // The same file under other names is still the source.
  fs::create_hard_link(WorkDir() + "prog.src", WorkDir() + "hard.img");
  fs::create_symlink("prog.src", WorkDir() + "soft.img");
  for (const std::string destination : {"hard.img", "soft.img"}) {
    RunResult result = RunBounded({"prog.src", destination});
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(First(result), "Error 200: Cannot open destination file");
    EXPECT_EQ(Read("prog.src"), "data1u 1\n") << destination;
  }
}

TEST_F(Hostile, DestinationInAFolderThatCannotBeWritten) {
  Write("prog.src", "data1u 1\n");
  std::string folder = WorkDir() + "locked";
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  std::string destination = "locked/out.img";
  // Privileged users write through permissions; a folder of /proc refuses
  // new files to everyone.
  if (FILE *probe = std::fopen((folder + "/probe").c_str(), "w")) {
    std::fclose(probe);
    fs::remove(folder + "/probe");
    if (!fs::is_directory("/proc"))
      GTEST_SKIP() << "permissions do not stop this user and there is no /proc";
    destination = "/proc/ferrox-" + std::to_string(getpid()) + ".img";
  }
  RunResult result = RunBounded({"prog.src", destination});
  ExpectCleanFailure(result, destination);
  EXPECT_EQ(First(result), "Error 200: Cannot open destination file");
}

TEST_F(Hostile, IncludebinOfTheDestinationUnderAnotherName) {
  // Through a link or an absolute path, the destination is still a file the
  // build read: it stays as it was, and the build fails.
  fs::create_symlink("out.img", WorkDir() + "alias.bin");
  std::string absolute = WorkDir() + "out.img";
  for (const std::string &name : {std::string("alias.bin"), absolute}) {
    Write("prog.src", "data1u 1\nincludebin \"" + name + "\"\n");
    Write("out.img", "earlier");
    RunResult result = RunBounded({"prog.src", "out.img"});
    EXPECT_EQ(result.status, 255) << name;
    EXPECT_EQ(Messages(result.lines), Lines{"Error 200: Cannot open destination file"});
    EXPECT_EQ(Read("out.img"), "earlier") << name;
  }
  EXPECT_TRUE(fs::is_symlink(WorkDir() + "alias.bin"));
}

TEST_F(Hostile, IncludebinOfAnEndlessDevice) {
  if (WindowsTarget() || !fs::exists("/dev/zero"))
    GTEST_SKIP() << "needs /dev/zero";
  // With the image already given up, reading stops at 2 GiB.
  RunResult endless = Build("bogus\nincludebin \"/dev/zero\"\n");
  ExpectCleanFailure(endless);
  EXPECT_EQ(Messages(endless.lines),
            (Lines{"prog.src (1): error 900: \"bogus\" unknown command or "
                   "instruction",
                   "prog.src (2): error 908: \"/dev/zero\" cannot read from "
                   "included file"}));
  // Writing it stops when the disk is full.
  LimitFileSize(1 << 20);
  RunResult full = Build("includebin \"/dev/zero\"\n");
  ExpectCleanFailure(full);
  EXPECT_EQ(First(full), "Error 203: Cannot write to output file");
  LimitFileSize(0);
}

/// Configuration files that no reader should choke on.
std::vector<std::pair<std::string, std::string>> HostileMarkup() {
  std::string nul("\0", 1);
  return {
      {"random bytes", Pattern(100000, 7)},
      {"random text",
       [] {
         std::string text = Pattern(100000, 8);
         for (char &c : text)
           c = "[]{}$#/&:=;, \"'\nx1"[static_cast<unsigned char>(c) % 19];
         return text;
       }()},
      {"nested sections", std::string(100000, '[')},
      {"nested entities", Repeat("[$", 100000)},
      {"nested directives", Repeat("[#if ", 100000)},
      {"nested special characters", Repeat("{&", 100000)},
      {"nested comments", Repeat("[/", 100000)},
      {"nested definitions", Repeat("[#def a ", 100000)},
      {"self-inclusion", "[#inc Instructions.okl] [#inc Directories.okl]\n"},
      {"inclusion cycle", "[#inc cycle-a.okl]\n"},
      {"self-referencing entity", "[#def x [&[]$x[&]]]\n[$x]\n"},
      {"doubling entity", "[#def x [&[]$x[&]][&[]$x[&]]]\n[$x]\n"},
      {"entity naming an inclusion",
       "[#def x [&[]#inc Instructions.okl[&]]]\n[$x]\n"},
      {"zero bytes", "nop 0 0;\n" + nul + "\n[#inc a" + nul + "b]\n"},
  };
}

TEST_F(Hostile, InstructionSetFilesThatCannotBeRead) {
  Install("cycle-a.okl", "[#inc cycle-b.okl]");
  Install("cycle-b.okl", "[#inc cycle-a.okl]");
  for (const auto &[name, content] : HostileMarkup()) {
    Install("Instructions.okl", content);
    RunResult result = Build("nop\n");
    EXPECT_EQ(result.status, 255) << name;
    EXPECT_EQ(result.lines,
              Lines{"Error 300: Cannot load instruction definitions from file "
                    "\"Instructions.okl\""})
        << name;
    EXPECT_FALSE(Exists("out.img")) << name;
  }
}

TEST_F(Hostile, DirectoryListFilesThatCannotBeRead) {
  Install("cycle-a.okl", "[#inc cycle-b.okl]");
  Install("cycle-b.okl", "[#inc cycle-a.okl]");
  for (const auto &[name, content] : HostileMarkup()) {
    Install("Directories.okl", content);
    RunResult result = Build("data1u 1\n");
    ExpectCleanFailure(result);
    EXPECT_EQ(result.lines,
              Lines{"Error 1000: Cannot load include directories from file "
                    "\"Directories.okl\""})
        << name;
  }
}

} // namespace
