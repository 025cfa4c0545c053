//===- assembler/statement.cpp - The statement dispatcher -----------------===//

#include "assembler/statement.h"

#include "assembler/data_commands.h"
#include "assembler/image_commands.h"
#include "assembler/labels.h"
#include "assembler/values.h"
#include "driver/diagnostics.h"
#include "driver/observer.h"
#include "image/image_writer.h"
#include "instructions/instruction_set.h"
#include "instructions/instruction_assembly.h"
#include "util/platform.h"

#include <array>
#include <cstring>
#include <string>

CSourceLine *g_CurrentLine = nullptr;

namespace {

/// The namespace path an observed statement started in. The statement
/// itself may change g_Namespace ("namespace" appends to it, "end" cuts
/// it), so the record must not point into it.
std::string g_RecordNamespace;

enum class Command {
  None,
  Namespace,
  End,
  Offset,
  OffsetDelta,
  IncludeBin,
  BootNone,
  BootAll,
  BootEnd,
  Boot,
  Data,
  Array,
  Skip,
  Reserve,
};

struct Keyword {
  std::string_view text;
  Command command;
};

constexpr Keyword kKeywords[] = {
    {"namespace", Command::Namespace}, {"end", Command::End},
    {"offset", Command::Offset},       {"offsetdelta", Command::OffsetDelta},
    {"includebin", Command::IncludeBin}, {"bootnone", Command::BootNone},
    {"bootall", Command::BootAll},     {"bootend", Command::BootEnd},
    {"boot", Command::Boot},           {"reserve", Command::Reserve},
};

/// The families, which FindCommand compares a word at a time.
constexpr std::string_view kFamilies[] = {"data", "array", "skip"};

constexpr auto kKeywordTexts = [] {
  std::array<std::string_view, std::size(kKeywords)> texts{};
  for (std::size_t i = 0; i < texts.size(); ++i)
    texts[i] = kKeywords[i].text;
  return texts;
}();

/// Longest keyword, "offsetdelta".
constexpr std::size_t kLongestKeyword = 11;

/// Finds the command of a word, and the value kind of the typed families.
Command FindCommand(std::string_view word, std::int32_t &kind) {
  if (word.size() > kLongestKeyword)
    return Command::None;
  char buffer[kLongestKeyword];
  const unsigned char *lowerCase = platform::LowerCaseTable();
  for (std::size_t i = 0; i < word.size(); ++i)
    buffer[i] = static_cast<char>(lowerCase[static_cast<unsigned char>(word[i])]);
  std::string_view lower(buffer, word.size());

  // The typed families ("data", "array", "skip" and a two-letter kind),
  // compared a word at a time: nearly every line of data starts with one.
  Command family = Command::None;
  std::size_t prefix = 0;
  if (lower.size() == 6 && std::memcmp(buffer, "data", 4) == 0) {
    family = Command::Data;
    prefix = 4;
  } else if (lower.size() == 6 && std::memcmp(buffer, "skip", 4) == 0) {
    family = Command::Skip;
    prefix = 4;
  } else if (lower.size() == 7 && std::memcmp(buffer, "array", 5) == 0) {
    family = Command::Array;
    prefix = 5;
  }
  if (family != Command::None) {
    kind = FindValueKind(lower.substr(prefix));
    if (kind != 0 && kind != KIND_X)
      return family;
  }
  for (const Keyword &keyword : kKeywords)
    if (keyword.text == lower)
      return keyword.command;
  return Command::None;
}

bool RunCommand(Command command, std::int32_t kind, CSourceLine &line) {
  switch (command) {
  case Command::Namespace:
    return BeginNamespace(line);
  case Command::End:
    return EndNamespace(line);
  case Command::Offset:
    return CommandOffset(line, false);
  case Command::OffsetDelta:
    return CommandOffset(line, true);
  case Command::IncludeBin:
    return CommandIncludeBin(line);
  case Command::BootNone:
    return CommandBoot(line, 0, 0);
  case Command::BootAll:
    return CommandBoot(line, 0, 0xFFFFFFFFu);
  case Command::BootEnd:
    return CommandBoot(line, 1, 0);
  case Command::Boot:
    return CommandBoot(line, 2, 0);
  case Command::Data:
    return CommandData(line, kind);
  case Command::Array:
    return CommandArray(line, kind);
  case Command::Skip:
    return CommandSkip(line, kind);
  case Command::Reserve:
    return CommandReserve(line);
  case Command::None:
    break;
  }
  return false;
}

} // namespace

void ReportLineError(int code, std::string_view message) {
  if (g_CurrentLine == nullptr) {
    ReportError(code, message);
    return;
  }
  ReportErrorAt(code, message, g_CurrentLine->FileId(),
                g_CurrentLine->GetLineNumber());
}

namespace {

/// What a command places in the image, for an observer.
StatementKind KindOf(Command command, std::int32_t kind) {
  bool string = KindInfo(kind).form == CValueKind::String;
  switch (command) {
  case Command::Data:
  case Command::Array:
    return string ? StatementKind::String : StatementKind::Data;
  case Command::Skip:
    return StatementKind::Skip;
  case Command::Reserve:
    return StatementKind::Reserve;
  case Command::IncludeBin:
    return StatementKind::IncludeBin;
  default:
    return StatementKind::None;
  }
}

// statement: [identifier ":"] [ command-keyword { parameter } | instruction-name { parameter } ]
bool Compile(CSourceLine &line, CStatementRecord *record) {
  line.Rewind();

  std::string_view label;
  if (line.TakeIdentifierBefore(':', label))
    DefineLabel(label);
  if (line.AtEnd())
    return true;

  std::string_view word;
  if (!TakeToken(line, TOKEN_IDENTIFIER, &word)) {
    Expected(501, line);
    return false;
  }
  std::int32_t kind = 0;
  Command command = FindCommand(word, kind);
  if (command != Command::None) {
    if (record != nullptr) {
      record->kind = KindOf(command, kind);
      if (record->kind != StatementKind::None && kind != 0)
        record->detail = KindInfo(kind).name;
    }
    return RunCommand(command, kind, line);
  }
  if (const CInstruction *instruction = FindInstruction(word)) {
    if (record != nullptr) {
      record->kind = StatementKind::Instruction;
      record->detail = instruction->name;
    }
    return AssembleInstruction(line, *instruction);
  }
  ReportLineError(900, "\"" + std::string(word) +
                           "\" unknown command or instruction");
  return false;
}

} // namespace

bool CompileStatement() {
  CSourceLine &line = *g_SourceLines.Current();
  g_CurrentLine = &line;
  CBuildObserver *observer = BuildObserver();
  if (observer == nullptr)
    return Compile(line, nullptr);
  CStatementRecord record;
  record.line = &line;
  record.fileId = line.FileId();
  record.lineNumber = line.GetLineNumber();
  record.address = GetOffset();
  std::uint32_t imageSize = static_cast<std::uint32_t>(GetImageSize());
  record.position = ImageStart() + imageSize;
  g_RecordNamespace.assign(g_Namespace);
  record.nameSpace = g_RecordNamespace;
  bool compiled = Compile(line, &record);
  record.addressAfter = GetOffset();
  record.size = static_cast<std::uint32_t>(GetImageSize()) - imageSize;
  observer->OnStatement(record);
  return compiled;
}

void ResetStatement() {
  g_CurrentLine = nullptr;
  g_RecordNamespace.clear();
}

std::span<const std::string_view> CommandKeywords() { return kKeywordTexts; }

std::span<const std::string_view> CommandFamilies() { return kFamilies; }
