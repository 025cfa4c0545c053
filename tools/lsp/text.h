//===- tools/lsp/text.h - Texts, lines, positions and URIs ------*- C++ -*-===//
//
// A text is split into lines as ferrox splits a source (CR LF, a lone LF and
// a lone CR each end one). Clients count columns in UTF-16 code units unless
// both sides agreed on UTF-8; tokens are found by byte offsets. The
// conversions take any bytes: a byte that starts no valid UTF-8 sequence
// counts as one unit, so a source in another code page still maps
// positions one to one.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_TEXT_H
#define FERROX_TOOLS_LSP_TEXT_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lsp {

enum class Encoding { Utf16, Utf8 };

/// A zero-based line and a column in the client's units.
struct CPosition {
  std::uint32_t line = 0;
  std::uint32_t character = 0;
};

class CText {
public:
  CText() { Split(); }
  explicit CText(std::string text) : m_Text(std::move(text)) { Split(); }

  const std::string &Str() const { return m_Text; }
  /// Tells texts apart: a new text and every change get a new number, and a
  /// copy keeps it, so what was worked out from a text can say which text.
  std::uint64_t Revision() const { return m_Revision; }
  std::size_t LineCount() const { return m_Starts.size(); }
  /// Line `line` (zero-based) without its line break; empty past the end.
  std::string_view Line(std::size_t line) const;

  /// The byte offset of `position` in the text; a column past the end of
  /// its line gives the line's end, a line past the end the text's end.
  std::size_t Offset(CPosition position, Encoding encoding) const;
  /// The byte column in line `line` of a column in the client's units.
  std::uint32_t ByteColumn(std::uint32_t line, std::uint32_t character,
                           Encoding encoding) const;
  /// The client's column of byte column `column` in line `line`.
  std::uint32_t Character(std::uint32_t line, std::uint32_t column, Encoding encoding) const;

  /// Replaces the bytes from `start` to `end` by `replacement`.
  void Replace(std::size_t start, std::size_t end, std::string_view replacement);

private:
  void Split();
  std::string m_Text;
  /// The byte offset where each line starts.
  std::vector<std::uint32_t> m_Starts;
  std::uint64_t m_Revision = 0;
};

/// The length in the client's units of bytes `text`.
std::uint32_t Units(std::string_view text, Encoding encoding);
/// The byte count of the first `units` client units of `text` (all of it
/// when it is shorter).
std::size_t BytesOfUnits(std::string_view text, std::uint32_t units, Encoding encoding);

/// The path of a "file:" URI, or empty for another scheme.
std::string PathOfUri(std::string_view uri);
/// The "file:" URI of an absolute path.
std::string UriOfPath(std::string_view path);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_TEXT_H
