//===- assembler/statement.h - The statement dispatcher ---------*- C++ -*-===//
#ifndef FERROX_ASSEMBLER_STATEMENT_H
#define FERROX_ASSEMBLER_STATEMENT_H

#include "source/token.h"

#include <cstdint>
#include <span>
#include <string_view>

/// The line being assembled; the assembler reports its errors against it.
extern CSourceLine *g_CurrentLine;

/// Assembles the line under the cursor of g_SourceLines: an optional label,
/// then a command keyword or an instruction name and its operands.
bool CompileStatement();

/// Reports an error at the line being assembled.
void ReportLineError(int code, std::string_view message);

void ResetStatement();

/// The command keywords, in lower case ("namespace", "reserve", ...).
std::span<const std::string_view> CommandKeywords();
/// The typed command families ("data", "array", "skip"): each is a command
/// when a value kind's suffix follows it ("data4i").
std::span<const std::string_view> CommandFamilies();

#endif // FERROX_ASSEMBLER_STATEMENT_H
