//===- tools/lsp/index.h - The names of a file and what they mean -*- C++ -*-===//
//
// The index of a file lists every token that means something, with its
// place: definitions and uses of labels, macros and namespaces, the words
// of statements (instructions, commands, directives), included file names,
// numbers, strings and comments. It comes from the server's own scan of
// the file's text together with the build's results: the namespace of
// each statement, the labels with their full names, the macros. Names are
// resolved as the assembler resolves them, from the statement's namespace
// outward; a qualified name's qualifiers are uses of namespaces.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_INDEX_H
#define FERROX_TOOLS_LSP_INDEX_H

#include "tools/lsp/program.h"
#include "tools/lsp/text.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lsp {

enum class Role : std::uint8_t {
  LabelDef,
  LabelUse,
  MacroDef,
  MacroUse,
  NamespaceDef,
  NamespaceUse,
  Instruction,
  Command,
  Directive,
  IncludeName, ///< the string of include or includebin
  Number,
  String,
  Comment,
};

struct COccurrence {
  std::uint32_t line = 0; ///< 0-based
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  Role role = Role::Comment;
  /// The label, macro, namespace or instruction meant; for an include
  /// name the index into CFileIndex::includes; kNone when unknown.
  std::uint32_t target = CProgram::kNone;
  /// For a number: the value kind of its place, or 0.
  std::int32_t kind = 0;
};

/// The lines of a conditional region or a namespace, 0-based.
struct CRegion {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
};

struct CFileIndex {
  std::vector<COccurrence> occurrences; ///< in the order of the text
  /// Files that include and includebin names lead to (empty when not found).
  std::vector<std::string> includes;
  std::vector<CRegion> conditionals;
  std::uint64_t revision = 0; ///< of the text it was built from
};

/// Whether a file exists, for included names.
using CExists = std::function<bool(const std::string &)>;

/// The index of `text`, the file `file` of `program` (kNone for a file the
/// build did not read: only its directives and words are known).
CFileIndex IndexFile(const CProgram &program, std::uint32_t file, const CText &text,
                     const CExists &exists);

/// The occurrence covering byte column `column` of `line` (its end
/// included), or nullptr.
const COccurrence *OccurrenceAt(const CFileIndex &index, std::uint32_t line, std::uint32_t column);

/// The file an include name leads to for `program`, searched like ferrox
/// searches it: the main file's folder, then each include folder.
std::string FindIncluded(const CProgram &program, std::string_view name, const CExists &exists);

/// The bytes of a string token as written (quotes and escapes decoded).
std::string DecodeString(std::string_view token);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_INDEX_H
