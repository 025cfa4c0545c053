//===- tools/list/listing_test.cpp ----------------------------------------===//
//
// Where the listing puts the marks of included files and the errors of
// lines that reached no statement, from records made by hand.
//
//===----------------------------------------------------------------------===//

#include "tools/list/listing.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>

namespace {

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

CBuildStatement Statement(std::uint32_t file, std::int32_t line, std::int32_t depth,
                          std::uint64_t position = 0, std::uint64_t size = 0) {
  CBuildStatement s;
  s.fileId = file;
  s.line = line;
  s.depth = depth;
  s.kind = size != 0 ? StatementKind::Data : StatementKind::None;
  s.position = position;
  s.size = size;
  return s;
}

std::string Text(std::uint32_t file, std::int32_t line) {
  return "f" + std::to_string(file) + "l" + std::to_string(line);
}

class Listing : public ::testing::Test {
protected:
  std::vector<std::string> Render() {
    m_Texts.clear();
    return Lines(RenderListing(m_Build, [this](std::uint32_t file, std::int32_t line) {
      m_Texts.push_back(Text(file, line));
      return std::string_view(m_Texts.back());
    }));
  }
  CBuildRecord m_Build;
  std::deque<std::string> m_Texts;
};

TEST_F(Listing, MarksEachInclusionAndWrapsLongRuns) {
  m_Build.files = {{"p.tvs", "/p.tvs", "p.tvs"}, {"lib/h.tvh", "/lib/h.tvh", "h.tvh"}};
  m_Build.image = std::string(20, '\0') + std::string(10, '\x0b');
  // p.tvs includes h.tvh twice in a row, then goes on.
  m_Build.statements = {Statement(1, 2, 1), Statement(1, 2, 1), Statement(0, 4, 0, 20, 10)};
  m_Build.statements[2].expansion = "data1u 11";
  EXPECT_EQ(Render(), (std::vector<std::string>{
      "LOCATION  ADDRESS   POSITION  BYTES                    SOURCE",
      ">> begin h.tvh (/lib/h.tvh)",
      "h.tvh:2   00000000  00000000                           f1l2",
      "<< end h.tvh",
      ">> begin h.tvh (/lib/h.tvh)",
      "h.tvh:2   00000000  00000000                           f1l2",
      "<< end h.tvh",
      "p.tvs:4   00000000  00000014  0b 0b 0b 0b 0b 0b 0b 0b  f0l4",
      "                              0b 0b                    => data1u 11"}));
}

TEST_F(Listing, PutsEveryErrorUnderTheLineItNames) {
  m_Build.files = {{"p.tvs", "/p.tvs", "p.tvs"}, {"h.tvh", "/h.tvh", "h.tvh"}};
  m_Build.statements = {Statement(0, 1, 0), Statement(0, 5, 0)};
  m_Build.errors = {
      {600, "in a header of macros", 1, 3, -1}, // a file with no statement
      {1001, "on an include line", 0, 3, -1},   // before the next statement
      {900, "of the statement", 0, 5, 1},
      {503, "after the last", 0, 9, -1},
      {200, "of no line", kNoFileId, 0, -1},
      {905, "found by its line", 0, 1, -1},
  };
  EXPECT_EQ(Render(), (std::vector<std::string>{
      "LOCATION  ADDRESS   POSITION  BYTES                    SOURCE",
      "p.tvs:1   00000000  00000000                           f0l1",
      "!! error 905: found by its line",
      "p.tvs:3                                                f0l3",
      "!! error 1001: on an include line",
      "p.tvs:5   00000000  00000000                           f0l5",
      "!! error 900: of the statement",
      "p.tvs:9                                                f0l9",
      "!! error 503: after the last",
      "h.tvh:3                                                f1l3",
      "!! error 600: in a header of macros",
      "!! error 200: of no line"}));
}

TEST(SourceLines, EndAtCrLfLfAndCr) {
  EXPECT_EQ(SplitSourceLines("a\r\nb\nc\rd\n\re"),
            (std::vector<std::string_view>{"a", "b", "c", "d", "", "e"}));
}

} // namespace
