//===- instructions/instruction_set.h - Instruction definitions -*- C++ -*-===//
//
// The machine's instructions are not built in: every run reads them from
// "Instructions.okl" beside the program into g_Instructions.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_INSTRUCTIONS_INSTRUCTION_SET_H
#define FERROX_INSTRUCTIONS_INSTRUCTION_SET_H

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

/// One instruction definition.
struct CInstruction {
  std::string name;           ///< As written in the definition file.
  std::uint8_t topBits = 0;   ///< Low two bits become the head's top bits.
  std::uint8_t opcode = 0;    ///< The instruction's second byte.
  std::array<std::int32_t, 3> paramKinds = {0, 0, 0}; ///< Value kinds, 1-16.
  std::int32_t paramCount = 0;
};

/// Reads "Instructions.okl" from the program directory (error 300).
bool LoadInstructions();

/// The instruction named `word` in any letter case, or nullptr.
const CInstruction *FindInstruction(std::string_view word);

/// Adds a definition unless its name is taken (in any letter case); returns
/// whether it was added.
bool AddInstruction(const CInstruction &instruction);

/// Calls `visit` for every instruction loaded, in no particular order.
void ForEachInstruction(const std::function<void(const CInstruction &)> &visit);

/// Empties the instruction table.
void ResetInstructions();

#endif // FERROX_INSTRUCTIONS_INSTRUCTION_SET_H
