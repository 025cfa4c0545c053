//===- tools/lsp/instruction_file.h - Where instructions are defined -*- C++ -*-===//
//
// ferrox reads Instructions.okl through its markup reader, which edits the
// document as it goes and keeps no positions. To show where an instruction
// is defined, and to point at problems of the file, the server reads the
// raw text once more: a definition is a bare value at the top level after
// the start of the file or a ";", outside sections, comments and markup
// directives. Definitions that markup directives make ([#if], [#inc]) have
// no known place.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_INSTRUCTION_FILE_H
#define FERROX_TOOLS_LSP_INSTRUCTION_FILE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lsp {

/// A definition as written in the file.
struct CDefinitionSite {
  std::string name;
  std::uint32_t line = 0;   ///< 1-based
  std::uint32_t column = 0; ///< bytes, of the name
  std::uint32_t endColumn = 0;
  /// The OKL comment on the definition's line or ending on the line above.
  std::string comment;
};

/// The definitions of an instruction file's text, in file order.
std::vector<CDefinitionSite> ScanDefinitionSites(std::string_view text);

/// A problem at a place in a file.
struct CFileWarning {
  std::uint32_t line = 0; ///< 1-based
  std::uint32_t column = 0;
  std::uint32_t endColumn = 0;
  std::string message;
};

/// The problems of the instruction file at `path` that ferrox passes over
/// in silence: for now a name defined twice (ferrox keeps the first
/// definition). Reads the file as a build does, so an editor's buffer
/// stands in for it while an overlay is set.
std::vector<CFileWarning> InstructionSetWarnings(const std::string &path);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_INSTRUCTION_FILE_H
