//===- source/token_kind.h - Token kinds and tokens --------------*- C++ -*-===//
#ifndef FERROX_SOURCE_TOKEN_KIND_H
#define FERROX_SOURCE_TOKEN_KIND_H

#include <cstdint>
#include <string_view>

enum TokenKind : std::int32_t {
  TOKEN_IDENTIFIER = 0,
  TOKEN_SYMBOL = 1, ///< One of , : & ^ * .
  TOKEN_STRING = 2, ///< Decoded contents, without quotes; any byte.
  TOKEN_NUMBER = 3, ///< The characters as written, unconverted.
};

/// One token. The text refers to storage that outlives the token list it was
/// read from.
struct CToken {
  TokenKind kind = TOKEN_IDENTIFIER;
  std::string_view text;
};

#endif // FERROX_SOURCE_TOKEN_KIND_H
