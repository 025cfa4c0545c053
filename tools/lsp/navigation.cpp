//===- tools/lsp/navigation.cpp - Hover, definitions, references, rename --===//

#include "tools/lsp/analysis.h"
#include "tools/lsp/features.h"
#include "tools/lsp/numbers.h"
#include "tools/lsp/scanner.h"
#include "assembler/values.h"
#include "instructions/names.h"
#include "util/paths.h"

#include <map>

namespace lsp {

namespace {

/// What a name occurrence stands for: labels, macros or namespaces.
enum class Family { None, Label, Macro, Namespace };

Family FamilyOf(Role role) {
  switch (role) {
  case Role::LabelDef:
  case Role::LabelUse:
    return Family::Label;
  case Role::MacroDef:
  case Role::MacroUse:
    return Family::Macro;
  case Role::NamespaceDef:
  case Role::NamespaceUse:
    return Family::Namespace;
  default:
    return Family::None;
  }
}

bool IsDefinition(Role role) {
  return role == Role::LabelDef || role == Role::MacroDef || role == Role::NamespaceDef;
}

std::string_view LastComponent(std::string_view name) {
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

std::string Hex(std::int64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  auto bits = static_cast<std::uint64_t>(value);
  std::string text;
  do {
    text.insert(text.begin(), kDigits[bits & 15]);
    bits >>= 4;
  } while (bits != 0);
  return "0x" + text;
}

std::string Where(const CProgram &program, std::uint32_t file, std::int32_t line) {
  if (file >= program.files.size())
    return {};
  return "defined in `" + FileNamePart(program.files[file]) + "`, line " + std::to_string(line);
}

/// The location of the name `name` on line `line` (1-based) of `path`.
json NameLocation(const CFeatureContext &context, const std::string &path, std::int32_t line,
                  std::string_view name) {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  const CText *text = context.textOf(path);
  if (text == nullptr || line <= 0 ||
      !LocateOnLine(text->Line(static_cast<std::size_t>(line - 1)), name, start, end))
    start = end = 0;
  return context.Location(path, static_cast<std::uint32_t>(std::max(line - 1, 0)), start, end);
}

/// Short descriptions of the commands and directives.
const std::map<std::string, std::string> &Descriptions() {
  static const std::map<std::string, std::string> descriptions = {
      {"namespace", "opens a namespace: labels inside get its name in front"},
      {"end", "closes the innermost namespace"},
      {"offset", "labels from here on get addresses counted from the value"},
      {"offsetdelta", "moves the address counter by the value"},
      {"includebin", "copies a file's bytes into the image"},
      {"bootnone", "boot information 0"},
      {"bootall", "boot information ffffffff"},
      {"bootend", "boot information: the bytes assembled so far"},
      {"boot", "boot information: the value"},
      {"reserve", "that many zero bytes"},
      {"data", "each value in the kind"},
      {"array", "a count, then one value, written count times"},
      {"skip", "an instruction that jumps over the data, then the values"},
      {"define", "defines a macro: later lines have the name replaced by the tokens"},
      {"ifdef", "keeps the lines up to else or endif only if the macro is defined"},
      {"ifndef", "keeps the lines up to else or endif only if the macro is not defined"},
      {"else", "ends the first branch of a conditional region"},
      {"endif", "ends a conditional region"},
      {"include", "puts the lines of another source file in place of this line"},
      {"error", "reports error 600 with the text"},
  };
  return descriptions;
}

std::string WordHover(std::string_view word) {
  std::string lower = Lower(word);
  std::int32_t kind = 0;
  std::string key = lower;
  if (IsCommandWord(lower, &kind) && kind != 0)
    key = lower.substr(0, lower.size() - 2);
  auto found = Descriptions().find(key);
  std::string text = "**" + std::string(word) + "**";
  if (kind != 0)
    text += " (kind `" + std::string(KindInfo(kind).name) + "`)";
  if (found != Descriptions().end())
    text += ": " + found->second;
  return text;
}

std::string InstructionHover(const CProgram &program, const CInstructionDef &instruction) {
  std::string text = "**" + instruction.name + "**: instruction\n\n";
  text += "top bits " + std::to_string(instruction.topBits & 3) + ", operation code " +
          std::to_string(instruction.opcode) + " (" + Hex(instruction.opcode) + ")\n\n";
  if (instruction.kinds.empty()) {
    text += "no parameters\n\n";
  } else {
    text += "parameters:";
    for (std::int32_t kind : instruction.kinds)
      text += " `" + std::string(KindInfo(kind).name) + "`";
    text += "\n\n";
  }
  if (instruction.line != 0)
    text += "defined in `" + program.instructionFile + "`, line " +
            std::to_string(instruction.line) + "\n\n";
  if (!instruction.comment.empty())
    text += "> " + instruction.comment + "\n";
  return text;
}

std::string LabelHover(const CProgram &program, const CLabelDef &label) {
  std::string text = "**" + label.name + "**: label\n\naddress " + std::to_string(label.value) +
                     " (" + Hex(static_cast<std::uint32_t>(label.value)) + ")";
  if (label.position >= 0)
    text += ", image position " + std::to_string(label.position) + " (" + Hex(label.position) + ")";
  text += "\n\n" + Where(program, label.file, label.line);
  if (!label.used)
    text += "\n\nnever used";
  return text;
}

/// The files whose occurrences a name's references are searched in.
std::vector<std::string> SourceFiles(const CFeatureContext &context) {
  std::vector<std::string> files;
  for (std::uint32_t file = 0; file < context.program.files.size(); ++file)
    if (context.program.IsSource(file) || context.program.files[file] == context.path)
      files.push_back(context.program.files[file]);
  if (context.program.FindFile(context.path) == CProgram::kNone)
    files.push_back(context.path);
  return files;
}

/// Calls `visit(path, occurrence)` for every occurrence of the same name.
template <class Visit>
void ForEachReference(const CFeatureContext &context, const COccurrence &of, Visit visit) {
  Family family = FamilyOf(of.role);
  if (family == Family::None || of.target == CProgram::kNone)
    return;
  for (const std::string &path : SourceFiles(context)) {
    const CFileIndex *index = path == context.path ? &context.index : context.indexOf(path);
    if (index == nullptr)
      continue;
    for (const COccurrence &occurrence : index->occurrences)
      if (occurrence.target == of.target && FamilyOf(occurrence.role) == family)
        visit(path, occurrence);
  }
}

} // namespace

json Hover(const CFeatureContext &context, CPosition position) {
  const COccurrence *at = context.At(position);
  if (at == nullptr || at->role == Role::Comment || at->role == Role::String)
    return nullptr;
  const CProgram &program = context.program;
  std::string_view word =
      std::string_view(context.text.Line(at->line)).substr(at->start, at->end - at->start);
  std::string text;
  switch (at->role) {
  case Role::Instruction:
    if (at->target < program.instructions.size())
      text = InstructionHover(program, program.instructions[at->target]);
    break;
  case Role::LabelDef:
  case Role::LabelUse:
    text = at->target < program.labels.size()
               ? LabelHover(program, program.labels[at->target])
               : "label `" + std::string(word) + "` is not defined";
    break;
  case Role::MacroDef:
  case Role::MacroUse:
    if (at->target < program.macros.size()) {
      const CMacroDef &macro = program.macros[at->target];
      text = "**" + macro.name + "**: macro\n\n```ferrox\ndefine " + macro.name +
             (macro.body.empty() ? "" : " " + macro.body) + "\n```\n\n" +
             Where(program, macro.file, macro.line);
    } else if (word.size() > 4 && word.substr(0, 2) == "__") {
      text = "**" + std::string(word) + "**: predefined macro";
    } else {
      text = "macro `" + std::string(word) + "` is not defined here";
    }
    break;
  case Role::NamespaceDef:
  case Role::NamespaceUse:
    if (at->target < program.namespaces.size())
      text = "**" + program.namespaces[at->target] + "**: namespace";
    break;
  case Role::Number:
    text = DescribeNumber(word, at->kind);
    break;
  case Role::Command:
  case Role::Directive:
    text = WordHover(word);
    break;
  case Role::IncludeName:
    text = at->target < context.index.includes.size() && !context.index.includes[at->target].empty()
               ? "`" + context.index.includes[at->target] + "`"
               : "file not found";
    break;
  default:
    break;
  }
  if (text.empty())
    return nullptr;
  return json{{"contents", {{"kind", "markdown"}, {"value", text}}},
              {"range", context.Range(context.path, at->line, at->start, at->end)}};
}

json Definition(const CFeatureContext &context, CPosition position) {
  const COccurrence *at = context.At(position);
  if (at == nullptr)
    return nullptr;
  const CProgram &program = context.program;
  switch (FamilyOf(at->role)) {
  case Family::Label:
    if (at->target < program.labels.size()) {
      const CLabelDef &label = program.labels[at->target];
      return NameLocation(context, program.files[label.file], label.line, LastComponent(label.name));
    }
    return nullptr;
  case Family::Macro:
    if (at->target < program.macros.size()) {
      const CMacroDef &macro = program.macros[at->target];
      return NameLocation(context, program.files[macro.file], macro.line, macro.name);
    }
    return nullptr;
  case Family::Namespace: {
    json locations = json::array();
    for (const CStatement &statement : program.statements)
      if (statement.command == Command::Namespace && statement.opened == at->target)
        locations.push_back(NameLocation(context, program.files[statement.file], statement.line,
                                         LastComponent(program.namespaces[at->target])));
    return locations;
  }
  case Family::None:
    break;
  }
  if (at->role == Role::IncludeName && at->target < context.index.includes.size() &&
      !context.index.includes[at->target].empty())
    return context.Location(context.index.includes[at->target], 0, 0, 0);
  if (at->role == Role::Instruction && at->target < program.instructions.size()) {
    const CInstructionDef &instruction = program.instructions[at->target];
    if (instruction.line != 0)
      return NameLocation(context, program.instructionFile,
                          static_cast<std::int32_t>(instruction.line), instruction.name);
  }
  return nullptr;
}

json References(const CFeatureContext &context, CPosition position, bool declaration) {
  const COccurrence *at = context.At(position);
  json locations = json::array();
  if (at == nullptr)
    return locations;
  ForEachReference(context, *at, [&](const std::string &path, const COccurrence &occurrence) {
    if (declaration || !IsDefinition(occurrence.role))
      locations.push_back(context.Location(path, occurrence.line, occurrence.start, occurrence.end));
  });
  return locations;
}

json PrepareRename(const CFeatureContext &context, CPosition position) {
  const COccurrence *at = context.At(position);
  if (at == nullptr || FamilyOf(at->role) == Family::None || at->target == CProgram::kNone)
    return nullptr;
  std::string_view word =
      std::string_view(context.text.Line(at->line)).substr(at->start, at->end - at->start);
  return json{{"range", context.Range(context.path, at->line, at->start, at->end)},
              {"placeholder", std::string(word)}};
}

json Rename(const CFeatureContext &context, CPosition position, const std::string &name,
            std::string &error) {
  const COccurrence *at = context.At(position);
  if (at == nullptr || FamilyOf(at->role) == Family::None || at->target == CProgram::kNone) {
    error = "there is no label, macro or namespace here to rename";
    return nullptr;
  }
  if (!IsIdentifier(name)) {
    error = "\"" + name + "\" is no identifier";
    return nullptr;
  }
  const CProgram &program = context.program;
  if (FamilyOf(at->role) == Family::Label) {
    std::string_view full = program.labels[at->target].name;
    std::size_t dot = full.rfind('.');
    std::string renamed = dot == std::string_view::npos ? name : std::string(full.substr(0, dot + 1)) + name;
    if (program.FindLabel(renamed) != CProgram::kNone && Lower(renamed) != Lower(full)) {
      error = "label \"" + renamed + "\" is already defined";
      return nullptr;
    }
  } else if (FamilyOf(at->role) == Family::Macro && program.FindMacro(name) != CProgram::kNone &&
             program.FindMacro(name) != at->target) {
    error = "macro \"" + name + "\" is already defined";
    return nullptr;
  }
  json changes = json::object();
  ForEachReference(context, *at, [&](const std::string &path, const COccurrence &occurrence) {
    changes[context.uriOf(path)].push_back(
        {{"range", context.Range(path, occurrence.line, occurrence.start, occurrence.end)},
         {"newText", name}});
  });
  return json{{"changes", changes}};
}

json CFeatureContext::Range(const std::string &file, std::uint32_t line, std::uint32_t start,
                            std::uint32_t end) const {
  const CText *lines = file == path ? &text : textOf(file);
  std::uint32_t first = lines != nullptr ? lines->Character(line, start, encoding) : start;
  std::uint32_t last = lines != nullptr ? lines->Character(line, end, encoding) : end;
  return json{{"start", {{"line", line}, {"character", first}}},
              {"end", {{"line", line}, {"character", last}}}};
}

json CFeatureContext::Location(const std::string &file, std::uint32_t line, std::uint32_t start,
                               std::uint32_t end) const {
  return json{{"uri", uriOf(file)}, {"range", Range(file, line, start, end)}};
}

const COccurrence *CFeatureContext::At(CPosition position) const {
  return OccurrenceAt(index, position.line,
                      text.ByteColumn(position.line, position.character, encoding));
}

} // namespace lsp
