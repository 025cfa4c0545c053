//===- tools/lsp/warnings.h - Diagnostics of a build ------------*- C++ -*-===//
//
// Turns what a build reported and what the observer noticed into the
// diagnostics of every file, each placed on its token where the line shows
// it: the build's errors (all of them, not only the first seven), and the
// warnings that ferrox never prints.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_WARNINGS_H
#define FERROX_TOOLS_LSP_WARNINGS_H

#include "tools/lsp/analysis.h"
#include "tools/lsp/program.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lsp {

/// What a build found, before it is placed.
struct CFindings {
  struct CError {
    int code;
    std::string message;
    std::uint32_t file; ///< CProgram::kNone when the error names no file
    std::int32_t line;
  };
  /// A warning at a line, to point at `token` when the line shows it.
  struct CWarning {
    std::uint32_t file;
    std::int32_t line;
    std::string token;
    std::string code;
    std::string message;
  };
  std::vector<CError> errors;
  std::vector<CWarning> warnings;
  /// Lines where a name may stand right before a signed number.
  std::vector<std::pair<std::uint32_t, std::int32_t>> adjacent;
};

/// Fills `program.diagnostics`.
void AddDiagnostics(CProgram &program, const CFindings &findings, CTextSource *texts);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_WARNINGS_H
