//===- tools/lsp/text.cpp - Texts, lines, positions and URIs --------------===//

#include "tools/lsp/text.h"

#include <algorithm>
#include <cstring>

namespace lsp {

namespace {

/// The last revision given to a text.
std::uint64_t g_LastRevision = 0;

/// The length of the UTF-8 sequence at `text[at]`, or 1 for a byte that
/// starts none (or a sequence cut short).
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  auto byte = static_cast<unsigned char>(text[at]);
  std::size_t length = byte < 0x80 ? 1 : byte >= 0xC2 && byte < 0xE0 ? 2
                       : byte >= 0xE0 && byte < 0xF0 ? 3 : byte >= 0xF0 && byte < 0xF5 ? 4 : 1;
  if (length == 1 || at + length > text.size())
    return 1;
  for (std::size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
      return 1;
  return length;
}

/// Client units of the sequence of `length` bytes.
std::uint32_t UnitsOf(std::size_t length, Encoding encoding) {
  if (encoding == Encoding::Utf8)
    return static_cast<std::uint32_t>(length);
  return length == 4 ? 2 : 1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

} // namespace

std::uint32_t Units(std::string_view text, Encoding encoding) {
  if (encoding == Encoding::Utf8)
    return static_cast<std::uint32_t>(text.size());
  std::uint32_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = SequenceLength(text, i);
    units += UnitsOf(length, encoding);
    i += length;
  }
  return units;
}

std::size_t BytesOfUnits(std::string_view text, std::uint32_t units, Encoding encoding) {
  if (encoding == Encoding::Utf8)
    return std::min<std::size_t>(units, text.size());
  std::size_t i = 0;
  std::uint32_t counted = 0;
  while (i < text.size() && counted < units) {
    std::size_t length = SequenceLength(text, i);
    counted += UnitsOf(length, encoding);
    i += length;
  }
  return i;
}

void CText::Split() {
  m_Revision = ++g_LastRevision;
  m_Starts.clear();
  m_Starts.push_back(0);
  const char *data = m_Text.data();
  std::size_t size = m_Text.size();
  for (std::size_t i = 0; i < size; ++i) {
    char c = data[i];
    if (c != '\n' && c != '\r')
      continue;
    if (c == '\r' && i + 1 < size && data[i + 1] == '\n')
      ++i;
    m_Starts.push_back(static_cast<std::uint32_t>(i + 1));
  }
}

std::string_view CText::Line(std::size_t line) const {
  if (line >= m_Starts.size())
    return {};
  std::size_t start = m_Starts[line];
  std::size_t end = line + 1 < m_Starts.size() ? m_Starts[line + 1] : m_Text.size();
  if (end > start && m_Text[end - 1] == '\n')
    --end;
  if (end > start && m_Text[end - 1] == '\r')
    --end;
  return std::string_view(m_Text).substr(start, end - start);
}

std::uint32_t CText::ByteColumn(std::uint32_t line, std::uint32_t character,
                                Encoding encoding) const {
  return static_cast<std::uint32_t>(BytesOfUnits(Line(line), character, encoding));
}

std::uint32_t CText::Character(std::uint32_t line, std::uint32_t column,
                               Encoding encoding) const {
  std::string_view text = Line(line);
  return Units(text.substr(0, std::min<std::size_t>(column, text.size())), encoding);
}

std::size_t CText::Offset(CPosition position, Encoding encoding) const {
  if (position.line >= m_Starts.size())
    return m_Text.size();
  return m_Starts[position.line] + ByteColumn(position.line, position.character, encoding);
}

void CText::Replace(std::size_t start, std::size_t end, std::string_view replacement) {
  start = std::min(start, m_Text.size());
  end = std::clamp(end, start, m_Text.size());
  m_Text.replace(start, end - start, replacement);
  Split();
}

std::string PathOfUri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (uri.size() < kScheme.size() ||
      !std::equal(kScheme.begin(), kScheme.end(), uri.begin(),
                  [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); }))
    return {};
  std::string_view rest = uri.substr(kScheme.size());
  // An authority ("localhost") comes before the path.
  std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos)
    return {};
  rest = rest.substr(slash);
  if (std::size_t end = rest.find_first_of("?#"); end != std::string_view::npos)
    rest = rest.substr(0, end);
  std::string path;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 &&
        HexValue(rest[i + 2]) >= 0) {
      char decoded = static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      // A NUL cannot be part of a path.
      if (decoded == '\0')
        return {};
      path += decoded;
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

std::string UriOfPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (char c : path) {
    auto byte = static_cast<unsigned char>(c);
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 std::strchr("-._~/", c) != nullptr;
    if (plain && c != '\0') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri;
}

} // namespace lsp
