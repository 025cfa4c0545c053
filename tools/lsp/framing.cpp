//===- tools/lsp/framing.cpp - Messages cut from a byte stream ------------===//

#include "tools/lsp/framing.h"

#include <algorithm>
#include <cstdint>

namespace lsp {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

/// The Content-Length of a header block, or nothing when it has none, a
/// malformed one or two that disagree.
std::optional<std::size_t> ContentLength(std::string_view header) {
  std::optional<std::size_t> length;
  while (!header.empty()) {
    std::size_t end = header.find('\n');
    std::string_view line = header.substr(0, end);
    header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
    line = TrimBlanks(line);
    if (line.empty())
      continue;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
      return std::nullopt;
    if (!EqualsNoCase(TrimBlanks(line.substr(0, colon)), "content-length"))
      continue;
    std::string_view digits = TrimBlanks(line.substr(colon + 1));
    if (digits.empty() || digits.size() > 18)
      return std::nullopt;
    std::size_t value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9')
        return std::nullopt;
      value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    if (length && *length != value)
      return std::nullopt;
    length = value;
  }
  return length;
}

} // namespace

void CMessageReader::Feed(std::string_view bytes) {
  if (m_Skip > 0) {
    std::size_t dropped = std::min(m_Skip, bytes.size());
    m_Skip -= dropped;
    bytes.remove_prefix(dropped);
  }
  m_Buffer.append(bytes);
}

void CMessageReader::Compact() {
  if (m_Start == 0)
    return;
  if (m_Start >= m_Buffer.size()) {
    m_Buffer.clear();
  } else if (m_Start > 65536 && m_Start * 2 > m_Buffer.size()) {
    m_Buffer.erase(0, m_Start);
  } else {
    return;
  }
  m_Start = 0;
}

bool CMessageReader::TakeHeader(std::optional<CFrame> &frame) {
  std::string_view rest(m_Buffer);
  rest.remove_prefix(m_Start);
  // Blank lines between messages are no header.
  while (!rest.empty() && (rest.front() == '\r' || rest.front() == '\n')) {
    rest.remove_prefix(1);
    ++m_Start;
  }
  // The header ends at an empty line; a lone LF is taken like CR LF.
  std::size_t end = std::string_view::npos;
  std::size_t after = 0;
  for (std::size_t i = 0; i < rest.size() && i <= kMaxHeaderSize; ++i) {
    if (rest[i] != '\n')
      continue;
    std::size_t next = i + 1;
    if (next < rest.size() && rest[next] == '\r')
      ++next;
    if (next < rest.size() && rest[next] == '\n') {
      end = i;
      after = next + 1;
      break;
    }
  }
  if (end == std::string_view::npos) {
    if (rest.size() <= kMaxHeaderSize)
      return false;
    // Too long to be a header: dropped up to its end.
    m_Start = m_Buffer.size();
    m_SkippingHeader = true;
    frame = CFrame{CFrame::Kind::BadHeader, {}};
    return true;
  }
  std::optional<std::size_t> length = ContentLength(rest.substr(0, end));
  m_Start += after;
  if (!length) {
    frame = CFrame{CFrame::Kind::BadHeader, {}};
    return true;
  }
  if (*length > m_MaxBody) {
    std::size_t available = m_Buffer.size() - m_Start;
    std::size_t dropped = std::min(available, *length);
    m_Start += dropped;
    m_Skip = *length - dropped;
    frame = CFrame{CFrame::Kind::Oversized, {}};
    return true;
  }
  m_Body = *length;
  return true;
}

std::optional<CFrame> CMessageReader::Next() {
  for (;;) {
    Compact();
    if (m_SkippingHeader) {
      // Drop bytes up to the empty line that ends the overlong header.
      std::size_t end = std::min(m_Buffer.find("\n\r\n", m_Start), m_Buffer.find("\n\n", m_Start));
      if (end == std::string::npos) {
        // Keep the last bytes: the terminator may be split across reads.
        if (m_Buffer.size() - m_Start > 3)
          m_Start = m_Buffer.size() - 3;
        return std::nullopt;
      }
      m_Start = end + (m_Buffer[end + 1] == '\r' ? 3 : 2);
      m_SkippingHeader = false;
      continue;
    }
    if (!m_Body) {
      std::optional<CFrame> frame;
      if (!TakeHeader(frame))
        return std::nullopt;
      if (frame)
        return frame;
    }
    if (m_Buffer.size() - m_Start < *m_Body)
      return std::nullopt;
    CFrame frame{CFrame::Kind::Message, m_Buffer.substr(m_Start, *m_Body)};
    m_Start += *m_Body;
    m_Body.reset();
    return frame;
  }
}

std::string FrameMessage(std::string_view body) {
  std::string message = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  message.append(body);
  return message;
}

} // namespace lsp
