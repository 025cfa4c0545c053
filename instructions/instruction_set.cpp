//===- instructions/instruction_set.cpp - Instruction definitions ---------===//

#include "instructions/instruction_set.h"

#include "driver/diagnostics.h"
#include "markup/okl_error.h"
#include "markup/okl_read.h"
#include "util/files.h"
#include "util/numbers.h"
#include "assembler/values.h"
#include "util/text.h"

#include <unordered_map>

namespace {

/// Definitions by name, in any letter case.
std::unordered_map<std::string, CInstruction, CNoCaseHash, CNoCaseEqual> g_Instructions;

/// The filler after an element that must share its line with the next one.
bool SameLine(const qz::COKLRead &reader) {
  return reader.m_Separator == 0 && !reader.m_NewLineSeen;
}

/// kind-word: the name of a value kind ("4i", "x") in any letter case,
/// followed by blanks only.
bool ReadParameterKind(qz::COKLRead &reader, std::int32_t &code,
                       const char *&why) {
  std::string word;
  if (!reader.ReadValue(&word)) {
    why = "a parameter kind or \"]\" expected";
    return false;
  }
  if (!SameLine(reader)) {
    why = "parameter kinds are parted by blanks on one line";
    return false;
  }
  code = FindValueKind(word);
  if (code == 0)
    why = "unknown parameter kind";
  return code != 0;
}

/// definition: name top-bits opcode [ "[" kind-word* "]" ] ";" line-break
/// The name and both numbers share one line; the list holds at most three
/// kinds parted by blanks.
bool ReadInstructionDefinition(qz::COKLRead &reader, CInstruction &instruction,
                               const char *&why) {
  std::string number;
  if (!reader.ReadValue(&instruction.name)) {
    why = "a definition starts with a name";
    return false;
  }
  if (!SameLine(reader) || !reader.ReadValue(&number)) {
    why = "the first number must follow the name on its line";
    return false;
  }
  if (!SameLine(reader)) {
    why = "the second number must follow the first on its line";
    return false;
  }
  instruction.topBits = static_cast<std::uint8_t>(ParseLong(number));
  if (!reader.ReadValue(&number)) {
    why = "the second number must follow the first on its line";
    return false;
  }
  instruction.opcode = static_cast<std::uint8_t>(ParseLong(number));

  if (reader.OpenSection()) {
    if (!SameLine(reader)) {
      why = "the first parameter kind must follow \"[\" on its line";
      return false;
    }
    while (!reader.CloseSection(true)) {
      if (instruction.paramCount == 3) {
        why = "more than three parameter kinds";
        return false;
      }
      if (!ReadParameterKind(
              reader, instruction.paramKinds[static_cast<std::size_t>(
                          instruction.paramCount)], why))
        return false;
      ++instruction.paramCount;
    }
  }
  if (reader.m_Separator != 2 || !reader.m_NewLineSeen) {
    why = "a definition ends with \";\" and a line break";
    return false;
  }
  return true;
}

/// Puts every definition into g_Instructions; a later definition of a name
/// already taken is dropped.
class CTableSink : public CDefinitionSink {
public:
  void Definition(const CInstruction &instruction) override {
    AddInstruction(instruction);
  }
};

} // namespace

// instruction-file: { definition }
bool ReadInstructionDocument(qz::COKLRead &reader, CDefinitionSink &sink,
                             const char **why) {
  while (!reader.m_AtEnd) {
    sink.BeginDefinition(reader);
    CInstruction instruction;
    const char *reason = "";
    if (!ReadInstructionDefinition(reader, instruction, reason)) {
      if (why != nullptr)
        *why = reason;
      return false;
    }
    sink.Definition(instruction);
  }
  return true;
}

bool ReadInstructionsFrom(const std::string &path,
                          const std::string &includeDirectory) {
  std::string text;
  if (!ReadWholeFile(path, text))
    return false;
  // Markup errors end the load like any broken definition.
  try {
    qz::COKLRead reader(text);
    reader.Begin(includeDirectory);
    CTableSink sink;
    return ReadInstructionDocument(reader, sink);
  } catch (const qz::CError &) {
    return false;
  }
}

bool LoadInstructions() {
  if (ReadInstructionsFrom(ProgramDirectory() + "Instructions.okl",
                           ProgramDirectory()))
    return true;
  ReportError(300, "Cannot load instruction definitions from file "
                   "\"Instructions.okl\"");
  return false;
}

const CInstruction *FindInstruction(std::string_view word) {
  auto found = g_Instructions.find(word);
  return found != g_Instructions.end() ? &found->second : nullptr;
}

bool AddInstruction(const CInstruction &instruction) {
  return g_Instructions.emplace(instruction.name, instruction).second;
}

void ForEachInstruction(const std::function<void(const CInstruction &)> &visit) {
  for (const auto &entry : g_Instructions)
    visit(entry.second);
}

void ResetInstructions() { g_Instructions.clear(); }
