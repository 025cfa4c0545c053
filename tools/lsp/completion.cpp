//===- tools/lsp/completion.cpp - Names to complete at the cursor ---------===//
//
// At the first word of a statement: directives, commands (each data, array
// and skip family with every kind suffix), instructions and macros. After
// ifdef and ifndef: macros. In parameters: macros and the labels and
// namespaces visible from the cursor's namespace, each by the shortest
// name that reaches it from there.
//
//===----------------------------------------------------------------------===//

#include "tools/lsp/features.h"
#include "tools/lsp/scanner.h"
#include "assembler/statement.h"
#include "assembler/values.h"
#include "preprocessor/preprocessor.h"
#include "util/text.h"

#include <set>

namespace lsp {

namespace {

/// Completion item kinds of the protocol.
enum ItemKind { kFunction = 3, kVariable = 6, kModule = 9, kKeyword = 14, kConstant = 21 };

constexpr std::size_t kMaxItems = 2000;


/// Whether a name has a component made up for an anonymous namespace
/// ("_123_456"), which no source can write.
bool HasMadeUpComponent(std::string_view name) {
  for (std::size_t start = 0; start < name.size();) {
    std::size_t end = std::min(name.find('.', start), name.size());
    std::string_view part = name.substr(start, end - start);
    if (part.size() > 2 && part[0] == '_' && part[1] >= '0' && part[1] <= '9')
      return true;
    start = end + 1;
  }
  return false;
}

class CItems {
public:
  CItems(const CFeatureContext &context, json range) : m_Context(context), m_Range(std::move(range)) {}

  void Add(const std::string &label, int kind, const std::string &detail) {
    if (m_Items.size() >= kMaxItems) {
      m_Incomplete = true;
      return;
    }
    if (!m_Seen.insert(Lower(label)).second)
      return;
    json item = {{"label", label}, {"kind", kind}, {"textEdit", {{"range", m_Range}, {"newText", label}}}};
    if (!detail.empty())
      item["detail"] = detail;
    m_Items.push_back(std::move(item));
  }
  json Result() const { return json{{"isIncomplete", m_Incomplete}, {"items", m_Items}}; }

  void Macros() {
    for (const CMacroDef &macro : m_Context.program.macros)
      Add(macro.name, kConstant, macro.body.empty() ? "macro" : "macro: " + macro.body);
  }

  void FirstWords() {
    for (std::string_view directive : DirectiveNames())
      Add(std::string(directive), kKeyword, "directive");
    for (std::string_view command : CommandKeywords())
      Add(std::string(command), kKeyword, "command");
    for (std::string_view family : CommandFamilies())
      for (std::int32_t kind = KIND_1U; kind <= KIND_NS; ++kind)
        Add(std::string(family) + std::string(KindInfo(kind).name), kKeyword, "command");
    for (const CInstructionDef &instruction : m_Context.program.instructions) {
      std::string detail = "instruction";
      for (std::int32_t kind : instruction.kinds)
        detail += " " + std::string(KindInfo(kind).name);
      Add(instruction.name, kFunction, detail);
    }
    Macros();
  }

  /// The labels and namespaces visible from `nameSpace`.
  void Names(const std::string &nameSpace) {
    const CProgram &program = m_Context.program;
    std::string lowerSpace = Lower(nameSpace);
    for (std::uint32_t i = 0; i < program.labels.size(); ++i) {
      std::string name = Shortest(program.labels[i].name, lowerSpace, [&](const std::string &rel) {
        return program.ResolveLabel(nameSpace, rel) == i;
      });
      if (!name.empty())
        Add(name, kVariable, "label, address " + std::to_string(program.labels[i].value));
    }
    for (std::uint32_t i = 1; i < program.namespaces.size(); ++i) {
      std::string name = Shortest(program.namespaces[i], lowerSpace, [&](const std::string &rel) {
        return program.ResolveNamespace(nameSpace, rel) == i;
      });
      if (!name.empty())
        Add(name, kModule, "namespace");
    }
  }

private:
  /// The name of `full` relative to the innermost level of `lowerSpace`
  /// that holds it, when `reaches` confirms it means `full` from there.
  template <class Reaches>
  static std::string Shortest(const std::string &full, const std::string &lowerSpace, Reaches reaches) {
    std::string lowerFull = Lower(full);
    for (std::string_view level = lowerSpace;;) {
      std::string_view rest;
      if (level.empty())
        rest = full;
      else if (lowerFull.size() > level.size() && lowerFull.compare(0, level.size(), level) == 0 &&
               lowerFull[level.size()] == '.')
        rest = std::string_view(full).substr(level.size() + 1);
      if (!rest.empty() && !HasMadeUpComponent(rest) && reaches(std::string(rest)))
        return std::string(rest);
      if (level.empty())
        return {};
      std::size_t dot = level.rfind('.');
      level = dot == std::string_view::npos ? std::string_view() : level.substr(0, dot);
    }
  }

  const CFeatureContext &m_Context;
  json m_Range;
  json m_Items = json::array();
  std::set<std::string> m_Seen;
  bool m_Incomplete = false;
};

} // namespace

json Completion(const CFeatureContext &context, CPosition position) {
  std::string_view line = context.text.Line(position.line);
  std::uint32_t column = context.text.ByteColumn(position.line, position.character, context.encoding);
  std::vector<CScanToken> tokens = ScanLine(line.substr(0, column));
  // The dotted name being written, which the item replaces.
  std::size_t first = tokens.size();
  std::uint32_t start = column;
  while (first > 0) {
    const CScanToken &token = tokens[first - 1];
    bool part = token.type == TokenType::Identifier || token.Is(line, '.');
    if (!part || token.end != start)
      break;
    start = token.start;
    --first;
  }
  if (!tokens.empty() && first == tokens.size() &&
      (tokens.back().type == TokenType::Comment || tokens.back().type == TokenType::String ||
       tokens.back().type == TokenType::Number) &&
      tokens.back().end >= column)
    return json{{"isIncomplete", false}, {"items", json::array()}};
  CItems items(context, context.Range(context.path, position.line, start, column));
  // What comes before the name: nothing or a label makes it a first word.
  std::size_t before = first;
  if (before >= 2 && tokens[0].type == TokenType::Identifier && tokens[1].Is(line, ':'))
    before -= 2;
  if (before == 0) {
    items.FirstWords();
    return items.Result();
  }
  std::size_t word = first - before;
  std::string lowerWord = tokens[word].type == TokenType::Identifier
                              ? Lower(tokens[word].Text(line)) : std::string();
  if (word == 0 && (lowerWord == "ifdef" || lowerWord == "ifndef") && before == 1) {
    items.Macros();
    return items.Result();
  }
  if (lowerWord == "namespace" || lowerWord == "define" || lowerWord == "include" ||
      lowerWord == "error" || lowerWord == "includebin")
    return items.Result();
  std::uint32_t file = context.program.FindFile(context.path);
  std::uint32_t nameSpace = file == CProgram::kNone
                                ? 0
                                : context.program.NamespaceAt(file, static_cast<std::int32_t>(position.line + 1));
  items.Macros();
  items.Names(context.program.namespaces[nameSpace]);
  return items.Result();
}

} // namespace lsp
