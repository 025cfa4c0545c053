//===- markup/okl_error.h - Markup errors and the error log -----*- C++ -*-===//
//
// The markup library reports every reading error by throwing one of these
// classes by value. Each error can append a labelled report about itself to an
// error log file. The labels and messages are Polish; they are kept here as
// UTF-8 and written in the platform's report encoding.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_MARKUP_OKL_ERROR_H
#define FERROX_MARKUP_OKL_ERROR_H

#include "util/platform.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

/// The number printed in the next error report; 1 at program start, one more
/// after every report.
extern std::int32_t g_ErrorNumber;

/// Sets g_ErrorNumber back to 1, as at program start.
void ResetErrorNumber();

/// `utf8` in `encoding`. For Windows-1250 the Polish letters are converted and
/// every other byte is passed through unchanged.
std::string EncodeReportText(std::string_view utf8,
                             platform::TextEncoding encoding);

/// An append-only text file that error reports are written to. Every line is
/// written as one piece and ends with CR LF. Unless the log is held open with
/// Open(), the file is opened, written at its end and closed again for every
/// line; a line that cannot be written is dropped silently.
class CErrorLog {
public:
  /// A log writing to `fileName`; nothing is created until the first line.
  explicit CErrorLog(std::string fileName);
  ~CErrorLog();
  CErrorLog(const CErrorLog &) = delete;
  CErrorLog &operator=(const CErrorLog &) = delete;

  /// Keeps the file open (created when missing, positioned at its end) until
  /// Close(). False when it cannot be opened.
  bool Open();
  /// Closes a file held open by Open().
  void Close();
  bool IsOpen() const { return m_IsOpen; }
  const std::string &FileName() const { return m_FileName; }

  /// Writes `text` and CR LF.
  void WriteLine(std::string_view text);
  /// Writes `label`, `value` and CR LF as one line.
  void WriteValue(std::string_view label, std::string_view value);
  /// Writes CR LF.
  void WriteEmptyLine();

private:
  void WriteBytes(std::string_view bytes);

  std::string m_FileName;
  platform::FileHandle m_File = platform::kNoFile;
  bool m_IsOpen = false;
};

/// A general error with an optional place in a source file.
class CError {
public:
  /// `sourceFile` empty and `sourceLine` -1 mean "not given".
  explicit CError(std::string message, std::string sourceFile = std::string(),
                  std::int32_t sourceLine = -1);
  virtual ~CError() = default;
  CError(const CError &) = default;
  CError &operator=(const CError &) = default;

  /// Appends this error's report to `log` and advances g_ErrorNumber.
  virtual void WriteReport(CErrorLog &log) const;

  std::string m_Message;     ///< UTF-8 text of the error.
  std::string m_SourceFile;  ///< The source concerned; empty when not given.
  std::int32_t m_SourceLine; ///< A line of that source; -1 when not given.
};

/// A position meaning "just past the end of the text".
inline constexpr std::uint32_t kEndOfText = 0xFFFFFFFFu;

/// An error at a byte of a parsed text, with its line and column.
class CParserError : public CError {
public:
  /// An error at byte `position` of `text`; kEndOfText stands for the length
  /// of the text. Line breaks are CR LF, a lone CR or a lone LF.
  CParserError(std::string_view text, std::uint32_t position);

  void WriteReport(CErrorLog &log) const override;

  std::uint32_t m_Position; ///< Index of the offending byte.
  std::uint32_t m_Line;     ///< Its line, counted from 1.
  std::uint32_t m_Column;   ///< Its column, counted from 1.
};

/// An error of the markup reader, identified by its code.
class COKLError : public CParserError {
public:
  /// The error codes of the markup reader.
  enum : std::int32_t {
    kLevelMismatch = 0,    ///< A closing bracket with nothing open.
    kBadCharacter = 1,     ///< A document the reader cannot address.
    kSectionMismatch = 2,  ///< A closing bracket of the wrong kind.
    kUnexpectedEnd = 3,    ///< An unterminated quoted value or comment.
    kEntityError = 4,      ///< A malformed or runaway entity reference.
    kDirectiveError = 5,   ///< A malformed or unknown directive.
    kSpecialCharError = 6, ///< A malformed special character.
    kIncludeError = 7,     ///< An included file that cannot be read.
    kIncludeLimit = 8,     ///< Too many inclusions in one document.
  };

  /// Error `code` at byte `position` of the reader's current `text`.
  COKLError(std::int32_t code, std::string_view text, std::uint32_t position);

  void WriteReport(CErrorLog &log) const override;

  /// The UTF-8 message of `code`; "Nieznany błąd" for an unknown code.
  static std::string_view MessageOf(std::int32_t code);

  std::int32_t m_Type; ///< The error code.
};

} // namespace qz

#endif // FERROX_MARKUP_OKL_ERROR_H
