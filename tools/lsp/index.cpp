//===- tools/lsp/index.cpp - The names of a file and what they mean -------===//

#include "tools/lsp/index.h"

#include "assembler/values.h"
#include "instructions/names.h"
#include "tools/lsp/scanner.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

namespace lsp {

namespace {

constexpr std::uint32_t kUnclaimed = 0xFF;

/// Builds the occurrences of one line.
class CLineIndexer {
public:
  CLineIndexer(const CProgram &program, std::uint32_t file, CFileIndex &index,
               const CExists &exists,
               const std::unordered_map<std::uint64_t, std::uint32_t> &macroAt)
      : m_Program(program), m_File(file), m_Index(index), m_Exists(exists), m_MacroAt(macroAt) {}

  void Index(std::uint32_t lineIndex, std::string_view line) {
    m_Line = line;
    m_LineIndex = lineIndex;
    m_Tokens.clear();
    ScanLine(line, m_Tokens);
    m_Roles.assign(m_Tokens.size(), kUnclaimed);
    m_Targets.assign(m_Tokens.size(), CProgram::kNone);
    m_Kinds.assign(m_Tokens.size(), 0);
    auto lineNumber = static_cast<std::int32_t>(lineIndex + 1);
    const CStatement *statement = m_File == CProgram::kNone
                                      ? nullptr
                                      : m_Program.StatementAt(m_File, lineNumber);
    if (!m_Tokens.empty() && IsIdent(0) && statement == nullptr &&
        IsDirectiveWord(Text(0)))
      Directive(lineNumber);
    else if (statement != nullptr)
      Statement(*statement);
    else
      Words();
    for (std::size_t i = 0; i < m_Tokens.size(); ++i) {
      Role role;
      if (m_Roles[i] != kUnclaimed)
        role = static_cast<Role>(m_Roles[i]);
      else if (m_Tokens[i].type == TokenType::Number)
        role = Role::Number;
      else if (m_Tokens[i].type == TokenType::String)
        role = Role::String;
      else if (m_Tokens[i].type == TokenType::Comment)
        role = Role::Comment;
      else
        continue;
      m_Index.occurrences.push_back(
          {lineIndex, m_Tokens[i].start, m_Tokens[i].end, role, m_Targets[i], m_Kinds[i]});
    }
  }

private:
  bool IsIdent(std::size_t i) const {
    return i < m_Tokens.size() && m_Tokens[i].type == TokenType::Identifier;
  }
  bool IsSymbol(std::size_t i, char c) const {
    return i < m_Tokens.size() && m_Tokens[i].Is(m_Line, c);
  }
  std::string_view Text(std::size_t i) const { return m_Tokens[i].Text(m_Line); }
  void Claim(std::size_t i, Role role, std::uint32_t target = CProgram::kNone) {
    m_Roles[i] = static_cast<std::uint8_t>(role);
    m_Targets[i] = target;
  }

  std::uint32_t Include(std::size_t i) {
    m_Index.includes.push_back(FindIncluded(m_Program, DecodeString(Text(i)), m_Exists));
    return static_cast<std::uint32_t>(m_Index.includes.size() - 1);
  }

  void Directive(std::int32_t lineNumber) {
    Claim(0, Role::Directive);
    std::string word = Lower(Text(0));
    if (word == "define" && IsIdent(1)) {
      auto found = m_MacroAt.find((std::uint64_t{m_File} << 32) | std::uint32_t(lineNumber));
      Claim(1, Role::MacroDef, found != m_MacroAt.end() ? found->second : CProgram::kNone);
      for (std::size_t i = 2; i < m_Tokens.size(); ++i)
        if (IsIdent(i) && m_Program.FindMacro(Text(i)) != CProgram::kNone)
          Claim(i, Role::MacroUse, m_Program.FindMacro(Text(i)));
    } else if ((word == "ifdef" || word == "ifndef") && IsIdent(1)) {
      Claim(1, Role::MacroUse, m_Program.FindMacro(Text(1)));
    } else if (word == "include" && m_Tokens.size() > 1 &&
               m_Tokens[1].type == TokenType::String) {
      Claim(1, Role::IncludeName, Include(1));
    }
  }

  /// The first word of a line that was not assembled: shown, not resolved.
  void Words() {
    std::size_t first = IsIdent(0) && IsSymbol(1, ':') ? 2 : 0;
    if (!IsIdent(first))
      return;
    if (IsCommandWord(Text(first)))
      Claim(first, Role::Command);
    else if (const CInstructionDef *instruction = m_Program.FindInstruction(Text(first)))
      Claim(first, Role::Instruction,
            static_cast<std::uint32_t>(instruction - m_Program.instructions.data()));
  }

  void LabelDefinition(std::size_t i, const std::string &nameSpace) {
    std::string full = nameSpace.empty() ? std::string(Text(i)) : nameSpace + "." + std::string(Text(i));
    std::uint32_t label = m_Program.FindLabel(full);
    if (label != CProgram::kNone &&
        (m_Program.labels[label].file != m_File ||
         m_Program.labels[label].line != static_cast<std::int32_t>(m_LineIndex + 1)))
      label = CProgram::kNone;
    Claim(i, Role::LabelDef, label);
  }

  void Statement(const CStatement &statement) {
    const std::string &nameSpace = m_Program.namespaces[statement.nameSpace];
    std::size_t i = 0;
    if (IsIdent(0) && IsSymbol(1, ':')) {
      LabelDefinition(0, nameSpace);
      i = 2;
    }
    std::array<std::int32_t, 3> kinds{};
    std::int32_t allKind = 0;
    std::size_t skipFirst = 0;
    bool includeBin = false;
    if (IsIdent(i)) {
      std::string_view word = Text(i);
      std::int32_t kind = 0;
      if (std::uint32_t macro = m_Program.FindMacro(word); macro != CProgram::kNone) {
        Claim(i, Role::MacroUse, macro);
      } else if (IsCommandWord(word, &kind)) {
        Claim(i, Role::Command);
        allKind = kind;
        skipFirst = EqualsNoCase(word.substr(0, std::min<std::size_t>(word.size(), 5)), "array");
        includeBin = EqualsNoCase(word, "includebin");
        if (EqualsNoCase(word, "namespace")) {
          if (IsIdent(i + 1))
            Claim(i + 1, Role::NamespaceDef, statement.opened);
          return;
        }
      } else if (const CInstructionDef *instruction = m_Program.FindInstruction(word)) {
        Claim(i, Role::Instruction,
              static_cast<std::uint32_t>(instruction - m_Program.instructions.data()));
        for (std::size_t k = 0; k < instruction->kinds.size() && k < 3; ++k)
          kinds[k] = instruction->kinds[k];
      }
      ++i;
    }
    std::size_t parameter = 0;
    while (i < m_Tokens.size()) {
      if (IsSymbol(i, ',')) {
        ++i;
        continue;
      }
      if (IsIdent(i) && IsSymbol(i + 1, ':')) {
        LabelDefinition(i, nameSpace);
        i += 2;
        continue;
      }
      while (IsSymbol(i, '&') || IsSymbol(i, '^') || IsSymbol(i, '*'))
        ++i;
      if (i >= m_Tokens.size())
        break;
      if (IsIdent(i)) {
        i = Name(i, nameSpace);
      } else {
        if (m_Tokens[i].type == TokenType::Number)
          m_Kinds[i] = allKind != 0 ? (parameter >= skipFirst ? allKind : 0)
                       : parameter < 3 ? kinds[parameter] : 0;
        else if (m_Tokens[i].type == TokenType::String && includeBin)
          Claim(i, Role::IncludeName, Include(i));
        ++i;
      }
      ++parameter;
    }
  }

  /// A name used at token `i`, dotted or not; returns the token after it.
  std::size_t Name(std::size_t i, const std::string &nameSpace) {
    std::vector<std::size_t> parts{i};
    std::string dotted(Text(i));
    std::size_t next = i + 1;
    while (IsSymbol(next, '.') && IsIdent(next + 1)) {
      parts.push_back(next + 1);
      dotted += '.';
      dotted += Text(next + 1);
      next += 2;
    }
    if (parts.size() == 1) {
      if (std::uint32_t macro = m_Program.FindMacro(dotted); macro != CProgram::kNone) {
        Claim(i, Role::MacroUse, macro);
        return next;
      }
    }
    std::uint32_t label = m_Program.ResolveLabel(nameSpace, dotted);
    Claim(parts.back(), Role::LabelUse, label);
    // Each qualifier names the namespace that holds the rest.
    std::string_view full = label != CProgram::kNone ? std::string_view(m_Program.labels[label].name)
                                                     : std::string_view();
    std::size_t qualifier = 0;
    for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
      qualifier += Text(parts[k]).size() + (k > 0 ? 1 : 0);
      std::uint32_t target = CProgram::kNone;
      if (!full.empty()) {
        // The label's full name without the components after this one.
        std::size_t cut = full.size();
        for (std::size_t dropped = 0; dropped < parts.size() - 1 - k && cut != 0; ++dropped) {
          cut = full.rfind('.', cut - 1);
          if (cut == std::string_view::npos)
            cut = 0;
        }
        target = cut != 0 ? m_Program.FindNamespace(full.substr(0, cut)) : CProgram::kNone;
      } else {
        target = m_Program.ResolveNamespace(nameSpace, std::string_view(dotted).substr(0, qualifier));
      }
      Claim(parts[k], Role::NamespaceUse, target);
    }
    return next;
  }

  const CProgram &m_Program;
  std::uint32_t m_File;
  CFileIndex &m_Index;
  const CExists &m_Exists;
  const std::unordered_map<std::uint64_t, std::uint32_t> &m_MacroAt;
  std::string_view m_Line;
  std::uint32_t m_LineIndex = 0;
  std::vector<CScanToken> m_Tokens;
  std::vector<std::uint8_t> m_Roles;
  std::vector<std::uint32_t> m_Targets;
  std::vector<std::int32_t> m_Kinds;
};

/// The conditional regions of a text, from its directive lines.
void FindConditionals(const CText &text, CFileIndex &index) {
  std::vector<std::uint32_t> open;
  for (std::uint32_t line = 0; line < text.LineCount(); ++line) {
    std::string_view content = text.Line(line);
    std::size_t start = content.find_first_not_of(" \t");
    if (start == std::string_view::npos)
      continue;
    std::size_t end = start;
    while (end < content.size() && (std::isalnum(static_cast<unsigned char>(content[end])) ||
                                    content[end] == '_'))
      ++end;
    std::string word = Lower(content.substr(start, end - start));
    if (word == "ifdef" || word == "ifndef") {
      open.push_back(line);
    } else if ((word == "else" || word == "endif") && !open.empty()) {
      if (line > open.back() + 1)
        index.conditionals.push_back({open.back(), line - 1});
      open.pop_back();
      if (word == "else")
        open.push_back(line);
    }
  }
}

} // namespace

std::string DecodeString(std::string_view token) {
  if (token.empty())
    return {};
  char quote = token[0];
  std::string text;
  for (std::size_t i = 1; i < token.size() && token[i] != quote; ++i) {
    if (token[i] != '\\' || i + 1 >= token.size()) {
      text += token[i];
      continue;
    }
    char c = token[++i];
    switch (c) {
    case 'n': text += '\n'; break;
    case 't': text += '\t'; break;
    case 'r': text += '\r'; break;
    case '0': text += '\0'; break;
    case '\\': case '\'': case '"': case '?': text += c; break;
    default: text += '\\'; text += c; break;
    }
  }
  return text;
}

std::string FindIncluded(const CProgram &program, std::string_view name, const CExists &exists) {
  if (name.empty())
    return {};
  std::string candidate = AbsolutePath(ResolvePath(DirectoryPart(program.main), name));
  if (exists(candidate))
    return candidate;
  for (const std::string &directory : program.includeDirectories) {
    candidate = ResolvePath(directory, name);
    if (exists(AbsolutePath(candidate)))
      return AbsolutePath(candidate);
    std::string relative = RelativePath(program.programDirectory, candidate);
    if (relative != candidate && exists(AbsolutePath(relative)))
      return AbsolutePath(relative);
  }
  return {};
}

CFileIndex IndexFile(const CProgram &program, std::uint32_t file, const CText &text,
                     const CExists &exists) {
  CFileIndex index;
  index.revision = text.Revision();
  std::unordered_map<std::uint64_t, std::uint32_t> macroAt;
  for (std::uint32_t i = 0; i < program.macros.size(); ++i)
    macroAt.emplace((std::uint64_t{program.macros[i].file} << 32) |
                        static_cast<std::uint32_t>(program.macros[i].line),
                    i);
  CLineIndexer indexer(program, file, index, exists, macroAt);
  for (std::uint32_t line = 0; line < text.LineCount(); ++line)
    indexer.Index(line, text.Line(line));
  FindConditionals(text, index);
  return index;
}

const COccurrence *OccurrenceAt(const CFileIndex &index, std::uint32_t line, std::uint32_t column) {
  auto first = std::lower_bound(index.occurrences.begin(), index.occurrences.end(), line,
                                [](const COccurrence &o, std::uint32_t l) { return o.line < l; });
  const COccurrence *best = nullptr;
  for (auto it = first; it != index.occurrences.end() && it->line == line; ++it) {
    if (column >= it->start && column <= it->end) {
      // At the boundary of two tokens the one starting there wins.
      if (best == nullptr || it->start == column)
        best = &*it;
    }
  }
  return best;
}

} // namespace lsp
