//===- markup/okl_error_test.cpp ------------------------------------------===//

#include "markup/okl_error.h"

#include "util/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

namespace qz {
namespace {

namespace fs = std::filesystem;

/// A fresh directory under the system's temporary directory, removed again
/// with everything in it.
class TempDir {
public:
  TempDir() {
    // Named after the running test, so that tests run in parallel processes
    // never share a directory.
    const ::testing::TestInfo *test =
        ::testing::UnitTest::GetInstance()->current_test_info();
    m_Path = fs::temp_directory_path() /
             (std::string("ferrox_") + test->test_suite_name() + "_" +
              test->name());
    fs::remove_all(m_Path);
    fs::create_directories(m_Path);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_Path, ignored);
  }
  std::string File(const std::string &name) const {
    return (m_Path / name).string();
  }

private:
  fs::path m_Path;
};

std::string ReadBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

/// The lines of a log, split at CR LF. The text must end with CR LF.
std::vector<std::string> LogLines(const std::string &bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos)
      break;
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, bytes.size()) << "log does not end with CR LF";
  return lines;
}

/// The lines of a report from its "Błąd" block on; the environment block
/// before it depends on the machine and is checked separately.
std::vector<std::string> LinesFrom(const std::vector<std::string> &lines,
                                   const std::string &first) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == first)
      return std::vector<std::string>(lines.begin() + i, lines.end());
  ADD_FAILURE() << "no line \"" << first << "\"";
  return {};
}

TEST(OklErrorPosition, LineBreaksOfAllKindsCountOnce) {
  CParserError start("abc", 0);
  EXPECT_EQ(start.m_Line, 1u);
  EXPECT_EQ(start.m_Column, 1u);

  CParserError afterCrLf("ab\r\nc", 4);
  EXPECT_EQ(afterCrLf.m_Line, 2u);
  EXPECT_EQ(afterCrLf.m_Column, 1u);

  CParserError twoCrs("a\r\rb", 3);
  EXPECT_EQ(twoCrs.m_Line, 3u);

  CParserError lfCr("a\n\rb", 3);
  EXPECT_EQ(lfCr.m_Line, 3u);

  CParserError inLine("x\nabc", 4);
  EXPECT_EQ(inLine.m_Line, 2u);
  EXPECT_EQ(inLine.m_Column, 3u);
}

TEST(OklErrorPosition, EndOfTextAndPositionsPastTheEnd) {
  CParserError end("ab\ncd", kEndOfText);
  EXPECT_EQ(end.m_Position, 5u);
  EXPECT_EQ(end.m_Line, 2u);
  EXPECT_EQ(end.m_Column, 3u);

  // A position beyond the text is kept but only the text itself is walked.
  CParserError beyond("ab", 100);
  EXPECT_EQ(beyond.m_Position, 100u);
  EXPECT_EQ(beyond.m_Line, 1u);
  EXPECT_EQ(beyond.m_Column, 3u);
}

TEST(OklErrorClasses, ThrownByValueAndCaughtAsAnyBase) {
  try {
    throw COKLError(COKLError::kEntityError, "a\nb", 2);
  } catch (const CError &error) {
    EXPECT_EQ(error.m_Message, "Błąd parsera");
    EXPECT_TRUE(error.m_SourceFile.empty());
    EXPECT_EQ(error.m_SourceLine, -1);
    const auto *okl = dynamic_cast<const COKLError *>(&error);
    ASSERT_NE(okl, nullptr);
    EXPECT_EQ(okl->m_Type, 4);
    EXPECT_EQ(okl->m_Line, 2u);
    COKLError copy = *okl;
    EXPECT_EQ(copy.m_Position, 2u);
  }
  EXPECT_THROW(throw COKLError(0, "", 0), CParserError);
}

TEST(OklErrorClasses, EveryCodeHasItsMessage) {
  EXPECT_EQ(COKLError::MessageOf(0),
            "Niezgodność poziomów zagłębienia hierarchii");
  EXPECT_EQ(COKLError::MessageOf(3), "Niespodziewany koniec dokumentu");
  EXPECT_EQ(COKLError::MessageOf(8), "Limit włączeń plików przekroczony");
  EXPECT_EQ(COKLError::MessageOf(9), "Nieznany błąd");
  EXPECT_EQ(COKLError::MessageOf(-1), "Nieznany błąd");
  for (int code = 0; code <= 8; ++code)
    EXPECT_NE(COKLError::MessageOf(code), "Nieznany błąd") << code;
}

TEST(OklErrorEncoding, PolishLettersBecomeWindows1250) {
  using platform::TextEncoding;
  EXPECT_EQ(EncodeReportText("Źródło", TextEncoding::Windows1250),
            "\x8Fr\xF3" "d\xB3o");
  EXPECT_EQ(EncodeReportText("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ", TextEncoding::Windows1250),
            "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF "
            "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
  // Bytes that are no Polish letter pass through, even a broken sequence.
  EXPECT_EQ(EncodeReportText("a\xC5", TextEncoding::Windows1250), "a\xC5");
  EXPECT_EQ(EncodeReportText("Błąd", TextEncoding::Utf8), "Błąd");
}

TEST(OklErrorReport, OklErrorWritesAllFourBlocksAndNumbersReports) {
  TempDir dir;
  std::string path = dir.File("errors.log");
  {
    std::ofstream existing(path, std::ios::binary);
    existing << "earlier\r\n";
  }
  ResetErrorNumber();
  CErrorLog log(path);
  COKLError(COKLError::kUnexpectedEnd, "ab\r\nc", 4).WriteReport(log);
  COKLError(9, "", 0).WriteReport(log);
  EXPECT_EQ(g_ErrorNumber, 3);

  std::string bytes = ReadBytes(path);
  ASSERT_EQ(bytes.rfind("earlier\r\n", 0), 0u) << "the log was not appended to";
  std::vector<std::string> lines = LogLines(bytes.substr(9));
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Środowisko");
  EXPECT_TRUE(std::regex_match(
      lines[2], std::regex("  Czas       : \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d")))
      << lines[2];
  // The computer and user lines depend on the machine and may be missing.
  std::size_t next = 3;
  if (lines[next].rfind("  Komputer   : ", 0) == 0)
    ++next;
  if (lines[next].rfind("  Użytkownik : ", 0) == 0)
    ++next;
  EXPECT_EQ(lines[next], "  Plik       : " + ModulePath());
  EXPECT_EQ(lines[next + 1], "Błąd") << "a parser error has no source block";

  std::vector<std::string> first = LinesFrom(lines, "Błąd");
  std::vector<std::string> expected = {
      "Błąd",
      "  Numer      : 1",
      "  Komunikat  : Błąd parsera",
      "Parser",
      "  Znak       : 4",
      "  Wiersz     : 2",
      "  Kolumna    : 1",
      "OKL",
      "  Typ        : 3",
      "  Komunikat  : Niespodziewany koniec dokumentu",
      "",
      "Środowisko",
  };
  ASSERT_GE(first.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(first.begin(),
                                     first.begin() + expected.size()),
            expected);

  std::vector<std::string> second =
      LinesFrom(std::vector<std::string>(first.begin() + 1, first.end()),
                "Błąd");
  ASSERT_EQ(second.size(), 10u);
  EXPECT_EQ(second[1], "  Numer      : 2");
  EXPECT_EQ(second[8], "  Typ        : 9");
  EXPECT_EQ(second[9], "  Komunikat  : Nieznany błąd");
}

TEST(OklErrorReport, GeneralErrorShowsItsSourceBlockOnlyWhenGiven) {
  TempDir dir;
  std::string path = dir.File("general.log");
  ResetErrorNumber();
  {
    CErrorLog log(path);
    ASSERT_TRUE(log.Open());
    CError("Brak pliku", "prog.src", 0).WriteReport(log);
    CError("bez miejsca").WriteReport(log);
    CError("tylko wiersz", "", 7).WriteReport(log);
    EXPECT_TRUE(log.IsOpen());
  }
  std::vector<std::string> lines = LogLines(ReadBytes(path));
  std::vector<std::string> source = LinesFrom(lines, "Źródło");
  ASSERT_GE(source.size(), 6u);
  EXPECT_EQ(source[1], "  Plik       : prog.src");
  EXPECT_EQ(source[2], "  Wiersz     : 0");
  EXPECT_EQ(source[3], "Błąd");
  EXPECT_EQ(source[5], "  Komunikat  : Brak pliku");

  std::size_t sourceBlocks = 0;
  for (const std::string &line : lines)
    sourceBlocks += line == "Źródło";
  EXPECT_EQ(sourceBlocks, 2u);
  std::vector<std::string> last =
      LinesFrom(LinesFrom(lines, "  Komunikat  : bez miejsca"), "Źródło");
  ASSERT_GE(last.size(), 2u);
  EXPECT_EQ(last[1], "  Wiersz     : 7") << "no file line for an empty name";
  EXPECT_EQ(lines.back(), "  Komunikat  : tylko wiersz");
}

TEST(OklErrorReport, UnwritableLogLosesLinesQuietly) {
  TempDir dir;
  CErrorLog log(dir.File("missing/dir/errors.log"));
  EXPECT_FALSE(log.Open());
  ResetErrorNumber();
  COKLError(1, "x", 0).WriteReport(log);
  EXPECT_EQ(g_ErrorNumber, 2);
  EXPECT_FALSE(fs::exists(dir.File("missing")));
}

} // namespace
} // namespace qz
