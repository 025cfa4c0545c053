//===- tools/lsp/workspace.h - Programs of the workspace folders -*- C++ -*-===//
//
// A file that is only included (a .tvh) is checked as part of a program
// that includes it. When no open program does, the server looks for one
// among the .tvs files of the workspace folders: their include directives
// are read (not built) and followed, names resolved from the main file's
// folder and the include folders as ferrox resolves them. The search is
// bounded in files, depth and time.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_WORKSPACE_H
#define FERROX_TOOLS_LSP_WORKSPACE_H

#include "tools/lsp/analysis.h"

#include <chrono>
#include <string>
#include <vector>

namespace lsp {

class CWorkspace {
public:
  void SetFolders(std::vector<std::string> folders);
  const std::vector<std::string> &Folders() const { return m_Folders; }

  /// The first .tvs file of the workspace (in path order) whose includes
  /// lead to `path`, or empty. `includeDirectories` are searched after the
  /// main file's folder.
  std::string ProgramIncluding(const std::string &path, CTextSource &texts,
                               const std::vector<std::string> &includeDirectories);

private:
  /// The .tvs files, listed again when the list is older than a few seconds.
  const std::vector<std::string> &Sources();

  std::vector<std::string> m_Folders;
  std::vector<std::string> m_Sources;
  std::chrono::steady_clock::time_point m_Listed;
  bool m_HaveList = false;
};

} // namespace lsp

#endif // FERROX_TOOLS_LSP_WORKSPACE_H
