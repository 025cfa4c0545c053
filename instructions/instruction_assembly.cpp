//===- instructions/instruction_assembly.cpp - Instruction bytes ----------===//

#include "instructions/instruction_assembly.h"

#include "assembler/labels.h"
#include "assembler/values.h"
#include "driver/statistics.h"
#include "image/image_writer.h"

// instruction: name parameter-1 ... parameter-n  (n from the definition, 0 to 3)
bool AssembleInstruction(CSourceLine &line, const CInstruction &definition) {
  // Every parameter is parsed before any byte is written, so a statement
  // with missing or malformed parameters writes nothing.
  CParameter parameters[3];
  std::int32_t count = definition.paramCount;
  for (std::int32_t i = 0; i < count; ++i)
    if (!ParseParameter(line, parameters[i]))
      return false;
  ExpectEndOfLine(line);

  unsigned head = definition.topBits;
  for (std::int32_t i = 0; i < 3; ++i)
    head = head * 4 + static_cast<unsigned>(i < count ? parameters[i].mode : 0);
  const unsigned char bytes[2] = {static_cast<unsigned char>(head),
                                  static_cast<unsigned char>(definition.opcode)};
  if (!WriteOutput(bytes, sizeof bytes))
    return false;

  for (std::int32_t i = 0; i < count; ++i) {
    const CParameter &parameter = parameters[i];
    if (!parameter.label.empty() && !DefineLabel(parameter.label))
      return false;
    if (!writeParameter(definition.paramKinds[static_cast<std::size_t>(i)],
                        parameter.mode, parameter))
      return false;
  }
  if (g_InstructionCount < INT32_MAX)
    ++g_InstructionCount;
  return true;
}
