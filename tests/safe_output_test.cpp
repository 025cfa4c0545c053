//===- tests/safe_output_test.cpp - A failed build changes no file --------===//
//
// The image is written to a temporary file beside the destination and takes
// its place only when the build succeeds. Whatever else ends the build (an
// error, a full disk, a signal) leaves the destination as it was and no
// other file behind.
//
//===----------------------------------------------------------------------===//

#include "tests/harness.h"

#include <csignal>
#include <filesystem>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class SafeOutput : public Ferrox {
protected:
  /// The names in the working folder, sorted.
  Lines Files() const {
    Lines names;
    for (const auto &entry : fs::directory_iterator(WorkDir()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  /// The permission bits of a file in the working folder.
  unsigned Mode(const std::string &name) const {
    struct stat st;
    return ::stat((WorkDir() + name).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  /// A program of `lines` data lines, large enough that a signal can reach
  /// the build while it writes the image; `tail` ends it.
  void WriteLargeProgram(const std::string &name, int lines,
                         const std::string &tail = "") {
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 20);
    for (int i = 0; i < lines; ++i)
      text += "data4u 1, 2, 3, 4\n";
    Write(name, text + tail);
  }
};

TEST_F(SafeOutput, SwappedArgumentsLeaveTheSourceByteForByte) {
  // An image of printable bytes reads as a source whose statements fail
  // only once the destination, the real source, has been opened.
  const std::string source = "datans \"\\nnop\\n\"\n";
  Write("prog.tvs", source);
  ASSERT_EQ(Run({"prog.tvs", "prog.img", "-nobootinfo"}).status, 0);
  RunResult swapped = Run({"prog.img", "prog.tvs", "-nobootinfo"});
  EXPECT_EQ(swapped.status, 255);
  EXPECT_EQ(Messages(swapped.lines)[0],
            "prog.img (1): error 900: \"Tavrune\" unknown command or instruction");
  EXPECT_EQ(Read("prog.tvs"), source);
  EXPECT_EQ(Files(), (Lines{"prog.img", "prog.tvs"}));
}

TEST_F(SafeOutput, AFailureAfterTheFirstBytesLeavesTheEarlierImage) {
  Write("out.img", "earlier image");
  RunResult result = Assemble(std::string(1000, '\n') + "data1u 1\nreserve 100000\n"
                              "data1u 2\ndata4i &nowhere\n");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(Read("out.img"), "earlier image");
  EXPECT_EQ(Files(), (Lines{"out.img", "prog.src"}));
  // A destination that did not exist is still absent.
  RunResult fresh = Run({"prog.src", "new.img"});
  EXPECT_EQ(fresh.status, 255);
  EXPECT_EQ(Files(), (Lines{"out.img", "prog.src"}));
}

TEST_F(SafeOutput, AStoppedBuildLeavesTheEarlierImageAndNoTemporaryFile) {
  if (WindowsTarget())
    GTEST_SKIP() << "POSIX files, signals and limits";
  WriteLargeProgram("big.src", 3'000'000);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    Write("out.img", "earlier image");
    RunResult stopped = RunAndSignal({"big.src", "out.img"}, signal, ".out.img.");
    EXPECT_EQ(stopped.signal, signal) << stopped.output;
    EXPECT_EQ(Read("out.img"), "earlier image");
    EXPECT_EQ(Files(), (Lines{"big.src", "out.img"}));
  }
}

TEST_F(SafeOutput, TheDestinationKeepsItsModeAndLinksTheirTargets) {
  if (WindowsTarget())
    GTEST_SKIP() << "POSIX files, signals and limits";
  Write("prog.src", "data1u 1\n");
  Write("out.img", "earlier");
  fs::permissions(WorkDir() + "out.img", fs::perms(0640));
  ASSERT_EQ(Run({"prog.src", "out.img", "-nodisk", "-nobootinfo"}).status, 0);
  EXPECT_EQ(Read("out.img"), B({1}));
  EXPECT_EQ(Mode("out.img"), 0640u);
  mode_t mask = ::umask(0);
  ::umask(mask);
  ASSERT_EQ(Run({"prog.src", "new.img"}).status, 0);
  EXPECT_EQ(Mode("new.img"), 0666u & ~mask);

  // A symbolic link stays a link; the file it points to is replaced, and a
  // failed build leaves both alone. A dangling link gets its target.
  Write("images/real.img", "earlier");
  fs::create_symlink("images/real.img", WorkDir() + "link.img");
  ASSERT_EQ(Run({"prog.src", "link.img", "-nodisk", "-nobootinfo"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(WorkDir() + "link.img"));
  EXPECT_EQ(Read("images/real.img"), B({1}));
  Write("bad.src", "data1u 9\nbogus\n");
  EXPECT_EQ(Run({"bad.src", "link.img"}).status, 255);
  EXPECT_TRUE(fs::is_symlink(WorkDir() + "link.img"));
  EXPECT_EQ(Read("images/real.img"), B({1}));
  fs::create_symlink("images/later.img", WorkDir() + "dangling.img");
  ASSERT_EQ(Run({"prog.src", "dangling.img", "-nodisk", "-nobootinfo"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(WorkDir() + "dangling.img"));
  EXPECT_EQ(Read("images/later.img"), B({1}));

  // The destination's name gets the new image; another hard link to the
  // earlier one keeps it.
  fs::create_hard_link(WorkDir() + "out.img", WorkDir() + "backup.img");
  Write("two.src", "data1u 2\n");
  ASSERT_EQ(Run({"two.src", "out.img", "-nodisk", "-nobootinfo"}).status, 0);
  EXPECT_EQ(Read("out.img"), B({2}));
  EXPECT_EQ(Read("backup.img"), B({1}));

  // A device cannot be replaced: it is written to.
  RunResult null = Run({"prog.src", "/dev/null"});
  EXPECT_EQ(null.status, 0) << null.output;
  EXPECT_EQ(Normalized(null.lines)[4], "Output size  : 0 (0B)");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(SafeOutput, AFileSizeLimitIsAWriteErrorAndClosedOutputIsNoFile) {
  if (WindowsTarget())
    GTEST_SKIP() << "POSIX files, signals and limits";
  Write("out.img", "earlier image");
  LimitFileSize(1 << 20);
  RunResult limited = Assemble("reserve 2000000\ndata1u 1\n");
  LimitFileSize(0);
  EXPECT_EQ(limited.status, 255);
  EXPECT_EQ(Messages(limited.lines), Lines{"Error 203: Cannot write to output file"});
  EXPECT_EQ(Read("out.img"), "earlier image");
  EXPECT_EQ(Files(), (Lines{"out.img", "prog.src"}));

  // With standard output closed, the image must not take its place (and
  // the report must not land in the image).
  CloseStandardOutput(true);
  RunResult closed = Assemble("data1u 1, 2\n", {"-nodisk", "-nobootinfo"});
  CloseStandardOutput(false);
  EXPECT_EQ(closed.status, 0);
  EXPECT_EQ(Read("out.img"), B({1, 2}));

  // Nor may the destination be the file the report goes to.
  Write("prog.src", "data1u 1\n");
  RunResult same = Run({"prog.src", "/dev/stdout"});
  EXPECT_EQ(same.status, 255);
  EXPECT_EQ(Messages(same.lines), Lines{"Error 200: Cannot open destination file"});
}

TEST_F(SafeOutput, TwoBuildsOfOneDestinationLeaveOneWholeImage) {
  // Two programs of different images, both long enough to overlap.
  WriteLargeProgram("a.src", 400'000);
  Write("b.src", Repeat("data2u 5, 6\n", 600'000));
  std::string a = Repeat(Hex("01000000 02000000 03000000 04000000"), 400'000);
  std::string b = Repeat(Hex("0500 0600"), 600'000);
  for (int round = 0; round < 3; ++round) {
    std::vector<RunResult> results = RunTogether(
        {{"a.src", "out.img", "-nodisk", "-nobootinfo"},
         {"b.src", "out.img", "-nodisk", "-nobootinfo"}});
    EXPECT_EQ(results[0].status, 0);
    EXPECT_EQ(results[1].status, 0);
    std::string image = Read("out.img");
    EXPECT_TRUE(image == a || image == b) << image.size() << " bytes";
    EXPECT_EQ(Files(), (Lines{"a.src", "b.src", "out.img"}));
  }
}

} // namespace
