//===- source/token_encoding.h - The bytes of token streams -----*- C++ -*-===//
//
// The lexer writes it and CTokenList reads it; every other module reads
// tokens through CTokenList alone.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_SOURCE_TOKEN_ENCODING_H
#define FERROX_SOURCE_TOKEN_ENCODING_H

#include "source/token_kind.h"
#include "util/compiler.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

/// The byte encoding of token streams. A token is a header byte with its
/// kind in the top two bits. A symbol is the header alone: its low bits
/// index kSymbols. Other tokens hold their text length in the low bits, or
/// kLongLength followed by the length in base-128 digits (low first); the
/// text follows.
namespace tokencode {
inline constexpr char kSymbols[] = ",:&^*.";
inline constexpr std::uint8_t kLongLength = 63;
/// Longest encoding of a token beyond its text.
inline constexpr std::size_t kMaxOverhead = 11;

/// The header of the symbol `c` (one of kSymbols).
constexpr std::uint8_t SymbolHeader(char c) {
  std::uint8_t index = 0;
  switch (c) {
  case ',': index = 0; break;
  case ':': index = 1; break;
  case '&': index = 2; break;
  case '^': index = 3; break;
  case '*': index = 4; break;
  case '.': index = 5; break;
  default: index = sizeof kSymbols - 1; break;
  }
  return static_cast<std::uint8_t>((TOKEN_SYMBOL << 6) | index);
}
constexpr bool SymbolHeadersFollowTable() {
  for (std::size_t i = 0; i + 1 < sizeof kSymbols; ++i)
    if (SymbolHeader(kSymbols[i]) != ((TOKEN_SYMBOL << 6) | static_cast<int>(i)))
      return false;
  return true;
}
static_assert(SymbolHeadersFollowTable(), "SymbolHeader follows kSymbols");

/// Writes the token at `out`, which has room for text.size() + kMaxOverhead
/// bytes; returns the bytes written. `kind` is not TOKEN_SYMBOL.
inline std::size_t EncodeText(std::uint8_t *out, TokenKind kind,
                              std::string_view text) {
  std::uint8_t header = static_cast<std::uint8_t>(kind << 6);
  std::size_t length = text.size();
  std::size_t used;
  if (length < kLongLength) {
    out[0] = static_cast<std::uint8_t>(header | length);
    used = 1;
  } else {
    out[0] = static_cast<std::uint8_t>(header | kLongLength);
    used = 1;
    do {
      std::uint8_t low = length & 0x7F;
      length >>= 7;
      out[used++] = static_cast<std::uint8_t>(length != 0 ? (low | 0x80) : low);
    } while (length != 0);
  }
  if (!text.empty())
    std::memcpy(out + used, text.data(), text.size());
  return used + text.size();
}
/// Decode for a text of kLongLength bytes or more, out of the short path's
/// way.
[[gnu::noinline]] inline void DecodeLong(const std::uint8_t *data, std::uint32_t at,
                                         CToken &token, std::uint32_t &next) {
  const std::uint8_t *p = data + at;
  std::size_t length = 0;
  std::size_t used = 1;
  unsigned shift = 0;
  std::uint8_t byte;
  do {
    byte = p[used++];
    length |= static_cast<std::size_t>(byte & 0x7F) << shift;
    shift += 7;
  } while ((byte & 0x80) != 0 && shift < 64);
  token.text = std::string_view(reinterpret_cast<const char *>(p + used), length);
  next = at + static_cast<std::uint32_t>(used + length);
}

/// The token of `data` at `at`; `next` receives the position after it.
FERROX_ALWAYS_INLINE CToken Decode(const std::uint8_t *data, std::uint32_t at,
                                   std::uint32_t &next) {
  const std::uint8_t *p = data + at;
  std::uint8_t header = *p;
  std::uint8_t low = header & 0x3F;
  CToken token;
  token.kind = static_cast<TokenKind>(header >> 6);
  if (token.kind == TOKEN_SYMBOL) {
    token.text = std::string_view(kSymbols + low, 1);
    next = at + 1;
  } else if (low != kLongLength) [[likely]] {
    token.text = std::string_view(reinterpret_cast<const char *>(p + 1), low);
    next = at + 1 + low;
  } else {
    DecodeLong(data, at, token, next);
  }
  return token;
}
} // namespace tokencode

#endif // FERROX_SOURCE_TOKEN_ENCODING_H
