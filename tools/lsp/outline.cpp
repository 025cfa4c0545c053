//===- tools/lsp/outline.cpp - Symbols, folding and semantic tokens -------===//

#include "tools/lsp/analysis.h"
#include "tools/lsp/features.h"
#include "util/text.h"

#include <set>
#include <unordered_map>

namespace lsp {

namespace {

enum SymbolKind { kNamespaceSymbol = 3, kVariableSymbol = 13, kConstantSymbol = 14 };
constexpr std::size_t kMaxWorkspaceSymbols = 500;

/// The token types of the legend, in order.
enum TokenTypeIndex {
  kInstructionToken,
  kCommandToken,
  kDirectiveToken,
  kMacroToken,
  kLabelToken,
  kNamespaceToken,
  kNumberToken,
  kStringToken,
  kCommentToken,
};

std::string_view LastComponent(std::string_view name) {
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

/// Whether namespace path `inner` is `outer` or lies inside it.
bool Within(const CProgram &program, std::uint32_t inner, std::uint32_t outer) {
  if (inner == outer)
    return true;
  std::string a = Lower(program.namespaces[inner]);
  std::string b = Lower(program.namespaces[outer]);
  return a.size() > b.size() && a.compare(0, b.size(), b) == 0 && a[b.size()] == '.';
}

/// The byte columns of `name` on line `line` (0-based) of `text`.
void Columns(const CText *text, std::uint32_t line, std::string_view name, std::uint32_t &start,
             std::uint32_t &end) {
  start = end = 0;
  if (text != nullptr)
    LocateOnLine(text->Line(line), name, start, end);
}

} // namespace

json DocumentSymbols(const CFeatureContext &context) {
  const CProgram &program = context.program;
  json roots = json::array();
  std::uint32_t file = program.FindFile(context.path);
  if (file == CProgram::kNone)
    return roots;
  std::unordered_map<std::int32_t, std::vector<std::uint32_t>> labelsAt;
  for (std::uint32_t i = 0; i < program.labels.size(); ++i)
    if (program.labels[i].file == file)
      labelsAt[program.labels[i].line].push_back(i);

  struct CNode {
    json symbol;
    std::uint32_t opened;
    std::uint32_t lastLine;
  };
  std::vector<CNode> open;
  auto attach = [&](json symbol, std::uint32_t line) {
    if (open.empty()) {
      roots.push_back(std::move(symbol));
      return;
    }
    open.back().symbol["children"].push_back(std::move(symbol));
    open.back().lastLine = std::max(open.back().lastLine, line);
  };
  auto close = [&]() {
    CNode node = std::move(open.back());
    open.pop_back();
    std::uint32_t last = std::max(node.lastLine, node.symbol["range"]["start"]["line"].get<std::uint32_t>());
    node.symbol["range"]["end"] = {{"line", last}, {"character", Units(context.text.Line(last), context.encoding)}};
    attach(std::move(node.symbol), last);
  };
  std::set<std::uint32_t> shown;
  for (const CStatement &statement : program.statements) {
    if (statement.file != file)
      continue;
    while (!open.empty() && !Within(program, statement.nameSpace, open.back().opened))
      close();
    auto line = static_cast<std::uint32_t>(statement.line - 1);
    for (std::uint32_t label : labelsAt[statement.line]) {
      if (!shown.insert(label).second)
        continue;
      std::string_view name = LastComponent(program.labels[label].name);
      std::uint32_t start, end;
      Columns(&context.text, line, name, start, end);
      json range = context.Range(context.path, line, start, end);
      attach({{"name", std::string(name)},
              {"detail", program.labels[label].name},
              {"kind", kVariableSymbol},
              {"range", range},
              {"selectionRange", range}},
             line);
    }
    if (statement.command == Command::Namespace) {
      std::string name(LastComponent(program.namespaces[statement.opened]));
      std::uint32_t start, end;
      Columns(&context.text, line, name, start, end);
      json selection = context.Range(context.path, line, start, end);
      json range = {{"start", {{"line", line}, {"character", 0}}}, {"end", selection["end"]}};
      auto last = statement.endLine > statement.line ? static_cast<std::uint32_t>(statement.endLine - 1) : line;
      open.push_back({{{"name", name.empty() ? std::string("(anonymous)") : name},
                       {"detail", program.namespaces[statement.opened]},
                       {"kind", kNamespaceSymbol},
                       {"range", range},
                       {"selectionRange", selection},
                       {"children", json::array()}},
                      statement.opened,
                      last});
    }
  }
  while (!open.empty())
    close();
  return roots;
}

json FoldingRanges(const CFeatureContext &context) {
  json ranges = json::array();
  const CProgram &program = context.program;
  std::uint32_t file = program.FindFile(context.path);
  for (const CStatement &statement : program.statements)
    if (statement.file == file && statement.command == Command::Namespace &&
        statement.endLine > statement.line + 1)
      ranges.push_back({{"startLine", statement.line - 1},
                        {"endLine", statement.endLine - 2},
                        {"kind", "region"}});
  for (const CRegion &region : context.index.conditionals)
    ranges.push_back({{"startLine", region.start}, {"endLine", region.end}, {"kind", "region"}});
  return ranges;
}

json SemanticTokensLegend() {
  return json{{"tokenTypes", {"function", "keyword", "directive", "macro", "label", "namespace",
                              "number", "string", "comment"}},
              {"tokenModifiers", {"declaration"}}};
}

json SemanticTokens(const CFeatureContext &context) {
  std::vector<std::uint32_t> data;
  data.reserve(context.index.occurrences.size() * 5);
  std::uint32_t previousLine = 0;
  std::uint32_t previousStart = 0;
  // Units are counted along each line once.
  std::uint32_t countedLine = UINT32_MAX;
  std::uint32_t countedByte = 0;
  std::uint32_t countedUnits = 0;
  for (const COccurrence &occurrence : context.index.occurrences) {
    int type;
    bool declaration = false;
    switch (occurrence.role) {
    case Role::Instruction: type = kInstructionToken; break;
    case Role::Command: type = kCommandToken; break;
    case Role::Directive: type = kDirectiveToken; break;
    case Role::MacroDef: declaration = true; [[fallthrough]];
    case Role::MacroUse: type = kMacroToken; break;
    case Role::LabelDef: declaration = true; [[fallthrough]];
    case Role::LabelUse: type = kLabelToken; break;
    case Role::NamespaceDef: declaration = true; [[fallthrough]];
    case Role::NamespaceUse: type = kNamespaceToken; break;
    case Role::Number: type = kNumberToken; break;
    case Role::IncludeName:
    case Role::String: type = kStringToken; break;
    case Role::Comment: type = kCommentToken; break;
    default: continue;
    }
    std::string_view line = context.text.Line(occurrence.line);
    if (occurrence.line != countedLine) {
      countedLine = occurrence.line;
      countedByte = 0;
      countedUnits = 0;
    }
    countedUnits += Units(line.substr(countedByte, occurrence.start - countedByte), context.encoding);
    std::uint32_t start = countedUnits;
    std::uint32_t length =
        Units(line.substr(occurrence.start, occurrence.end - occurrence.start), context.encoding);
    countedUnits += length;
    countedByte = occurrence.end;
    if (length == 0)
      continue;
    data.push_back(occurrence.line - previousLine);
    data.push_back(occurrence.line == previousLine ? start - previousStart : start);
    data.push_back(length);
    data.push_back(static_cast<std::uint32_t>(type));
    data.push_back(declaration ? 1u : 0u);
    previousLine = occurrence.line;
    previousStart = start;
  }
  return json{{"data", data}};
}

json WorkspaceSymbols(const std::vector<const CProgram *> &programs, const std::string &query,
                      const std::function<const CText *(const std::string &)> &textOf,
                      const std::function<std::string(const std::string &)> &uriOf,
                      Encoding encoding) {
  json symbols = json::array();
  std::string lowerQuery = Lower(query);
  std::set<std::string> seen;
  auto add = [&](const std::string &name, int kind, const std::string &container,
                 const std::string &path, std::int32_t line, std::string_view word) {
    if (symbols.size() >= kMaxWorkspaceSymbols || line <= 0 ||
        Lower(name).find(lowerQuery) == std::string::npos ||
        !seen.insert(path + ":" + std::to_string(line) + ":" + name).second)
      return;
    const CText *text = textOf(path);
    auto zeroLine = static_cast<std::uint32_t>(line - 1);
    std::uint32_t start, end;
    Columns(text, zeroLine, word, start, end);
    std::uint32_t first = text ? text->Character(zeroLine, start, encoding) : start;
    std::uint32_t last = text ? text->Character(zeroLine, end, encoding) : end;
    symbols.push_back({{"name", name},
                       {"kind", kind},
                       {"containerName", container},
                       {"location",
                        {{"uri", uriOf(path)},
                         {"range", {{"start", {{"line", zeroLine}, {"character", first}}},
                                    {"end", {{"line", zeroLine}, {"character", last}}}}}}}});
  };
  for (const CProgram *program : programs) {
    for (const CLabelDef &label : program->labels)
      add(label.name, kVariableSymbol, "label", program->files[label.file], label.line,
          LastComponent(label.name));
    for (const CMacroDef &macro : program->macros)
      add(macro.name, kConstantSymbol, "macro", program->files[macro.file], macro.line, macro.name);
    for (const CStatement &statement : program->statements)
      if (statement.command == Command::Namespace)
        add(program->namespaces[statement.opened], kNamespaceSymbol, "namespace",
            program->files[statement.file], statement.line,
            LastComponent(program->namespaces[statement.opened]));
  }
  return symbols;
}

} // namespace lsp
