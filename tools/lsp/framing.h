//===- tools/lsp/framing.h - Messages cut from a byte stream ----*- C++ -*-===//
//
// The client sends messages as a header ("Content-Length: N", CR LF, more
// header lines, an empty line) followed by N bytes of JSON. CMessageReader
// takes bytes as they arrive and hands out whole bodies. It never holds
// more than one header and one body of at most its bound in memory: a
// longer body is reported as soon as its header is read and its bytes are
// dropped as they come, and a header that does not end or has no usable
// length is dropped up to its end.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_FRAMING_H
#define FERROX_TOOLS_LSP_FRAMING_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lsp {

/// The largest message body the server reads (64 MiB): an editor buffer
/// of a million lines fits, a runaway client does not.
inline constexpr std::size_t kMaxMessageSize = std::size_t{64} << 20;
/// The longest header accepted.
inline constexpr std::size_t kMaxHeaderSize = 8192;

/// What the reader found.
struct CFrame {
  enum class Kind {
    Message,   ///< `body` holds a whole message
    Oversized, ///< the header announced a body beyond the bound
    BadHeader, ///< a header without a valid Content-Length, or too long
  } kind = Kind::Message;
  std::string body;
};

class CMessageReader {
public:
  explicit CMessageReader(std::size_t maxBody = kMaxMessageSize) : m_MaxBody(maxBody) {}

  /// Adds bytes from the stream.
  void Feed(std::string_view bytes);
  /// The next frame, or nothing until more bytes arrive.
  std::optional<CFrame> Next();
  /// Whether bytes of an unfinished message are waiting.
  bool Partial() const { return m_Start < m_Buffer.size() || m_Skip > 0; }

private:
  /// Reads the header at the front of the buffer; false when it is not
  /// complete yet.
  bool TakeHeader(std::optional<CFrame> &frame);
  void Compact();

  std::size_t m_MaxBody;
  std::string m_Buffer;
  std::size_t m_Start = 0;
  /// The length of the body being read, once its header is taken.
  std::optional<std::size_t> m_Body;
  /// Bytes of an oversized body still to drop.
  std::size_t m_Skip = 0;
  /// A header too long to keep is being dropped up to its end.
  bool m_SkippingHeader = false;
};

/// `body` with its header, ready to write.
std::string FrameMessage(std::string_view body);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_FRAMING_H
