//===- driver/build_test.cpp ----------------------------------------------===//

#include "driver/build.h"

#include "assembler/namespaces.h"
#include "driver/diagnostics.h"
#include "driver/observer.h"
#include "image/image_writer.h"
#include "util/files.h"
#include "util/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <unordered_map>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const fs::path &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

struct Outcome {
  int status;
  std::string output;
  std::string image;
  bool operator==(const Outcome &) const = default;
};

class BuildTest : public ::testing::Test {
protected:
  void SetUp() override {
    // A folder of this process's own: ctest runs each test in a process
    // of its own, side by side, and other builds on the machine do too.
    m_Dir = fs::path(::testing::TempDir()) / ("build_test-" + std::to_string(platform::ProcessId()));
    fs::remove_all(m_Dir);
    fs::create_directories(m_Dir);
    for (const char *name : {"std.tvh", "Instructions.okl", "Directories.okl"})
      fs::copy_file(fs::path(FERROX_DATA_DIR) / name, m_Dir / name);
    SetProgramDirectoryForTesting(m_Dir.string() + "/");
  }
  void TearDown() override {
    SetProgramDirectoryForTesting("");
    ResetAllState();
    fs::remove_all(m_Dir);
  }

  /// Runs ferrox in this process on `source`, as its command line would.
  Outcome Build(const std::string &source) {
    WriteAll(m_Dir / "prog.tvs", source);
    std::string output;
    CaptureOutputForTesting(&output);
    std::string src = (m_Dir / "prog.tvs").string();
    std::string img = (m_Dir / "prog.img").string();
    const char *argv[] = {"ferrox", src.c_str(), img.c_str()};
    int status = RunFerrox(3, argv);
    CaptureOutputForTesting(nullptr);
    // The time taken is the one line that may differ.
    output = std::regex_replace(output, std::regex("Total time   : [0-9.]+s"), "T");
    std::string image = fs::exists(m_Dir / "prog.img") ? ReadAll(m_Dir / "prog.img") : "";
    fs::remove(m_Dir / "prog.img");
    return {status, output, image};
  }

  fs::path m_Dir;
};

TEST_F(BuildTest, EachBuildInAProcessGivesWhatTheFirstGave) {
  WriteAll(m_Dir / "io.tvh", "ifndef IO_TVH\ndefine IO_TVH\nnamespace io\nport: data1u 7\nend\nendif\n");
  // A build that leaves macros, labels, namespaces, fix-ups, included files
  // and a boot value behind, and one that fails with many errors.
  const std::string first =
      "include \"io.tvh\"\ninclude \"io.tvh\"\ndefine TWICE data2u 2, 2\n"
      "namespace a\nx: TWICE\ndata4i &later, &io.port\nend\nbootend\n"
      "later: data4f 1.5\ncall a.x\n";
  const std::string second =
      "x: data1u 1\nnamespace a\nx: data1u 2\nend\nTWICE\nbogus\n"
      "data4i &nowhere\nnamespace n\n" + std::string(9, '\n') + "bad1\nbad2\nbad3\nbad4\nbad5\n";
  Outcome a1 = Build(first);
  Outcome b1 = Build(second);
  Outcome a2 = Build(first);
  Outcome b2 = Build(second);
  EXPECT_EQ(a1.status, 0) << a1.output;
  EXPECT_NE(b1.status, 0);
  EXPECT_EQ(a2, a1);
  EXPECT_EQ(b2, b1);
  EXPECT_NE(b1.output.find("and more errors..."), std::string::npos) << b1.output;
}

/// Keeps what a build tells.
class CRecorder : public CBuildObserver {
public:
  void OnError(int code, std::string_view, std::uint32_t fileId, std::int32_t line) override {
    errors.push_back(std::to_string(code) + "@" + std::string(FilePathOf(fileId)) + ":" +
                     std::to_string(line));
  }
  void OnStatement(const CStatementRecord &record) override {
    statements.push_back(std::to_string(record.lineNumber) + " " +
                         std::to_string(static_cast<int>(record.kind)) + " " +
                         std::string(record.detail) + " " + std::to_string(record.address) +
                         " " + std::to_string(record.position) + "+" +
                         std::to_string(record.size) + " " + std::string(record.nameSpace));
  }
  std::vector<std::string> errors;
  std::vector<std::string> statements;
};

TEST_F(BuildTest, AnObservedBuildInMemoryReadsTextsThatStandInForFiles) {
  // The disk holds one text, the editor another: the build reads the
  // editor's, keeps its image in memory and reports every error.
  WriteAll(m_Dir / "prog.tvs", "data1u 9\n");
  std::string path = (m_Dir / "prog.tvs").string();
  std::unordered_map<std::string, std::string> overlay = {
      {path, "namespace n\nx: data2u 7\nend\nreserve 2\nhalt\n" +
                 std::string(8, '\n') + "a\nb\nc\nd\ne\nf\ng\nh\ni\n"}};
  CRecorder recorder;
  std::string image;
  SetFileOverlay(&overlay);
  SetBuildObserver(&recorder);
  KeepImageInMemory(&image);
  std::string output;
  CaptureOutputForTesting(&output);
  EXPECT_FALSE(BuildProgram(path, "", true, true));
  std::vector<CLabelInfo> labels = ListLabels();
  CaptureOutputForTesting(nullptr);
  KeepImageInMemory(nullptr);
  SetBuildObserver(nullptr);
  SetFileOverlay(nullptr);
  // The namespace a statement started in, also when it changes it.
  EXPECT_EQ(recorder.statements[0], "1 0  0 0+0 ");
  EXPECT_EQ(recorder.statements[1], "2 2 2u 0 0+2 n");
  EXPECT_EQ(recorder.statements[2], "3 0  2 2+0 n");
  EXPECT_EQ(recorder.statements[3], "4 4  2 2+2 ");
  EXPECT_EQ(recorder.statements[4], "5 1 halt 4 4+2 ");
  // Nine errors, not seven; the image goes on past the first of them.
  ASSERT_EQ(recorder.errors.size(), 9u);
  EXPECT_EQ(recorder.errors[8], "900@" + path + ":22");
  EXPECT_EQ(image, std::string("\x07\x00\x00\x00\x00\x01", 6));
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0].name, "n.x");
  EXPECT_EQ(labels[0].line, 2);
}

TEST_F(BuildTest, AnImageInMemoryKeepsOnlyItsBoundedStart) {
  // 100 MB reserved before the last bytes, and a label patched past the
  // bound: memory keeps 8 bytes, the build succeeds and knows the size.
  WriteAll(m_Dir / "prog.tvs",
           "data4i &x\ndata1u 1\nreserve 100000000\ndata4i &x\nx: data1u 2\n");
  std::string image = "old";
  KeepImageInMemory(&image, 8);
  std::string output;
  CaptureOutputForTesting(&output);
  bool built = BuildProgram((m_Dir / "prog.tvs").string(), "", true, true);
  CaptureOutputForTesting(nullptr);
  KeepImageInMemory(nullptr);
  EXPECT_TRUE(built) << output;
  EXPECT_EQ(image, std::string("\x09\xe1\xf5\x05\x01\x00\x00\x00", 8));
  EXPECT_EQ(ImageFileSize(), 100000010);
}

} // namespace
