//===- tools/lsp/scanner.cpp - Tokens of a line with their columns --------===//

#include "tools/lsp/scanner.h"

namespace lsp {

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierPart(char c) { return IsLetter(c) || IsDigit(c); }
bool IsNumberPart(char c) { return IsIdentifierPart(c) || c == '+' || c == '-' || c == '.'; }
bool IsSymbol(char c) {
  return c == ',' || c == ':' || c == '&' || c == '^' || c == '*' || c == '.';
}

} // namespace

bool IsIdentifier(std::string_view text) {
  if (text.empty() || !IsLetter(text[0]))
    return false;
  for (char c : text)
    if (!IsIdentifierPart(c))
      return false;
  return true;
}

void ScanLine(std::string_view line, std::vector<CScanToken> &tokens) {
  std::size_t size = line.size();
  std::size_t i = 0;
  auto emit = [&](TokenType type, std::size_t start, std::size_t end) {
    tokens.push_back({type, static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end)});
  };
  while (i < size) {
    char c = line[i];
    if (c == ' ' || c == '\t') {
      ++i;
    } else if (IsSymbol(c)) {
      emit(TokenType::Symbol, i, i + 1);
      ++i;
    } else if (IsLetter(c)) {
      std::size_t end = i + 1;
      while (end < size && IsIdentifierPart(line[end]))
        ++end;
      emit(TokenType::Identifier, i, end);
      i = end;
    } else if (IsDigit(c) || c == '+' || c == '-') {
      std::size_t end = i + 1;
      while (end < size && IsNumberPart(line[end]))
        ++end;
      emit(TokenType::Number, i, end);
      i = end;
    } else if (c == '"' || c == '\'') {
      // A backslash takes the byte after it, so an escaped quote does not
      // end the string; a string without its closing quote runs to the end.
      std::size_t end = i + 1;
      while (end < size && line[end] != c)
        end += line[end] == '\\' ? 2 : 1;
      end = end < size ? end + 1 : size;
      emit(TokenType::String, i, end);
      i = end;
    } else if (c == ';') {
      emit(TokenType::Comment, i, size);
      return;
    } else {
      emit(TokenType::Bad, i, i + 1);
      return;
    }
  }
}

std::vector<CScanToken> ScanLine(std::string_view line) {
  std::vector<CScanToken> tokens;
  ScanLine(line, tokens);
  return tokens;
}

} // namespace lsp
