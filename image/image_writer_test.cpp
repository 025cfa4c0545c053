//===- image/image_writer_test.cpp ----------------------------------------===//

#include "image/image_writer.h"

#include "driver/build.h"
#include "driver/diagnostics.h"
#include "util/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class ImageWriterTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetAllState();
    CaptureOutputForTesting(&m_Output);
    // Tests may run in parallel processes: one folder per test.
    m_Dir = ::testing::TempDir() + "image_writer_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
    std::filesystem::remove_all(m_Dir);
    std::filesystem::create_directories(m_Dir);
    m_Path = m_Dir + "out.img";
  }
  void TearDown() override {
    CaptureOutputForTesting(nullptr);
    ResetAllState();
    std::filesystem::remove_all(m_Dir);
  }

  /// The names in the test's folder.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(m_Dir))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string Contents() const {
    std::ifstream in(m_Path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  bool Write(const std::string &bytes) {
    return WriteOutput(bytes.data(), bytes.size());
  }

  std::string m_Output;
  std::string m_Dir;
  std::string m_Path;
};

TEST_F(ImageWriterTest, LayoutIsHeaderBootFieldThenBytes) {
  ASSERT_TRUE(OpenDestinationFile(m_Path));
  EXPECT_TRUE(WriteDiskHeader());
  EXPECT_TRUE(WriteBootInfo(0xFFFFFFFFu));
  EXPECT_EQ(GetOutputPosition(), 20u);
  EXPECT_TRUE(Write("ab"));
  EXPECT_EQ(GetOutputPosition(), 22u);
  EXPECT_EQ(GetOffset(), 2);
  g_BootInfo = 0x01020304;
  PatchBootInfo(false);
  CloseDestinationFile();
  EXPECT_EQ(Contents(), std::string("Tavrune Disk 10a\x04\x03\x02\x01" "ab"));
}

TEST_F(ImageWriterTest, PositionCountsPendingZerosBeforeTheyAreWritten) {
  ASSERT_TRUE(OpenDestinationFile(m_Path));
  Write("x");
  AdvanceOutput(200000);
  EXPECT_EQ(GetOutputPosition(), 200001u);
  EXPECT_EQ(GetOffset(), 200001);
  EXPECT_EQ(GetImageSize(), 200001);
  Write("y");
  AdvanceOutput(5);
  EXPECT_EQ(GetOutputFileSize(), 200002u);
  CloseDestinationFile();
  std::string expected = "x" + std::string(200000, '\0') + "y";
  EXPECT_EQ(Contents(), expected);
}

TEST_F(ImageWriterTest, EmptyWriteStillMaterialisesReservedZeros) {
  ASSERT_TRUE(OpenDestinationFile(m_Path));
  AdvanceOutput(100000);
  Write("");
  CloseDestinationFile();
  EXPECT_EQ(Contents(), std::string(100000, '\0'));
}

TEST_F(ImageWriterTest, PatchesLandAnywhereInALargeImage) {
  ASSERT_TRUE(OpenDestinationFile(m_Path));
  std::string image;
  for (int i = 0; i < 300000; ++i)
    image += static_cast<char>(i * 31);
  Write(image.substr(0, 1000));
  AdvanceOutput(70000);
  Write(image.substr(71000));
  image.replace(1000, 70000, std::string(70000, '\0'));
  for (std::uint64_t at : {0u, 4u, 65530u, 65534u, 65536u, 131069u, 200000u,
                           299996u}) {
    SeekOutput(at);
    ASSERT_TRUE(WriteOutputRaw("PTCH", 4));
    image.replace(static_cast<std::size_t>(at), 4, "PTCH");
  }
  EXPECT_EQ(GetOutputFileSize(), 300000u);
  CloseDestinationFile();
  EXPECT_EQ(Contents(), image);
  EXPECT_EQ(GetOffset(), 300000);
}

TEST_F(ImageWriterTest, AnEarlierFileStaysWholeUntilTheNewImageTakesItsPlace) {
  for (std::size_t earlier : {std::size_t{10}, std::size_t{400000}}) {
    std::ofstream(m_Path, std::ios::binary) << std::string(earlier, 'Z');
    ASSERT_TRUE(OpenDestinationFile(m_Path));
    Write("x");
    AdvanceOutput(200000);
    Write("y");
    SeekOutput(1);
    ASSERT_TRUE(WriteOutputRaw("P", 1));
    AdvanceOutput(5); // never followed by a byte: not part of the file
    EXPECT_EQ(GetOutputFileSize(), 200002u) << earlier;
    EXPECT_EQ(Contents(), std::string(earlier, 'Z'));
    EXPECT_EQ(Files().size(), 2u); // the image and the one being written
    CloseDestinationFile();
    EXPECT_EQ(Contents(), "xP" + std::string(199999, '\0') + "y") << earlier;
    EXPECT_EQ(ImageFileSize(), 200002);
    EXPECT_EQ(Files(), std::vector<std::string>{"out.img"});
    ResetAllState();
  }
  EXPECT_EQ(m_Output, "");
}

TEST_F(ImageWriterTest, WithoutAFileOnlyTheCountersMove) {
  EXPECT_TRUE(Write("abc"));
  AdvanceOutput(10);
  EXPECT_EQ(GetOffset(), 13);
  EXPECT_EQ(GetImageSize(), 13);
  EXPECT_EQ(GetOutputPosition(), 0u);
  EXPECT_FALSE(IsOutputOpen());
  EXPECT_EQ(g_ErrorCount, 0);
}

TEST_F(ImageWriterTest, OffsetsWrapInsteadOfOverflowing) {
  SetOffset(0x7FFFFFFF);
  Write("a");
  EXPECT_EQ(GetOffset(), -2147483647 - 1);
}

TEST_F(ImageWriterTest, AnErrorGivesUpTheImageAndLeavesTheEarlierFile) {
  std::ofstream(m_Path) << "earlier";
  ASSERT_TRUE(OpenDestinationFile(m_Path));
  Write(std::string(100000, 'a'));
  ReportError(900, "x");
  EXPECT_FALSE(IsOutputOpen());
  EXPECT_TRUE(Write("more"));
  EXPECT_EQ(GetOffset(), 100004);
  CloseDestinationFile();
  EXPECT_EQ(ImageFileSize(), -1);
  EXPECT_EQ(Contents(), "earlier");
  EXPECT_EQ(Files(), std::vector<std::string>{"out.img"});
}

TEST_F(ImageWriterTest, FilesThisBuildReadsAreNeverOverwritten) {
  std::ofstream(m_Path) << "source";
  platform::FileHandle file = platform::OpenForRead(m_Path);
  NoteFileRead(m_Path, file);
  platform::CloseFile(file);
  EXPECT_FALSE(OpenDestinationFile(m_Path));
  EXPECT_EQ(m_Output, "Error 200: Cannot open destination file\n");
  EXPECT_EQ(Contents(), "source");

  // A file read once the image was begun (an includebin of the
  // destination) keeps the image from taking its place.
  ResetAllState();
  m_Output.clear();
  ASSERT_TRUE(OpenDestinationFile(m_Path));
  Write("image");
  file = platform::OpenForRead(m_Path);
  NoteFileRead(m_Path, file);
  platform::CloseFile(file);
  CloseDestinationFile();
  EXPECT_EQ(m_Output, "Error 200: Cannot open destination file\n");
  EXPECT_EQ(Contents(), "source");
  EXPECT_EQ(Files(), std::vector<std::string>{"out.img"});
}

TEST_F(ImageWriterTest, FailedWritesAreReportedAndADeviceIsNotRemoved) {
  if (!std::filesystem::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full on this system";
  ASSERT_TRUE(OpenDestinationFile("/dev/full"));
  EXPECT_FALSE(WriteDiskHeader());
  EXPECT_EQ(m_Output, "Error 201: Cannot write disk header\n");
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));

  m_Output.clear();
  ASSERT_TRUE(OpenDestinationFile("/dev/full"));
  std::string big(100000, 'z');
  EXPECT_FALSE(Write(big));
  EXPECT_EQ(m_Output, "Error 203: Cannot write to output file\n");
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

} // namespace
