//===- util/files_test.cpp ------------------------------------------------===//

#include "util/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(Files, BoundedReadRefusesFilesLargerThanTheBound) {
  fs::path path = fs::temp_directory_path() / "ferrox_Files_BoundedRead.txt";
  std::ofstream(path, std::ios::binary) << "0123456789";
  std::string content = "old";
  EXPECT_TRUE(ReadWholeFileUpTo(path.string(), content, 10));
  EXPECT_EQ(content, "0123456789");
  EXPECT_FALSE(ReadWholeFileUpTo(path.string(), content, 9));
  EXPECT_EQ(content, "012345678");
  fs::remove(path);
  EXPECT_FALSE(ReadWholeFileUpTo(path.string(), content, 10));
  EXPECT_EQ(content, "012345678") << "a file that cannot be opened";
  // An endless device stops at the bound instead of filling memory.
  if (fs::exists("/dev/zero")) {
    EXPECT_FALSE(ReadWholeFileUpTo("/dev/zero", content, 100000));
    EXPECT_EQ(content.size(), 100000u);
  }
}

} // namespace
