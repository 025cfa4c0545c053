//===- tools/lsp/warnings.cpp - Diagnostics of a build --------------------===//

#include "tools/lsp/warnings.h"

#include "tools/lsp/instruction_file.h"
#include "tools/lsp/scanner.h"
#include "util/text.h"

#include <algorithm>
#include <optional>

namespace lsp {

namespace {

/// The text of line `line` (1-based) of `path`, or nothing.
std::optional<std::string_view> LineOf(CTextSource *texts, const std::string &path,
                                       std::int32_t line) {
  if (texts == nullptr || line <= 0)
    return std::nullopt;
  const CText *text = texts->Text(path);
  if (text == nullptr || static_cast<std::size_t>(line) > text->LineCount())
    return std::nullopt;
  return text->Line(static_cast<std::size_t>(line - 1));
}

/// Places `diagnostic` on its line, at `word` when the line shows it.
void Place(CDiagnostic &diagnostic, CTextSource *texts, const std::string &path,
           std::string_view word) {
  if (auto line = LineOf(texts, path, static_cast<std::int32_t>(diagnostic.line)))
    diagnostic.wholeLine =
        !LocateOnLine(*line, word, diagnostic.column, diagnostic.endColumn);
}

/// The first quoted word of an error message: what it is about.
std::string_view QuotedWord(std::string_view message) {
  if (message.size() < 2 || message[0] != '"')
    return {};
  std::size_t end = message.find('"', 1);
  return end == std::string_view::npos ? std::string_view() : message.substr(1, end - 1);
}

/// The warnings for a name followed directly by a signed number on a line.
void CheckAdjacent(CProgram &program, std::uint32_t file, std::int32_t lineNumber,
                   CTextSource *texts) {
  auto line = LineOf(texts, program.files[file], lineNumber);
  if (!line)
    return;
  std::vector<CScanToken> tokens = ScanLine(*line);
  // The first word (a command word may take a sign right after it, as in
  // data1u-1) and a macro's name are no values.
  std::size_t word = tokens.size() > 1 && tokens[1].Is(*line, ':') ? 2 : 0;
  if (word < tokens.size() && tokens[word].type == TokenType::Identifier &&
      EqualsNoCase(tokens[word].Text(*line), "define"))
    ++word;
  for (std::size_t i = word + 2; i < tokens.size(); ++i) {
    const CScanToken &name = tokens[i - 1];
    const CScanToken &number = tokens[i];
    if (name.type != TokenType::Identifier || number.type != TokenType::Number ||
        name.end != number.start)
      continue;
    char sign = (*line)[number.start];
    if (sign != '-' && sign != '+')
      continue;
    CDiagnostic diagnostic;
    diagnostic.line = static_cast<std::uint32_t>(lineNumber);
    diagnostic.column = name.start;
    diagnostic.endColumn = number.end;
    diagnostic.wholeLine = false;
    diagnostic.severity = 2;
    diagnostic.code = "two-values";
    diagnostic.message = "\"" + std::string(name.Text(*line)) + std::string(number.Text(*line)) +
                         "\" is two values, \"" + std::string(name.Text(*line)) + "\" and \"" +
                         std::string(number.Text(*line)) +
                         "\": ferrox does no arithmetic, and a sign starts a number";
    program.diagnostics[program.files[file]].push_back(std::move(diagnostic));
  }
}

void CheckUnusedLabels(CProgram &program, CTextSource *texts) {
  std::string standard = program.programDirectory + "std.tvh";
  for (const CLabelDef &label : program.labels) {
    if (label.used || label.file >= program.files.size() || program.files[label.file] == standard)
      continue;
    std::string_view name = label.name;
    name = name.substr(name.rfind('.') == std::string_view::npos ? 0 : name.rfind('.') + 1);
    CDiagnostic diagnostic;
    diagnostic.line = static_cast<std::uint32_t>(label.line);
    diagnostic.severity = 2;
    diagnostic.code = "unused-label";
    diagnostic.message = "label \"" + label.name + "\" is defined but never used";
    diagnostic.unnecessary = true;
    Place(diagnostic, texts, program.files[label.file], name);
    program.diagnostics[program.files[label.file]].push_back(std::move(diagnostic));
  }
}

} // namespace

void AddDiagnostics(CProgram &program, const CFindings &findings, CTextSource *texts) {
  program.diagnostics[program.main];
  for (const CStatement &statement : program.statements)
    if (statement.file < program.files.size())
      program.diagnostics[program.files[statement.file]];

  for (const CFindings::CError &error : findings.errors) {
    std::string path;
    CDiagnostic diagnostic;
    diagnostic.code = std::to_string(error.code);
    diagnostic.message = "error " + diagnostic.code + ": " + error.message;
    if (error.file != CProgram::kNone && error.file < program.files.size()) {
      path = program.files[error.file];
      diagnostic.line = static_cast<std::uint32_t>(std::max(error.line, 1));
    } else if (error.code == 300) {
      path = program.instructionFile;
    } else if (error.code == 1000) {
      path = program.programDirectory + "Directories.okl";
    } else {
      path = program.main;
    }
    Place(diagnostic, texts, path, QuotedWord(error.message));
    program.diagnostics[path].push_back(std::move(diagnostic));
  }

  for (const CFindings::CWarning &warning : findings.warnings) {
    const std::string &path = program.files[warning.file];
    CDiagnostic diagnostic;
    diagnostic.line = static_cast<std::uint32_t>(std::max(warning.line, 1));
    diagnostic.severity = 2;
    diagnostic.code = warning.code;
    diagnostic.message = warning.message;
    Place(diagnostic, texts, path, warning.token);
    program.diagnostics[path].push_back(std::move(diagnostic));
  }

  std::vector<std::pair<std::uint32_t, std::int32_t>> adjacent = findings.adjacent;
  std::sort(adjacent.begin(), adjacent.end());
  adjacent.erase(std::unique(adjacent.begin(), adjacent.end()), adjacent.end());
  for (const auto &[file, line] : adjacent)
    if (file < program.files.size())
      CheckAdjacent(program, file, line, texts);

  CheckUnusedLabels(program, texts);

  for (const CFileWarning &warning : InstructionSetWarnings(program.instructionFile)) {
    CDiagnostic diagnostic;
    diagnostic.line = warning.line;
    diagnostic.column = warning.column;
    diagnostic.endColumn = warning.endColumn;
    diagnostic.wholeLine = false;
    diagnostic.severity = 2;
    diagnostic.code = "instruction-set";
    diagnostic.message = warning.message;
    program.diagnostics[program.instructionFile].push_back(std::move(diagnostic));
  }

  for (auto &[path, list] : program.diagnostics)
    std::stable_sort(list.begin(), list.end(), [](const CDiagnostic &a, const CDiagnostic &b) {
      return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
}

} // namespace lsp
