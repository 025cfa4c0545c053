//===- tools/lsp/instruction_file.cpp - Where instructions are defined ----===//

#include "tools/lsp/instruction_file.h"

#include "util/files.h"
#include "util/text.h"

#include <unordered_map>

namespace lsp {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsBreak(char c) { return c == '\n' || c == '\r'; }
bool EndsBareValue(char c) {
  return IsBlank(c) || IsBreak(c) || c == ',' || c == ';' || c == ':' || c == '=' ||
         c == '"' || c == '\'' || c == '[' || c == ']' || c == '{' || c == '}';
}

/// A cursor over the text that counts lines and columns.
struct CCursor {
  std::string_view text;
  std::size_t at = 0;
  std::uint32_t line = 1;
  std::size_t lineStart = 0;

  bool AtEnd() const { return at >= text.size(); }
  char Peek(std::size_t ahead = 0) const {
    return at + ahead < text.size() ? text[at + ahead] : '\0';
  }
  std::uint32_t Column() const { return static_cast<std::uint32_t>(at - lineStart); }
  /// Passes one byte, counting a line break (CR LF is one).
  void Pass() {
    char c = text[at++];
    if (c == '\r' && Peek() == '\n')
      ++at;
    if (IsBreak(c)) {
      ++line;
      lineStart = at;
    }
  }
  /// Passes a bracketed construct whose opening is at the cursor, nested
  /// brackets and quoted values included.
  void PassConstruct() {
    int depth = 0;
    while (!AtEnd()) {
      char c = Peek();
      if (c == '[' || c == '{') {
        ++depth;
      } else if (c == ']' || c == '}') {
        Pass();
        if (--depth == 0)
          return;
        continue;
      }
      Pass();
    }
  }
};

} // namespace

std::vector<CDefinitionSite> ScanDefinitionSites(std::string_view text) {
  std::vector<CDefinitionSite> sites;
  CCursor cursor{text};
  bool expectName = true;
  int sections = 0;
  std::string comment;
  std::uint32_t commentEnd = 0; // the line the last comment ended on
  while (!cursor.AtEnd()) {
    char c = cursor.Peek();
    if (IsBlank(c) || IsBreak(c) || c == ',' || c == ':' || c == '=') {
      cursor.Pass();
    } else if (c == ';') {
      if (sections == 0)
        expectName = true;
      cursor.Pass();
    } else if ((c == '[' || c == '{') && cursor.Peek(1) == '/') {
      // A comment runs to "/" and the closing bracket; it does not nest.
      char close = c == '[' ? ']' : '}';
      std::uint32_t startLine = cursor.line;
      cursor.Pass();
      cursor.Pass();
      std::size_t from = cursor.at;
      while (!cursor.AtEnd() && !(cursor.Peek() == '/' && cursor.Peek(1) == close))
        cursor.Pass();
      std::string body = CollapseWhitespace(Trim(text.substr(from, cursor.at - from)));
      if (!cursor.AtEnd()) {
        cursor.Pass();
        cursor.Pass();
      }
      if (!sites.empty() && sites.back().line == startLine && sites.back().comment.empty()) {
        sites.back().comment = body;
      } else {
        comment = body;
        commentEnd = cursor.line;
      }
    } else if ((c == '[' || c == '{') && cursor.Peek(1) == '#') {
      cursor.PassConstruct();
    } else if ((c == '[' || c == '{') && cursor.Peek(1) != '$' && cursor.Peek(1) != '&') {
      ++sections;
      cursor.Pass();
    } else if (c == ']' || c == '}') {
      if (sections > 0)
        --sections;
      cursor.Pass();
    } else {
      // A value: quoted, or bare with entity references and special
      // characters inside.
      std::uint32_t line = cursor.line;
      std::uint32_t column = cursor.Column();
      std::size_t from = cursor.at;
      if (c == '"' || c == '\'') {
        cursor.Pass();
        while (!cursor.AtEnd() && cursor.Peek() != c)
          cursor.Pass();
        if (!cursor.AtEnd())
          cursor.Pass();
      } else {
        while (!cursor.AtEnd()) {
          char d = cursor.Peek();
          if ((d == '[' || d == '{') && (cursor.Peek(1) == '$' || cursor.Peek(1) == '&'))
            cursor.PassConstruct();
          else if (EndsBareValue(d))
            break;
          else
            cursor.Pass();
        }
      }
      if (expectName && sections == 0 && cursor.line == line) {
        CDefinitionSite site;
        site.name = std::string(text.substr(from, cursor.at - from));
        site.line = line;
        site.column = column;
        site.endColumn = cursor.Column();
        if (!comment.empty() && commentEnd + 1 >= line)
          site.comment = comment;
        sites.push_back(std::move(site));
      }
      comment.clear();
      expectName = false;
    }
  }
  return sites;
}

std::vector<CFileWarning> InstructionSetWarnings(const std::string &path) {
  std::vector<CFileWarning> warnings;
  std::string text;
  if (!ReadWholeFile(path, text))
    return warnings;
  std::unordered_map<std::string, std::uint32_t, CNoCaseHash, CNoCaseEqual> first;
  for (const CDefinitionSite &site : ScanDefinitionSites(text)) {
    auto [found, added] = first.emplace(site.name, site.line);
    if (added)
      continue;
    warnings.push_back({site.line, site.column, site.endColumn,
                        "instruction \"" + site.name + "\" is defined again: ferrox keeps "
                        "the definition on line " + std::to_string(found->second) +
                        " and ignores this one"});
  }
  return warnings;
}

} // namespace lsp
