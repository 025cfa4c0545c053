//===- instructions/instruction_set.h - Instruction definitions -*- C++ -*-===//
//
// The machine's instructions are not built in: every run reads them from
// "Instructions.okl" beside the program into g_Instructions. The reading of
// a definition document is shared with the tools, which keep more of what
// they read (instructions/instruction_file.h).
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_INSTRUCTIONS_INSTRUCTION_SET_H
#define FERROX_INSTRUCTIONS_INSTRUCTION_SET_H

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qz {
class COKLRead;
} // namespace qz

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

/// Reads the definition file at `path` into the table, resolving "[#inc]"
/// names against `includeDirectory`. False, without a report, when the file
/// cannot be read or breaks the format; definitions read before stay.
bool ReadInstructionsFrom(const std::string &path,
                          const std::string &includeDirectory);

/// The instruction named `word` in any letter case, or nullptr.
const CInstruction *FindInstruction(std::string_view word);

/// Adds a definition unless its name is taken (in any letter case); returns
/// whether it was added.
bool AddInstruction(const CInstruction &instruction);

/// Calls `visit` for every instruction loaded, in no particular order.
void ForEachInstruction(const std::function<void(const CInstruction &)> &visit);

/// Empties the instruction table.
void ResetInstructions();

/// Receives the definitions ReadInstructionDocument reads.
class CDefinitionSink {
public:
  virtual ~CDefinitionSink() = default;
  /// Called with the reader's cursor on the first byte of each definition,
  /// before it is read.
  virtual void BeginDefinition(qz::COKLRead &reader) { (void)reader; }
  /// Every definition read, in file order, duplicates of a name included.
  virtual void Definition(const CInstruction &instruction) = 0;
};

/// Reads definitions from `reader`, on which Begin has been called, up to
/// the end of its document. False at the first definition that breaks the
/// format, with `*why` (when not null) naming the rule it breaks. Markup
/// errors leave as the reader throws them.
bool ReadInstructionDocument(qz::COKLRead &reader, CDefinitionSink &sink,
                             const char **why = nullptr);

#endif // FERROX_INSTRUCTIONS_INSTRUCTION_SET_H
