//===- preprocessor/include_ahead_test.cpp --------------------------------===//

#include "preprocessor/include_ahead.h"

#include "driver/build.h"
#include "driver/diagnostics.h"
#include "preprocessor/preprocessor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

namespace {

using Line = std::tuple<std::string, std::int32_t, std::int32_t, std::string,
                        std::uint32_t>;

struct Loaded {
  std::vector<Line> lines;
  std::int32_t sourceLines, files, size;
  std::string output;
  std::int32_t taken;
};

class IncludeAheadTest : public ::testing::Test {
protected:
  void SetUp() override {
    // A folder of each test's own: CTest runs the tests in parallel.
    m_Dir = ::testing::TempDir() + "include_ahead_test_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
    std::filesystem::create_directories(m_Dir);
  }
  void TearDown() override {
    ResetAllState();
    std::filesystem::remove_all(m_Dir);
  }

  void Write(const std::string &name, const std::string &text) {
    std::ofstream(m_Dir + name, std::ios::binary) << text;
  }

  /// Loads and preprocesses main.src, with or without lexing ahead.
  Loaded Load(bool ahead) {
    ResetAllState();
    Loaded result;
    CaptureOutputForTesting(&result.output);
    g_SourceDir = m_Dir;
    if (ahead)
      BeginIncludeNotes();
    LoadSourceFile(m_Dir + "main.src", nullptr, "", 0);
    FinishLexingAheadForTesting();
    Preprocess();
    StopLexingAhead();
    CaptureOutputForTesting(nullptr);
    for (g_SourceLines.Rewind(); !g_SourceLines.AtEnd(); g_SourceLines.Advance()) {
      const CSourceLine &line = *g_SourceLines.Current();
      result.lines.emplace_back(std::string(line.FileName()), line.GetLineNumber(),
                                line.IncludeDepth(), std::string(line.Encoded()),
                                line.m_Identifiers);
    }
    result.sourceLines = g_SourceLineCount;
    result.files = g_SourceFileCount;
    result.size = g_SourceSize;
    result.taken = LexedAheadFilesTaken();
    return result;
  }

  std::string m_Dir;
};

/// A file over the size that is lexed ahead, of lines that read `line`.
std::string LargeFile(const std::string &line) {
  std::string text;
  while (text.size() <= kMinAheadFileSize)
    text += line + "\r\n";
  return text;
}

TEST_F(IncludeAheadTest, LargeIncludesAreLexedAheadAndSplicedLikeAnyOther) {
  Write("big.tvh", "; big\n" + LargeFile("Lbl: data1u 7, 'x' ; note") +
                       "data1u \"last\"");
  Write("small.tvh", "data1u 9\n");
  Write("main.src", "data1u 1\ninclude \"big.tvh\"\ninclude \"small.tvh\"\n"
                    "INCLUDE \"big.tvh\"\ndata1u 2\n");
  Loaded ahead = Load(true);
  Loaded usual = Load(false);
  // The first include of big.tvh takes the lines lexed ahead; the second
  // lexes the file again, and small.tvh is never handed to the helper.
  EXPECT_EQ(ahead.taken, 1);
  EXPECT_EQ(usual.taken, 0);
  EXPECT_EQ(ahead.lines, usual.lines);
  EXPECT_EQ(ahead.sourceLines, usual.sourceLines);
  EXPECT_EQ(ahead.files, usual.files);
  EXPECT_EQ(ahead.size, usual.size);
  EXPECT_EQ(ahead.output, "");
  EXPECT_GT(ahead.lines.size(), 15000u);
}

TEST_F(IncludeAheadTest, FilesThatWouldReportAreLexedAgainWhereIncluded) {
  // A bad escape near the end, and a line that stops lexing in the second.
  Write("escape.tvh", LargeFile("data1u 3") + "data0s \"\\q\"\ndata1u 4\n");
  Write("stops.tvh", LargeFile("data1u 5") + "(\ndata1u 6\n");
  Write("main.src", "include \"escape.tvh\"\ninclude \"stops.tvh\"\n");
  Loaded ahead = Load(true);
  Loaded usual = Load(false);
  EXPECT_EQ(ahead.taken, 0);
  EXPECT_EQ(ahead.lines, usual.lines);
  EXPECT_EQ(ahead.size, usual.size);
  EXPECT_EQ(ahead.files, usual.files);
  EXPECT_EQ(ahead.output, usual.output);
  EXPECT_NE(usual.output.find("error 403"), std::string::npos);
  EXPECT_NE(usual.output.find("error 400"), std::string::npos);
}

TEST_F(IncludeAheadTest, ADirectiveInAFalseRegionLeavesItsFileUntaken) {
  Write("big.tvh", LargeFile("data1u 7"));
  Write("main.src", "ifdef NOTHING\ninclude \"big.tvh\"\nendif\ndata1u 1\n");
  Loaded ahead = Load(true);
  EXPECT_EQ(ahead.taken, 0);
  ASSERT_EQ(ahead.lines.size(), 1u);
  EXPECT_EQ(std::get<0>(ahead.lines[0]), "main.src");
}

} // namespace
