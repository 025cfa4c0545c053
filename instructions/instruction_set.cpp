//===- instructions/instruction_set.cpp - Instruction definitions ---------===//

#include "instructions/instruction_set.h"

#include "util/string_map.h"
#include "util/text.h"

namespace {

/// Definitions by lower-cased name.
CStringMap<CInstruction> g_Instructions;

} // namespace

const CInstruction *FindInstruction(std::string_view word) {
  if (g_Instructions.Size() == 0)
    return nullptr;
  return g_Instructions.Find(LowerCopy(word));
}

bool AddInstruction(const CInstruction &instruction) {
  return g_Instructions.Insert(LowerCopy(instruction.name), instruction).second;
}

bool LoadInstructions() { return true; }

void ResetInstructions() { g_Instructions.Clear(); }
