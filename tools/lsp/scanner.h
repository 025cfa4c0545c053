//===- tools/lsp/scanner.h - Tokens of a line with their columns -*- C++ -*-===//
//
// ferrox's own lexer keeps no columns, so the server scans the lines of a
// buffer again by the same rules: identifiers, numbers, strings, the
// symbols , : & ^ * . and a ";" comment to the end of the line. A byte that
// starts no token ends the line's tokens, as it ends them for ferrox.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_SCANNER_H
#define FERROX_TOOLS_LSP_SCANNER_H

#include <cstdint>
#include <string_view>
#include <vector>

namespace lsp {

enum class TokenType : std::uint8_t { Identifier, Number, String, Symbol, Comment, Bad };

/// One token: its type and its bytes [start, end) in the line.
struct CScanToken {
  TokenType type = TokenType::Bad;
  std::uint32_t start = 0;
  std::uint32_t end = 0;

  std::string_view Text(std::string_view line) const { return line.substr(start, end - start); }
  /// For a symbol: whether it is `c`.
  bool Is(std::string_view line, char c) const {
    return type == TokenType::Symbol && line[start] == c;
  }
};

/// Appends the tokens of `line` to `tokens`.
void ScanLine(std::string_view line, std::vector<CScanToken> &tokens);
/// The tokens of `line`.
std::vector<CScanToken> ScanLine(std::string_view line);

/// Whether `text` is an identifier: a letter or "_", then letters, digits
/// and "_".
bool IsIdentifier(std::string_view text);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_SCANNER_H
