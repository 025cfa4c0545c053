//===- image/image_writer_test.cpp ----------------------------------------===//

#include "image/image_writer.h"

#include "driver/build.h"
#include "driver/diagnostics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class ImageWriterTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetAllState();
    CaptureOutputForTesting(&m_Output);
    // Tests may run in parallel processes: one file per test.
    m_Path = ::testing::TempDir() + "image_writer_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() +
             ".img";
    std::filesystem::remove(m_Path);
  }
  void TearDown() override {
    CaptureOutputForTesting(nullptr);
    ResetAllState();
    std::filesystem::remove(m_Path);
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

TEST_F(ImageWriterTest, AnEarlierFileLeavesNoByteInTheNewImage) {
  // The destination is written over in place: whatever an earlier file
  // held, shorter or longer, the new image is exactly its own bytes, and a
  // reservation skipped over reads as zeros.
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
    CloseDestinationFile();
    EXPECT_EQ(Contents(), "xP" + std::string(199999, '\0') + "y") << earlier;

    ResetAllState(); // a build of its own
    std::ofstream(m_Path, std::ios::binary) << std::string(earlier, 'Z');
    ASSERT_TRUE(OpenDestinationFile(m_Path));
    Write("abc");
    CloseDestinationFile();
    EXPECT_EQ(Contents(), "abc") << earlier;
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

TEST_F(ImageWriterTest, AnErrorDeletesTheFile) {
  ASSERT_TRUE(OpenDestinationFile(m_Path));
  Write("abc");
  ReportError(900, "x");
  EXPECT_FALSE(IsOutputOpen());
  EXPECT_FALSE(std::filesystem::exists(m_Path));
  EXPECT_TRUE(Write("more"));
  EXPECT_EQ(GetOffset(), 7);
}

TEST_F(ImageWriterTest, FilesThisBuildReadsAreNeverOverwritten) {
  std::ofstream(m_Path) << "source";
  ProtectFromOverwrite(platform::IdentityOfPath(m_Path));
  EXPECT_FALSE(OpenDestinationFile(m_Path));
  EXPECT_EQ(m_Output, "Error 200: Cannot open destination file\n");
  EXPECT_EQ(Contents(), "source");
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
