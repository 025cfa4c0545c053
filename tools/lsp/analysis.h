//===- tools/lsp/analysis.h - One build of a program, observed --*- C++ -*-===//
//
// Runs ferrox's build of a main file in this process, in memory: editor
// buffers stand in for their files, nothing is printed and no image is
// written. An observer copies what the server needs into a CProgram while
// the build goes on, and afterwards the warnings that ferrox itself never
// prints are added to the build's errors:
//
//  - a number that the kind of its place changes (data1u 300);
//  - a name followed directly by a signed number, which is two values
//    (data1u COUNT-1);
//  - a label that is defined and never used;
//  - the problems of the instruction file (InstructionSetWarnings).
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_ANALYSIS_H
#define FERROX_TOOLS_LSP_ANALYSIS_H

#include "tools/lsp/program.h"
#include "tools/lsp/text.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

namespace lsp {

/// The current text of a file: an editor's buffer or the file on disk.
class CTextSource {
public:
  virtual ~CTextSource() = default;
  /// nullptr when the file cannot be read.
  virtual const CText *Text(const std::string &path) = 0;
};

struct CBuildRequest {
  std::string main; ///< absolute path
  /// Editor buffers by absolute path, and their versions.
  const std::unordered_map<std::string, std::string> *overlay = nullptr;
  std::unordered_map<std::string, int> versions;
  /// Asked now and then during the build; true stops it.
  std::function<bool()> cancelled;
  CTextSource *texts = nullptr;
  /// Bytes of the image kept in memory.
  std::uint64_t imageLimit = std::uint64_t{16} << 20;
};

/// Builds `request.main`; nullptr when the build was cancelled. The
/// diagnostics are ready at once; the lookups wait for CompleteProgram,
/// so that the diagnostics need not.
std::unique_ptr<CProgram> AnalyzeProgram(const CBuildRequest &request);
/// Fills the program's lookup tables, the places of its labels in the
/// image and the ends of its namespaces.
void CompleteProgram(CProgram &program);

/// The byte columns of the token on `line` whose text is `word` (in any
/// letter case; the first such token), or of the line's text from its
/// first token when there is none. False when the line is empty.
bool LocateOnLine(std::string_view line, std::string_view word, std::uint32_t &column,
                  std::uint32_t &endColumn);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_ANALYSIS_H
