//===- tools/lsp/analysis.cpp - One build of a program, observed ----------===//

#include "tools/lsp/analysis.h"

#include "assembler/namespaces.h"
#include "assembler/values.h"
#include "driver/build.h"
#include "driver/diagnostics.h"
#include "image/image_writer.h"
#include "instructions/instruction_set.h"
#include "markup/include_directories.h"
#include "tools/lsp/instruction_file.h"
#include "tools/lsp/numbers.h"
#include "tools/lsp/scanner.h"
#include "tools/lsp/warnings.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <unordered_set>

namespace lsp {

namespace {

/// Thrown from the observer to stop a build that a newer change outdated.
struct CCancelled {};

/// Everything the build tells, as it goes.
class CCollector final : public CBuildObserver {
public:
  CCollector(CProgram &program, const std::function<bool()> &cancelled)
      : m_Program(program), m_Cancelled(cancelled) {
    m_Program.statements.reserve(std::size_t{1} << 14);
  }

  CFindings findings;
  /// Label uses as the assembler saw them (macros replaced): the core's
  /// namespace and the encoded name, which lives as long as the build's
  /// lines.
  std::vector<std::pair<NamespaceId, std::string_view>> uses;

  std::uint32_t File(std::uint32_t coreId) {
    if (coreId == kNoFileId)
      return CProgram::kNone;
    if (coreId >= m_Files.size())
      m_Files.resize(coreId + 1, CProgram::kNone);
    if (m_Files[coreId] == CProgram::kNone)
      m_Files[coreId] = m_Program.FileNumber(AbsolutePath(std::string(FilePathOf(coreId))));
    return m_Files[coreId];
  }

  void OnError(int code, std::string_view message, std::uint32_t fileId,
               std::int32_t line) override {
    findings.errors.push_back({code, std::string(message), File(fileId), line});
  }

  void OnMacro(std::string_view name, std::string_view tokens, std::uint32_t fileId,
               std::int32_t line) override {
    std::uint32_t file = File(fileId);
    m_Program.macros.push_back({std::string(name), BodyText(tokens), file, line});
    findings.adjacent.emplace_back(file, line);
  }

  void OnStatement(const CStatementRecord &record) override {
    if (m_Cancelled && (++m_Count & 511) == 0 && m_Cancelled())
      throw CCancelled{};
    CStatement statement;
    statement.file = File(record.fileId);
    statement.line = record.lineNumber;
    statement.nameSpace = Namespace(record.nameSpace);
    statement.kind = record.kind;
    statement.address = record.address;
    statement.addressAfter = record.addressAfter;
    statement.position = record.position;
    statement.size = record.size;
    if (m_OpenedBy != CProgram::kNone) {
      CStatement &opener = m_Program.statements[m_OpenedBy];
      opener.opened = statement.nameSpace != opener.nameSpace
                          ? statement.nameSpace
                          : Namespace(JoinPath(m_Program.namespaces[opener.nameSpace], m_OpenedName));
      m_OpenedBy = CProgram::kNone;
    }
    if (record.line != nullptr)
      Walk(*record.line, record, statement);
    m_Program.statements.push_back(statement);
  }

  /// A "namespace" that was the last statement.
  void Finish() {
    if (m_OpenedBy != CProgram::kNone) {
      CStatement &opener = m_Program.statements[m_OpenedBy];
      opener.opened = Namespace(JoinPath(m_Program.namespaces[opener.nameSpace], m_OpenedName));
    }
  }

private:
  static std::string JoinPath(std::string_view path, std::string_view name) {
    std::string joined(path);
    if (!joined.empty() && !name.empty())
      joined += '.';
    return joined.append(name);
  }

  std::uint32_t Namespace(std::string_view path) {
    if (path == m_LastNamespace)
      return m_LastIndex;
    auto [found, added] =
        m_Namespaces.emplace(std::string(path), static_cast<std::uint32_t>(m_Program.namespaces.size()));
    if (added)
      m_Program.namespaces.emplace_back(path);
    m_LastNamespace.assign(path);
    m_LastIndex = found->second;
    return m_LastIndex;
  }

  /// Source text for the tokens of a macro body.
  static std::string BodyText(std::string_view encoded) {
    std::string text;
    bool glued = true; // no blank before the next token
    for (CTokenList tokens(encoded); !tokens.AtEnd(); tokens.Advance()) {
      CToken token = tokens.Current();
      bool symbol = token.kind == TOKEN_SYMBOL;
      if (!glued && !(symbol && (token.text == "," || token.text == ":" || token.text == ".")))
        text += ' ';
      glued = symbol && token.text != "," && token.text != ":";
      if (token.kind != TOKEN_STRING) {
        text.append(token.text);
        continue;
      }
      text += '"';
      for (char c : token.text) {
        if (static_cast<unsigned char>(c) < 32) {
          text += "\\" + std::to_string(static_cast<unsigned char>(c));
          continue;
        }
        if (c == '"' || c == '\\')
          text += '\\';
        text += c;
      }
      text += '"';
    }
    return text;
  }

  /// The statement's tokens: its command, its label uses and its numbers.
  void Walk(const CSourceLine &line, const CStatementRecord &record, CStatement &statement) {
    CTokenList tokens(line.Encoded());
    // Macros may have made a name and a signed number out of one token.
    bool candidate = line.IsExpanded();
    std::string_view label;
    tokens.TakeIdentifierBefore(':', label);
    if (tokens.AtEnd() || tokens.CurrentKind() != TOKEN_IDENTIFIER) {
      if (candidate)
        findings.adjacent.emplace_back(statement.file, statement.line);
      return;
    }
    std::string_view word = tokens.Next().text;
    if (record.kind == StatementKind::None && EqualsNoCase(word, "namespace")) {
      statement.command = Command::Namespace;
      m_OpenedBy = static_cast<std::uint32_t>(m_Program.statements.size());
      m_OpenedName.clear();
      if (!tokens.AtEnd() && tokens.CurrentKind() == TOKEN_IDENTIFIER)
        m_OpenedName = tokens.Current().text;
      return;
    }
    if (record.kind == StatementKind::None && EqualsNoCase(word, "end"))
      statement.command = Command::End;

    // The kinds the parameters are written in, for the numbers among them.
    std::int32_t allKind = 0;
    std::int32_t skipFirst = 0;
    if (record.kind == StatementKind::Instruction) {
      if (record.detail.data() != m_KindsOf) {
        const CInstruction *instruction = FindInstruction(record.detail);
        m_Kinds = instruction != nullptr ? instruction->paramKinds : std::array<std::int32_t, 3>{};
        m_KindsOf = record.detail.data();
      }
    } else if (record.kind == StatementKind::Data || record.kind == StatementKind::Skip) {
      allKind = FindValueKind(record.detail);
      skipFirst = word.size() > 5 && EqualsNoCase(word.substr(0, 5), "array") ? 1 : 0;
    }
    std::int32_t index = 0;
    bool afterName = false;
    while (!tokens.AtEnd()) {
      std::string_view prefix;
      if (AcceptSymbol(tokens, ','))
        afterName = false;
      if (tokens.TakeIdentifierBefore(':', prefix))
        afterName = false;
      int mode = 0;
      while (tokens.AtSymbol('&') || tokens.AtSymbol('^') || tokens.AtSymbol('*')) {
        if (mode == 0)
          mode = tokens.AtSymbol('&') ? 1 : 2;
        tokens.Advance();
        afterName = false;
      }
      if (tokens.AtEnd())
        break;
      CTokenList::Cursor begin = tokens.GetCursor();
      CToken first = tokens.Next();
      if (first.kind == TOKEN_IDENTIFIER) {
        while (tokens.AtSymbol('.')) {
          tokens.Advance();
          if (tokens.AtEnd() || tokens.CurrentKind() != TOKEN_IDENTIFIER)
            break;
          tokens.Advance();
        }
        uses.emplace_back(CurrentNamespace(), tokens.Encoded().substr(begin, tokens.GetCursor() - begin));
        afterName = true;
        ++index;
        continue;
      }
      if (first.kind == TOKEN_NUMBER) {
        candidate = candidate || (afterName && (first.text[0] == '-' || first.text[0] == '+'));
        std::int32_t kind = allKind != 0 ? (index >= skipFirst ? allKind : 0)
                            : index < 3 && mode <= 1 ? m_Kinds[static_cast<std::size_t>(index)] : 0;
        if (auto change = KindChangesNumber(first.text, kind))
          findings.warnings.push_back(
              {statement.file, statement.line, std::string(first.text), "truncated", *change});
      }
      afterName = false;
      ++index;
    }
    if (candidate)
      findings.adjacent.emplace_back(statement.file, statement.line);
  }

  CProgram &m_Program;
  const std::function<bool()> &m_Cancelled;
  std::uint32_t m_Count = 0;
  std::vector<std::uint32_t> m_Files;
  std::unordered_map<std::string, std::uint32_t> m_Namespaces{{std::string(), 0}};
  std::string m_LastNamespace;
  std::uint32_t m_LastIndex = 0;
  std::uint32_t m_OpenedBy = CProgram::kNone;
  std::string m_OpenedName;
  /// The parameter kinds of the instruction named last.
  const char *m_KindsOf = nullptr;
  std::array<std::int32_t, 3> m_Kinds{};
};

/// Sets up the process-wide hooks of a build in memory and takes them
/// down again, also when the build is stopped by an exception.
class CBuildHooks {
public:
  CBuildHooks(CBuildObserver *observer, const std::unordered_map<std::string, std::string> *overlay,
              std::string *image, std::uint64_t limit, std::string *output) {
    SetBuildObserver(observer);
    SetFileOverlay(overlay);
    KeepImageInMemory(image, limit);
    CaptureOutputForTesting(output);
  }
  ~CBuildHooks() {
    SetBuildObserver(nullptr);
    SetFileOverlay(nullptr);
    KeepImageInMemory(nullptr);
    CaptureOutputForTesting(nullptr);
  }
  CBuildHooks(const CBuildHooks &) = delete;
  CBuildHooks &operator=(const CBuildHooks &) = delete;
};

/// Copies the instruction set of the build, with the places of the
/// definitions in the file.
void ReadInstructionSet(CProgram &program) {
  bool loaded = false;
  ForEachInstruction([&](const CInstruction &) { loaded = true; });
  // A build that stopped before assembling has not loaded the set yet.
  if (!loaded) {
    CBuildObserver *observer = BuildObserver();
    SetBuildObserver(nullptr);
    std::int32_t errors = g_ErrorCount;
    LoadInstructions();
    g_ErrorCount = errors;
    SetBuildObserver(observer);
  }
  // The file seldom changes between builds: its places are kept.
  static std::string lastText;
  static std::vector<CDefinitionSite> sites;
  std::string text;
  if (!ReadWholeFile(program.instructionFile, text))
    text.clear();
  if (text != lastText || sites.empty()) {
    sites = ScanDefinitionSites(text);
    lastText = std::move(text);
  }
  std::unordered_map<std::string, const CDefinitionSite *> byName;
  for (const CDefinitionSite &site : sites)
    byName.emplace(Lower(site.name), &site);
  ForEachInstruction([&](const CInstruction &instruction) {
    CInstructionDef definition;
    definition.name = instruction.name;
    definition.topBits = instruction.topBits;
    definition.opcode = instruction.opcode;
    for (std::int32_t i = 0; i < instruction.paramCount; ++i)
      definition.kinds.push_back(instruction.paramKinds[static_cast<std::size_t>(i)]);
    if (auto found = byName.find(Lower(instruction.name)); found != byName.end()) {
      definition.line = found->second->line;
      definition.column = found->second->column;
      definition.comment = found->second->comment;
    }
    program.instructions.push_back(std::move(definition));
  });
  std::sort(program.instructions.begin(), program.instructions.end(),
            [](const CInstructionDef &a, const CInstructionDef &b) { return a.name < b.name; });
}

/// Pairs every "namespace" with its "end" when both are in one file.
void PairNamespaces(CProgram &program) {
  std::vector<std::uint32_t> open;
  for (std::uint32_t i = 0; i < program.statements.size(); ++i) {
    CStatement &statement = program.statements[i];
    if (statement.command == Command::Namespace) {
      open.push_back(i);
    } else if (statement.command == Command::End && !open.empty()) {
      CStatement &opener = program.statements[open.back()];
      open.pop_back();
      if (opener.file == statement.file)
        opener.endLine = statement.line;
    }
  }
}

} // namespace

bool LocateOnLine(std::string_view line, std::string_view word, std::uint32_t &column,
                  std::uint32_t &endColumn) {
  std::vector<CScanToken> tokens = ScanLine(line);
  if (tokens.empty())
    return false;
  for (const CScanToken &token : tokens) {
    if (!word.empty() && EqualsNoCase(token.Text(line), word)) {
      column = token.start;
      endColumn = token.end;
      return true;
    }
  }
  column = tokens.front().start;
  endColumn = static_cast<std::uint32_t>(line.size());
  // A trailing comment is no part of what the error is about.
  if (tokens.size() > 1 && tokens.back().type == TokenType::Comment)
    endColumn = tokens[tokens.size() - 2].end;
  return true;
}

std::unique_ptr<CProgram> AnalyzeProgram(const CBuildRequest &request) {
  auto program = std::make_unique<CProgram>();
  program->main = request.main;
  program->versions = request.versions;
  program->programDirectory = ProgramDirectory();
  program->instructionFile = program->programDirectory + "Instructions.okl";
  program->FileNumber(request.main);
  CCollector collector(*program, request.cancelled);
  static const bool timing = std::getenv("FERROX_LSP_TIMING") != nullptr;
  auto t0 = std::chrono::steady_clock::now();
  auto lap = [&](const char *what) {
    if (!timing)
      return;
    auto now = std::chrono::steady_clock::now();
    std::fprintf(stderr, "%s %.2f ms\n", what, std::chrono::duration<double, std::milli>(now - t0).count());
    t0 = now;
  };
  std::string image;
  std::string output;
  {
    CBuildHooks hooks(&collector, request.overlay, &image, request.imageLimit, &output);
    try {
      BuildProgram(request.main, "", false, false);
      lap("build");
      collector.Finish();
      for (std::uint32_t id = 0; id < FileCount(); ++id) {
        std::uint32_t file = collector.File(id);
        if (program->sources.size() <= file)
          program->sources.resize(file + 1, false);
        program->sources[file] = true;
      }
      for (const CReadFile &read : FilesRead())
        program->FileNumber(AbsolutePath(read.path));
      for (const CLabelInfo &label : ListLabels())
        program->labels.push_back({label.name, label.value, collector.File(label.fileId),
                                   label.line, -1, false});
      for (const auto &[nameSpace, name] : collector.uses) {
        std::int64_t label = LookUpLabelNumber(nameSpace, name);
        if (label >= 0 && static_cast<std::size_t>(label) < program->labels.size())
          program->labels[static_cast<std::size_t>(label)].used = true;
      }
      program->includeDirectories = g_IncludeDirectories;
      ReadInstructionSet(*program);
    } catch (const CCancelled &) {
      ResetAllState();
      return nullptr;
    } catch (const std::bad_alloc &) {
      ResetAllState();
      collector.findings.errors.push_back({701, "Not enough memory for this build", CProgram::kNone, 0});
    } catch (const std::length_error &) {
      ResetAllState();
      collector.findings.errors.push_back({701, "Not enough memory for this build", CProgram::kNone, 0});
    }
    lap("collect");
    AddDiagnostics(*program, collector.findings, request.texts);
    lap("diagnostics");
  }
  return program;
}

void CompleteProgram(CProgram &program) {
  PairNamespaces(program);
  program.Finish();
  for (CLabelDef &label : program.labels) {
    const CStatement *statement = program.StatementAt(label.file, label.line);
    if (statement != nullptr && label.value >= statement->address &&
        label.value <= statement->addressAfter)
      label.position = static_cast<std::int64_t>(statement->position) +
                       (label.value - statement->address);
  }
}

} // namespace lsp
