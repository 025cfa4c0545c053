//===- markup/okl_error.cpp - Markup errors and the error log -------------===//

#include "markup/okl_error.h"

#include "util/files.h"
#include "util/numbers.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace qz {

std::int32_t g_ErrorNumber = 1;

void ResetErrorNumber() { g_ErrorNumber = 1; }

namespace {

/// A Polish letter: its UTF-8 bytes and its Windows-1250 byte.
struct PolishLetter {
  std::string_view utf8;
  char cp1250;
};

constexpr PolishLetter kPolishLetters[] = {
    {"\xC4\x84", '\xA5'}, {"\xC4\x85", '\xB9'}, // Ą ą
    {"\xC4\x86", '\xC6'}, {"\xC4\x87", '\xE6'}, // Ć ć
    {"\xC4\x98", '\xCA'}, {"\xC4\x99", '\xEA'}, // Ę ę
    {"\xC5\x81", '\xA3'}, {"\xC5\x82", '\xB3'}, // Ł ł
    {"\xC5\x83", '\xD1'}, {"\xC5\x84", '\xF1'}, // Ń ń
    {"\xC3\x93", '\xD3'}, {"\xC3\xB3", '\xF3'}, // Ó ó
    {"\xC5\x9A", '\x8C'}, {"\xC5\x9B", '\x9C'}, // Ś ś
    {"\xC5\xB9", '\x8F'}, {"\xC5\xBA", '\x9F'}, // Ź ź
    {"\xC5\xBB", '\xAF'}, {"\xC5\xBC", '\xBF'}, // Ż ż
};

/// A library text (label or message) in the platform's report encoding.
std::string Local(std::string_view utf8) {
  return EncodeReportText(utf8, platform::ReportEncoding());
}

/// The current UTC time as "YYYY-MM-DD hh:mm:ss".
std::string FormatUtcNow() {
  platform::UtcTime now = platform::CurrentUtcTime();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4u-%.2u-%.2u %.2u:%.2u:%.2u",
                now.year, now.month, now.day, now.hour, now.minute, now.second);
  return buffer;
}

/// Advances the report number, wrapping instead of overflowing.
void AdvanceErrorNumber() {
  g_ErrorNumber =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(g_ErrorNumber) + 1u);
}

// Buffer sizes, terminator included, that the names are read into.
constexpr std::size_t kComputerNameCapacity = 16;
constexpr std::size_t kUserNameCapacity = 257;

} // namespace

std::string EncodeReportText(std::string_view utf8,
                             platform::TextEncoding encoding) {
  if (encoding == platform::TextEncoding::Utf8)
    return std::string(utf8);
  std::string result;
  result.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    bool converted = false;
    for (const PolishLetter &letter : kPolishLetters) {
      if (utf8.substr(i, letter.utf8.size()) == letter.utf8) {
        result += letter.cp1250;
        i += letter.utf8.size() - 1;
        converted = true;
        break;
      }
    }
    if (!converted)
      result += utf8[i];
  }
  return result;
}

//===----------------------------------------------------------------------===//
// CErrorLog
//===----------------------------------------------------------------------===//

CErrorLog::CErrorLog(std::string fileName) : m_FileName(std::move(fileName)) {}

CErrorLog::~CErrorLog() { Close(); }

bool CErrorLog::Open() {
  if (m_IsOpen)
    return true;
  platform::FileHandle file = platform::OpenForAppend(m_FileName);
  if (file == platform::kNoFile)
    return false;
  if (!platform::SeekToEnd(file)) {
    platform::CloseFile(file);
    return false;
  }
  m_File = file;
  m_IsOpen = true;
  return true;
}

void CErrorLog::Close() {
  if (!m_IsOpen)
    return;
  platform::CloseFile(m_File);
  m_File = platform::kNoFile;
  m_IsOpen = false;
}

void CErrorLog::WriteLine(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  WriteBytes(line);
}

void CErrorLog::WriteValue(std::string_view label, std::string_view value) {
  std::string line(label);
  line += value;
  line += "\r\n";
  WriteBytes(line);
}

void CErrorLog::WriteEmptyLine() { WriteBytes("\r\n"); }

void CErrorLog::WriteBytes(std::string_view bytes) {
  if (m_IsOpen) {
    platform::WriteBytes(m_File, bytes.data(), bytes.size());
    return;
  }
  platform::FileHandle file = platform::OpenForAppend(m_FileName);
  if (file == platform::kNoFile)
    return;
  if (platform::SeekToEnd(file))
    platform::WriteBytes(file, bytes.data(), bytes.size());
  platform::CloseFile(file);
}

//===----------------------------------------------------------------------===//
// Errors
//===----------------------------------------------------------------------===//

CError::CError(std::string message, std::string sourceFile,
               std::int32_t sourceLine)
    : m_Message(std::move(message)), m_SourceFile(std::move(sourceFile)),
      m_SourceLine(sourceLine) {}

void CError::WriteReport(CErrorLog &log) const {
  log.WriteEmptyLine();
  log.WriteLine(Local("Środowisko"));
  log.WriteValue(Local("  Czas       : "), FormatUtcNow());
  std::string name;
  if (platform::ComputerName(&name, kComputerNameCapacity))
    log.WriteValue(Local("  Komputer   : "), name);
  name.clear();
  if (platform::UserName(&name, kUserNameCapacity))
    log.WriteValue(Local("  Użytkownik : "), name);
  log.WriteValue(Local("  Plik       : "), ModulePath());

  if (!m_SourceFile.empty() || m_SourceLine >= 0) {
    log.WriteLine(Local("Źródło"));
    if (!m_SourceFile.empty())
      log.WriteValue(Local("  Plik       : "), m_SourceFile);
    if (m_SourceLine >= 0)
      log.WriteValue(Local("  Wiersz     : "), IntToString(m_SourceLine));
  }

  log.WriteLine(Local("Błąd"));
  log.WriteValue(Local("  Numer      : "), IntToString(g_ErrorNumber));
  AdvanceErrorNumber();
  log.WriteValue(Local("  Komunikat  : "), Local(m_Message));
}

CParserError::CParserError(std::string_view text, std::uint32_t position)
    : CError("Błąd parsera") {
  constexpr std::size_t kMaxPosition =
      std::numeric_limits<std::uint32_t>::max();
  if (position == kEndOfText)
    position = static_cast<std::uint32_t>(std::min(text.size(), kMaxPosition));
  m_Position = position;

  // A lone CR, a lone LF and a CR LF pair each end one line.
  std::uint32_t line = 1;
  std::uint32_t column = 1;
  bool afterCr = false;
  std::size_t end = std::min<std::size_t>(position, text.size());
  for (std::size_t i = 0; i < end; ++i) {
    char c = text[i];
    if (c == '\r') {
      ++line;
      column = 1;
      afterCr = true;
    } else if (c == '\n') {
      if (afterCr) {
        afterCr = false;
      } else {
        ++line;
        column = 1;
      }
    } else {
      ++column;
      afterCr = false;
    }
  }
  m_Line = line;
  m_Column = column;
}

void CParserError::WriteReport(CErrorLog &log) const {
  CError::WriteReport(log);
  log.WriteLine(Local("Parser"));
  log.WriteValue(Local("  Znak       : "), UIntToString(m_Position));
  log.WriteValue(Local("  Wiersz     : "), UIntToString(m_Line));
  log.WriteValue(Local("  Kolumna    : "), UIntToString(m_Column));
}

COKLError::COKLError(std::int32_t code, std::string_view text,
                     std::uint32_t position)
    : CParserError(text, position), m_Type(code) {}

void COKLError::WriteReport(CErrorLog &log) const {
  CParserError::WriteReport(log);
  log.WriteLine(Local("OKL"));
  log.WriteValue(Local("  Typ        : "), IntToString(m_Type));
  log.WriteValue(Local("  Komunikat  : "), Local(MessageOf(m_Type)));
}

std::string_view COKLError::MessageOf(std::int32_t code) {
  switch (code) {
  case kLevelMismatch:
    return "Niezgodność poziomów zagłębienia hierarchii";
  case kBadCharacter:
    return "Niedozwolony znak";
  case kSectionMismatch:
    return "Problem z otwarciem lub zamknięciem sekcji";
  case kUnexpectedEnd:
    return "Niespodziewany koniec dokumentu";
  case kEntityError:
    return "Błąd podczas parsowania encji";
  case kDirectiveError:
    return "Błąd preprocesora";
  case kSpecialCharError:
    return "Błąd podczas parsowania znaku specjalnego";
  case kIncludeError:
    return "Błąd podczas włączania pliku";
  case kIncludeLimit:
    return "Limit włączeń plików przekroczony";
  default:
    return "Nieznany błąd";
  }
}

} // namespace qz
