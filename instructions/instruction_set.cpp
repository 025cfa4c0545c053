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
bool ReadParameterKind(qz::COKLRead &reader, std::int32_t &code) {
  std::string word;
  if (!reader.ReadValue(&word) || !SameLine(reader))
    return false;
  code = FindValueKind(word);
  return code != 0;
}

/// definition: name top-bits opcode [ "[" kind-word* "]" ] ";" line-break
/// The name and both numbers share one line; the list holds at most three
/// kinds parted by blanks.
bool ReadInstructionDefinition(qz::COKLRead &reader) {
  CInstruction instruction;
  std::string number;
  if (!reader.ReadValue(&instruction.name) || !SameLine(reader))
    return false;
  if (!reader.ReadValue(&number) || !SameLine(reader))
    return false;
  instruction.topBits = static_cast<std::uint8_t>(ParseLong(number));
  if (!reader.ReadValue(&number))
    return false;
  instruction.opcode = static_cast<std::uint8_t>(ParseLong(number));

  if (reader.OpenSection()) {
    if (!SameLine(reader))
      return false;
    while (!reader.CloseSection(true)) {
      if (instruction.paramCount == 3)
        return false;
      if (!ReadParameterKind(
              reader, instruction.paramKinds[static_cast<std::size_t>(
                          instruction.paramCount)]))
        return false;
      ++instruction.paramCount;
    }
  }
  if (reader.m_Separator != 2 || !reader.m_NewLineSeen)
    return false;
  // A later definition of a name already taken is dropped.
  AddInstruction(instruction);
  return true;
}

// instruction-file: { definition }
bool ReadInstructions() {
  std::string path = ProgramDirectory() + "Instructions.okl";
  std::string text;
  if (!ReadWholeFile(path, text))
    return false;
  // Markup errors end the load like any broken definition.
  try {
    qz::COKLRead reader(text);
    reader.Begin(ProgramDirectory());
    while (!reader.m_AtEnd)
      if (!ReadInstructionDefinition(reader))
        return false;
  } catch (const qz::CError &) {
    return false;
  }
  return true;
}

} // namespace

bool LoadInstructions() {
  if (ReadInstructions())
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
