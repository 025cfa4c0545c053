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
using Lines = std::vector<std::string>;

TEST(OklErrorPosition, LineBreaksOfEveryKindCountOnce) {
  struct Case {
    const char *text;
    std::uint32_t position, line, column;
  } cases[] = {{"abc", 0, 1, 1},    {"ab\r\nc", 4, 2, 1},
               {"a\r\rb", 3, 3, 1}, {"a\n\rb", 3, 3, 1},
               {"x\nabc", 4, 2, 3}, {"ab\ncd", kEndOfText, 2, 3},
               {"ab", 100, 1, 3}};
  for (const Case &c : cases) {
    CParserError error(c.text, c.position);
    EXPECT_EQ(error.m_Line, c.line) << c.text << " at " << c.position;
    EXPECT_EQ(error.m_Column, c.column) << c.text << " at " << c.position;
  }
  EXPECT_EQ(CParserError("ab\ncd", kEndOfText).m_Position, 5u);
}

TEST(OklErrorClasses, CaughtAsAnyBaseAndNamedByCode) {
  try {
    throw COKLError(COKLError::kEntityError, "a\nb", 2);
  } catch (const CError &error) {
    EXPECT_EQ(error.m_Message, "Błąd parsera");
    EXPECT_EQ(error.m_SourceLine, -1);
    const auto &okl = dynamic_cast<const COKLError &>(error);
    EXPECT_EQ(okl.m_Type, 4);
    EXPECT_EQ(okl.m_Line, 2u);
  }
  EXPECT_EQ(COKLError::MessageOf(0),
            "Niezgodność poziomów zagłębienia hierarchii");
  EXPECT_EQ(COKLError::MessageOf(8), "Limit włączeń plików przekroczony");
  EXPECT_EQ(COKLError::MessageOf(9), "Nieznany błąd");
}

TEST(OklErrorReport, PolishLettersAreWrittenInWindows1250ThereOnly) {
  using platform::TextEncoding;
  EXPECT_EQ(EncodeReportText("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ", TextEncoding::Windows1250),
            "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF "
            "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
  EXPECT_EQ(EncodeReportText("a\xC5", TextEncoding::Windows1250), "a\xC5");
  EXPECT_EQ(EncodeReportText("Błąd", TextEncoding::Utf8), "Błąd");
}

/// The lines of the log, split at CR LF, from the first line equal to `first`
/// on.
Lines LinesFrom(const std::string &bytes, const std::string &first) {
  Lines lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  EXPECT_EQ(start, bytes.size()) << "the log does not end with CR LF";
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == first)
      return Lines(lines.begin() + static_cast<std::ptrdiff_t>(i), lines.end());
  return {};
}

TEST(OklErrorReport, ReportsAreAppendedBlockByBlockAndNumbered) {
  fs::path path = fs::temp_directory_path() / "ferrox_OklErrorReport.log";
  std::ofstream(path, std::ios::binary) << "earlier\r\n";
  ResetErrorNumber();
  {
    CErrorLog log(path.string());
    COKLError(COKLError::kUnexpectedEnd, "ab\r\nc", 4).WriteReport(log);
    ASSERT_TRUE(log.Open());
    CError("Brak pliku", "prog.src", 0).WriteReport(log);
  }
  EXPECT_EQ(g_ErrorNumber, 3);
  std::stringstream stream;
  stream << std::ifstream(path, std::ios::binary).rdbuf();
  std::string bytes = stream.str();
  fs::remove(path);

  Lines first = LinesFrom(bytes, "earlier");
  ASSERT_GE(first.size(), 7u);
  EXPECT_EQ(first[1], "");
  EXPECT_EQ(first[2], "Środowisko");
  EXPECT_TRUE(std::regex_match(
      first[3], std::regex("  Czas       : "
                           "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d")));
  // The computer and user lines depend on the machine and may be missing.
  std::size_t next = 4;
  next += first[next].rfind("  Komputer   : ", 0) == 0;
  next += first[next].rfind("  Użytkownik : ", 0) == 0;
  EXPECT_EQ(first[next], "  Plik       : " + ModulePath());
  EXPECT_EQ(first[next + 1], "Błąd") << "a parser error has no source";

  Lines expected = {"Błąd",
                    "  Numer      : 1",
                    "  Komunikat  : Błąd parsera",
                    "Parser",
                    "  Znak       : 4",
                    "  Wiersz     : 2",
                    "  Kolumna    : 1",
                    "OKL",
                    "  Typ        : 3",
                    "  Komunikat  : Niespodziewany koniec dokumentu",
                    ""};
  Lines okl = LinesFrom(bytes, "Błąd");
  okl.resize(std::min(okl.size(), expected.size()));
  EXPECT_EQ(okl, expected);

  Lines general = LinesFrom(bytes, "Źródło");
  EXPECT_EQ(general,
            (Lines{"Źródło", "  Plik       : prog.src", "  Wiersz     : 0",
                   "Błąd", "  Numer      : 2", "  Komunikat  : Brak pliku"}));
}

} // namespace
} // namespace qz
