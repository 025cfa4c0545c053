//===- tools/lsp/program.h - What one build of a program tells --*- C++ -*-===//
//
// A CProgram holds everything the server keeps from one build of a main
// file, copied out of the core (whose state the next build replaces): the
// files read, each statement with its namespace and place in the image,
// the labels with full names, the macros, the instruction set, and the
// diagnostics by file. It also resolves names as the assembler does: a
// name is looked up from the namespace of its use outward.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_PROGRAM_H
#define FERROX_TOOLS_LSP_PROGRAM_H

#include "driver/observer.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lsp {

/// A problem to publish, at a line of a file.
struct CDiagnostic {
  std::uint32_t line = 1; ///< 1-based
  /// Byte columns; when `wholeLine`, the line's text from its first token.
  std::uint32_t column = 0;
  std::uint32_t endColumn = 0;
  bool wholeLine = true;
  int severity = 1; ///< 1 error, 2 warning
  std::string code;
  std::string message;
  bool unnecessary = false; ///< shown faded: an unused label

  bool operator==(const CDiagnostic &) const = default;
};

enum class Command : std::uint8_t { Other, Namespace, End };

struct CStatement {
  std::uint32_t file = 0;
  std::int32_t line = 0;
  std::uint32_t nameSpace = 0; ///< index into CProgram::namespaces
  StatementKind kind = StatementKind::None;
  Command command = Command::Other;
  std::int32_t address = 0;
  std::int32_t addressAfter = 0;
  std::uint64_t position = 0;
  std::uint64_t size = 0;
  /// For "namespace": the namespace it opened, and the line of its "end"
  /// when that is in the same file (0 otherwise).
  std::uint32_t opened = 0;
  std::int32_t endLine = 0;
};

struct CLabelDef {
  std::string name; ///< full name as written
  std::int32_t value = 0;
  std::uint32_t file = 0;
  std::int32_t line = 0;
  /// File position of the labelled byte in the image, or -1.
  std::int64_t position = -1;
  bool used = false;
};

struct CMacroDef {
  std::string name;
  std::string body; ///< the tokens, written out as source text
  std::uint32_t file = 0;
  std::int32_t line = 0;
};

struct CInstructionDef {
  std::string name;
  int topBits = 0;
  int opcode = 0;
  std::vector<std::int32_t> kinds;
  std::uint32_t line = 0; ///< in the instruction file; 0 when unknown
  std::uint32_t column = 0;
  std::string comment;
};

class CProgram {
public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  std::string main;
  /// The folder of the installation files, ending with '/'.
  std::string programDirectory;
  std::vector<std::string> includeDirectories;

  /// Files by number, as absolute paths; every file the build read is one.
  std::vector<std::string> files;
  std::uint32_t FileNumber(const std::string &path); ///< adds it when new
  std::uint32_t FindFile(const std::string &path) const;
  /// Whether each file is a source (lexed by the build), not a binary of
  /// includebin nor an installation file read otherwise.
  std::vector<bool> sources;
  bool IsSource(std::uint32_t file) const { return file < sources.size() && sources[file]; }
  /// Whether the build read `path`.
  bool Reads(const std::string &path) const { return FindFile(path) != kNone; }

  /// Namespace paths as written; [0] is the global namespace "".
  std::vector<std::string> namespaces{std::string()};
  std::uint32_t FindNamespace(std::string_view fullName) const;

  std::vector<CStatement> statements;
  /// The statement at a line of a file, or nullptr.
  const CStatement *StatementAt(std::uint32_t file, std::int32_t line) const;
  /// The namespace open at a line (the statement's, else that of the
  /// nearest statement above in the same file, with its effect).
  std::uint32_t NamespaceAt(std::uint32_t file, std::int32_t line) const;

  std::vector<CLabelDef> labels;
  std::uint32_t FindLabel(std::string_view fullName) const;
  /// The label that `name` (dotted or not) means from namespace path
  /// `nameSpace`, or kNone.
  std::uint32_t ResolveLabel(std::string_view nameSpace, std::string_view name) const;
  /// The namespace the qualifier `name` ("a" or "a.b") means from
  /// `nameSpace`, or kNone.
  std::uint32_t ResolveNamespace(std::string_view nameSpace, std::string_view name) const;

  std::vector<CMacroDef> macros;
  std::uint32_t FindMacro(std::string_view name) const;

  std::vector<CInstructionDef> instructions;
  std::string instructionFile;
  const CInstructionDef *FindInstruction(std::string_view name) const;

  /// Diagnostics by file path; every file of the program has an entry.
  std::map<std::string, std::vector<CDiagnostic>> diagnostics;
  /// The versions of the editor buffers the build read, by path.
  std::unordered_map<std::string, int> versions;

  /// Fills the lookup tables; called once everything above is in place.
  void Finish();

private:
  std::unordered_map<std::string, std::uint32_t> m_FileNumbers;
  std::unordered_map<std::string, std::uint32_t> m_Namespaces; // lower case
  std::unordered_map<std::string, std::uint32_t> m_Labels;     // lower case
  std::unordered_map<std::string, std::uint32_t> m_Macros;     // lower case
  std::unordered_map<std::string, std::uint32_t> m_Instructions; // lower case
  /// Per file, per line: the statement's number + 1, or 0.
  std::vector<std::vector<std::uint32_t>> m_StatementOfLine;
};

/// `path` made absolute against the working folder and normalized, as the
/// file overlay keys its texts.
std::string AbsolutePath(const std::string &path);

/// `text` in lower case (ASCII letters; names are compared so).
std::string Lower(std::string_view text);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_PROGRAM_H
