//===- instructions/instruction_file_test.cpp -----------------------------===//

#include "instructions/instruction_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class InstructionFile : public ::testing::Test {
protected:
  void SetUp() override {
    // One folder per test: ctest runs the tests of this file side by side.
    m_Dir = fs::temp_directory_path() /
            (std::string("ferrox_InstructionFile_") +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_Dir);
  }
  void TearDown() override { fs::remove_all(m_Dir); }

  std::string Write(const std::string &name, const std::string &text) {
    std::ofstream(m_Dir / name, std::ios::binary) << text;
    return (m_Dir / name).string();
  }

  /// "name file:line" for every entry, "!" marking markup output and
  /// "-" dropped ones.
  static std::vector<std::string> Places(const CInstructionFile &file) {
    std::vector<std::string> places;
    for (const CDefinitionEntry &entry : file.entries)
      places.push_back((entry.Dropped() ? "-" : "") + entry.instruction.name + " " +
                       fs::path(entry.place.file).filename().string() + ":" +
                       std::to_string(entry.place.line) + (entry.place.fromMarkup ? "!" : ""));
    return places;
  }

  fs::path m_Dir;
};

TEST_F(InstructionFile, DefinitionsKeepTheirFileAndLineThroughMarkup) {
  Write("more.okl", "[/ first\n line /]\ninc1 0 1;\n\n[#inc deeper.okl]inc2 0 2;\n");
  Write("deeper.okl", "deep 0 3;\n");
  std::string path = Write("Instructions.okl",
                           "[/ a comment\n   over lines /]\n"
                           "[#def two one 1 1;\n]\n"
                           "[#def kind 4i]\n"
                           "a 0 0 [[$kind] 1u]; [/ beside a /]\n"
                           "\"q\" 0 4\n"
                           "  [x];\n"
                           "[#inc more.okl]\n"
                           "[$two]\n"
                           "A 1 1;\n"
                           "[#if kind [two] else [kind]]\n"
                           "last 0 9;\n");
  CInstructionFile file = LoadInstructionFile(path);
  ASSERT_TRUE(file.loaded) << file.failure;
  EXPECT_EQ(Places(file),
            (std::vector<std::string>{"a Instructions.okl:6", "q Instructions.okl:7",
                                      "inc1 more.okl:3", "deep deeper.okl:1",
                                      "inc2 more.okl:5", "one Instructions.okl:10!",
                                      "-A Instructions.okl:11", "-one Instructions.okl:12!",
                                      "last Instructions.okl:13"}));
  EXPECT_EQ(file.entries[0].comment, "beside a");
  EXPECT_EQ(file.entries[2].comment, "");
  EXPECT_EQ(file.entries[6].keptIndex, 0);
  EXPECT_EQ(file.Instructions().size(), 7u);
  ASSERT_NE(file.Find("ONE"), nullptr);
  EXPECT_EQ(file.Find("ONE")->opcode, 1);
}

TEST_F(InstructionFile, FailuresSayWhereAndWhy) {
  struct Case {
    std::string text;
    std::string file;
    std::int32_t line;
    std::string why;
  } cases[] = {
      {"a 0 1;\n\nb\n0 1;\n", "Instructions.okl", 3,
       "the first number must follow the name on its line"},
      {"a 0 1 [4u 5u];\n", "Instructions.okl", 1, "unknown parameter kind"},
      {"a 0 1 [1u 1u 1u 1u];\n", "Instructions.okl", 1, "more than three parameter kinds"},
      {"a 0 1;\nb 0 2", "Instructions.okl", 2, "a definition ends with \";\" and a line break"},
      {"a 0 1;\n[#inc bad.okl]\n", "bad.okl", 2, "a quoted value or a comment is not closed"},
      {"a 0 1;\n[#inc none.okl]\n", "Instructions.okl", 2, "an included file cannot be read"},
  };
  Write("bad.okl", "ok 0 1;\n[/ open\n");
  for (const Case &c : cases) {
    CInstructionFile file = LoadInstructionFile(Write("Instructions.okl", c.text));
    EXPECT_TRUE(file.readable);
    EXPECT_FALSE(file.loaded) << c.text;
    EXPECT_EQ(fs::path(file.failurePlace.file).filename().string(), c.file) << c.text;
    EXPECT_EQ(file.failurePlace.line, c.line) << c.text;
    EXPECT_EQ(file.failure, c.why) << c.text;
  }
  CInstructionFile missing = LoadInstructionFile((m_Dir / "absent.okl").string());
  EXPECT_FALSE(missing.readable);
  EXPECT_FALSE(missing.loaded);
}

} // namespace
