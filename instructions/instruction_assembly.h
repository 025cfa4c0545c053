//===- instructions/instruction_assembly.h - Instruction bytes --*- C++ -*-===//
#ifndef FERROX_INSTRUCTIONS_INSTRUCTION_ASSEMBLY_H
#define FERROX_INSTRUCTIONS_INSTRUCTION_ASSEMBLY_H

#include "instructions/instruction_set.h"
#include "source/token.h"

/// Assembles one instruction statement: a head byte (top bits and the three
/// addressing modes), the opcode, then each parameter.
bool AssembleInstruction(CSourceLine &line, const CInstruction &definition);

#endif // FERROX_INSTRUCTIONS_INSTRUCTION_ASSEMBLY_H
