//===- tools/lsp/workspace.cpp - Programs of the workspace folders --------===//

#include "tools/lsp/workspace.h"

#include "tools/lsp/index.h"
#include "tools/lsp/scanner.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

namespace lsp {

namespace {

constexpr std::size_t kMaxEntries = 20000;
constexpr std::size_t kMaxSources = 2000;
constexpr int kMaxDepth = 8;
/// Files followed from one main file.
constexpr std::size_t kMaxClosure = 500;

/// The names of the include directives of a text.
std::vector<std::string> IncludedNames(const CText &text) {
  std::vector<std::string> names;
  std::vector<CScanToken> tokens;
  for (std::size_t line = 0; line < text.LineCount(); ++line) {
    std::string_view content = text.Line(line);
    std::size_t first = content.find_first_not_of(" \t");
    if (first == std::string_view::npos || (content[first] | 0x20) != 'i')
      continue;
    tokens.clear();
    ScanLine(content, tokens);
    if (tokens.size() >= 2 && tokens[0].type == TokenType::Identifier &&
        EqualsNoCase(tokens[0].Text(content), "include") && tokens[1].type == TokenType::String)
      names.push_back(DecodeString(tokens[1].Text(content)));
  }
  return names;
}

} // namespace

void CWorkspace::SetFolders(std::vector<std::string> folders) {
  m_Folders = std::move(folders);
  m_HaveList = false;
}

const std::vector<std::string> &CWorkspace::Sources() {
  auto now = std::chrono::steady_clock::now();
  if (m_HaveList && now - m_Listed < std::chrono::seconds(5))
    return m_Sources;
  m_Sources.clear();
  std::size_t entries = 0;
  namespace fs = std::filesystem;
  for (const std::string &folder : m_Folders) {
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                        error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (++entries > kMaxEntries || m_Sources.size() >= kMaxSources)
        break;
      std::string name = it->path().filename().string();
      std::error_code kind;
      if (it->is_directory(kind)) {
        if (it.depth() >= kMaxDepth || name.empty() || name[0] == '.' || name == "node_modules")
          it.disable_recursion_pending();
        continue;
      }
      if (name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), ".tvs"))
        m_Sources.push_back(AbsolutePath(it->path().string()));
    }
  }
  std::sort(m_Sources.begin(), m_Sources.end());
  m_Listed = now;
  m_HaveList = true;
  return m_Sources;
}

std::string CWorkspace::ProgramIncluding(const std::string &path, CTextSource &texts,
                                         const std::vector<std::string> &includeDirectories) {
  CProgram resolver;
  resolver.includeDirectories = includeDirectories;
  resolver.programDirectory = ProgramDirectory();
  auto exists = [&](const std::string &candidate) { return texts.Text(candidate) != nullptr; };
  for (const std::string &main : Sources()) {
    if (main == path)
      continue;
    resolver.main = main;
    std::vector<std::string> pending{main};
    std::unordered_set<std::string> seen{main};
    while (!pending.empty() && seen.size() < kMaxClosure) {
      std::string file = pending.back();
      pending.pop_back();
      const CText *text = texts.Text(file);
      if (text == nullptr)
        continue;
      for (const std::string &name : IncludedNames(*text)) {
        std::string found = FindIncluded(resolver, name, exists);
        if (found == path)
          return main;
        if (!found.empty() && seen.insert(found).second)
          pending.push_back(found);
      }
    }
  }
  return {};
}

} // namespace lsp
