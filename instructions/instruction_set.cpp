//===- instructions/instruction_set.cpp - Instruction definitions ---------===//

#include "instructions/instruction_set.h"

#include "driver/diagnostics.h"
#include "markup/okl_error.h"
#include "markup/okl_read.h"
#include "util/files.h"
#include "util/numbers.h"
#include "util/string_map.h"
#include "util/text.h"

namespace {

/// Definitions by lower-cased name.
CStringMap<CInstruction> g_Instructions;
std::string g_LowerWord;

constexpr std::string_view kKindWords[] = {"1u", "2u", "4u", "8u", "1i", "2i",
                                           "4i", "8i", "4f", "8f", "0s", "1s",
                                           "2s", "4s", "ns", "x"};

/// The filler after an element that must share its line with the next one.
bool SameLine(const qz::COKLRead &reader) {
  return reader.m_Separator == 0 && !reader.m_NewLineSeen;
}

/// kind-word: one of kKindWords in any letter case, followed by blanks only.
bool ReadParameterKind(qz::COKLRead &reader, std::int32_t &code) {
  std::string word;
  if (!reader.ReadValue(&word) || !SameLine(reader))
    return false;
  for (std::size_t i = 0; i < std::size(kKindWords); ++i) {
    if (EqualsNoCase(word, kKindWords[i])) {
      code = static_cast<std::int32_t>(i + 1);
      return true;
    }
  }
  return false;
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
  if (g_Instructions.Size() == 0)
    return nullptr;
  g_LowerWord.resize(word.size());
  for (std::size_t i = 0; i < word.size(); ++i)
    g_LowerWord[i] = platform::LowerChar(word[i]);
  return g_Instructions.Find(g_LowerWord);
}

bool AddInstruction(const CInstruction &instruction) {
  return g_Instructions.Insert(LowerCopy(instruction.name), instruction).second;
}

void ResetInstructions() { g_Instructions.Clear(); }
