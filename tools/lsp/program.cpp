//===- tools/lsp/program.cpp - What one build of a program tells ----------===//

#include "tools/lsp/program.h"

#include "util/paths.h"
#include "util/platform.h"

namespace lsp {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char &c : lower)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

std::string AbsolutePath(const std::string &path) {
  if (path.empty())
    return path;
  return PathRoot(path).empty() ? ResolvePath(platform::CurrentDirectory(), path)
                                : NormalizePath(path);
}

namespace {

template <class Map>
std::uint32_t Find(const Map &map, std::string_view name) {
  auto found = map.find(Lower(name));
  return found != map.end() ? found->second : CProgram::kNone;
}

/// The path one namespace up: "a.b" gives "a", "a" gives "".
std::string_view Parent(std::string_view path) {
  std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : path.substr(0, dot);
}

/// `name` looked up from the namespace `nameSpace` outward, as the
/// assembler resolves it: "a.b" tries a.b.name, a.name, then name.
template <class Map>
std::uint32_t FindOutward(const Map &map, std::string_view nameSpace, std::string_view name) {
  std::string key;
  for (std::string_view level = nameSpace;; level = Parent(level)) {
    key.assign(level);
    if (!key.empty())
      key += '.';
    key.append(name);
    if (std::uint32_t found = Find(map, key); found != CProgram::kNone)
      return found;
    if (level.empty())
      return CProgram::kNone;
  }
}

} // namespace

std::uint32_t CProgram::FileNumber(const std::string &path) {
  auto [found, added] = m_FileNumbers.emplace(path, static_cast<std::uint32_t>(files.size()));
  if (added)
    files.push_back(path);
  return found->second;
}

std::uint32_t CProgram::FindFile(const std::string &path) const {
  auto found = m_FileNumbers.find(path);
  return found != m_FileNumbers.end() ? found->second : kNone;
}

std::uint32_t CProgram::FindNamespace(std::string_view fullName) const {
  return Find(m_Namespaces, fullName);
}
std::uint32_t CProgram::FindLabel(std::string_view fullName) const {
  return Find(m_Labels, fullName);
}
std::uint32_t CProgram::FindMacro(std::string_view name) const { return Find(m_Macros, name); }

const CInstructionDef *CProgram::FindInstruction(std::string_view name) const {
  std::uint32_t found = Find(m_Instructions, name);
  return found != kNone ? &instructions[found] : nullptr;
}

std::uint32_t CProgram::ResolveLabel(std::string_view nameSpace, std::string_view name) const {
  return FindOutward(m_Labels, nameSpace, name);
}

std::uint32_t CProgram::ResolveNamespace(std::string_view nameSpace, std::string_view name) const {
  return FindOutward(m_Namespaces, nameSpace, name);
}

const CStatement *CProgram::StatementAt(std::uint32_t file, std::int32_t line) const {
  if (file >= m_StatementOfLine.size() || line <= 0)
    return nullptr;
  const std::vector<std::uint32_t> &lines = m_StatementOfLine[file];
  auto index = static_cast<std::size_t>(line);
  if (index >= lines.size() || lines[index] == 0)
    return nullptr;
  return &statements[lines[index] - 1];
}

std::uint32_t CProgram::NamespaceAt(std::uint32_t file, std::int32_t line) const {
  for (std::int32_t above = line; above > 0; --above) {
    const CStatement *statement = StatementAt(file, above);
    if (statement == nullptr)
      continue;
    if (above == line || statement->command == Command::Other)
      return statement->nameSpace;
    if (statement->command == Command::Namespace)
      return statement->opened;
    std::uint32_t parent = FindNamespace(Parent(namespaces[statement->nameSpace]));
    return parent != kNone ? parent : 0;
  }
  return 0;
}

void CProgram::Finish() {
  m_Namespaces.clear();
  for (std::uint32_t i = 0; i < namespaces.size(); ++i)
    m_Namespaces.emplace(Lower(namespaces[i]), i);
  // Every prefix of a label's full name is a namespace too.
  m_Labels.clear();
  for (std::uint32_t i = 0; i < labels.size(); ++i) {
    std::string lower = Lower(labels[i].name);
    m_Labels.emplace(lower, i);
    for (std::string_view path = Parent(lower); !path.empty(); path = Parent(path)) {
      if (!m_Namespaces.emplace(std::string(path), static_cast<std::uint32_t>(namespaces.size()))
               .second)
        break;
      namespaces.emplace_back(Parent(labels[i].name).substr(0, path.size()));
    }
  }
  m_Macros.clear();
  for (std::uint32_t i = 0; i < macros.size(); ++i)
    m_Macros.emplace(Lower(macros[i].name), i);
  m_Instructions.clear();
  for (std::uint32_t i = 0; i < instructions.size(); ++i)
    m_Instructions.emplace(Lower(instructions[i].name), i);
  m_StatementOfLine.assign(files.size(), {});
  for (std::uint32_t i = 0; i < statements.size(); ++i) {
    const CStatement &statement = statements[i];
    if (statement.file >= files.size() || statement.line <= 0)
      continue;
    std::vector<std::uint32_t> &lines = m_StatementOfLine[statement.file];
    auto index = static_cast<std::size_t>(statement.line);
    if (lines.size() <= index)
      lines.resize(index + 1, 0);
    // One line may stand for several statements only through an included
    // file named twice; the first is kept.
    if (lines[index] == 0)
      lines[index] = i + 1;
  }
}

} // namespace lsp
