//===- assembler/statement.h - The statement dispatcher ---------*- C++ -*-===//
#ifndef FERROX_ASSEMBLER_STATEMENT_H
#define FERROX_ASSEMBLER_STATEMENT_H

#include "source/token.h"
#include "util/compiler.h"

#include <cstdint>
#include <string_view>

/// The line being assembled; the assembler reports its errors against it.
extern CSourceLine *g_CurrentLine;

/// Assembles the line under the cursor of g_SourceLines: an optional label,
/// then a command keyword or an instruction name and its operands.
bool CompileStatement();

/// ReadLabelPrefix for an identifier too long for the inline part.
bool ReadLongLabelPrefix(CSourceLine &line, std::string_view &name);

/// Takes an identifier directly followed by ":" at the line's cursor. On
/// failure the cursor stays where it was. Inline: every statement and
/// parameter asks, and most have no label, which a short identifier shows
/// by the byte after it.
FERROX_ALWAYS_INLINE bool ReadLabelPrefix(CSourceLine &line,
                                          std::string_view &name) {
  if (line.AtEnd() || line.CurrentKind() != TOKEN_IDENTIFIER)
    return false;
  CTokenList::Cursor at = line.GetCursor();
  std::string_view bytes = line.EncodedFrom(at);
  std::size_t length = static_cast<std::uint8_t>(bytes[0]) & 0x3F;
  if (length == tokencode::kLongLength)
    return ReadLongLabelPrefix(line, name);
  if (bytes.size() <= length + 1 ||
      static_cast<std::uint8_t>(bytes[length + 1]) != tokencode::SymbolHeader(':'))
    return false;
  name = bytes.substr(1, length);
  line.SetCursor(at + static_cast<CTokenList::Cursor>(length + 2));
  return true;
}

/// Reports an error at the line being assembled.
void ReportLineError(int code, std::string_view message);

void ResetStatement();

#endif // FERROX_ASSEMBLER_STATEMENT_H
