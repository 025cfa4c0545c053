//===- tools/isa/doc.h - A reference of an instruction set ------*- C++ -*-===//
#ifndef FERROX_TOOLS_ISA_DOC_H
#define FERROX_TOOLS_ISA_DOC_H

#include "instructions/instruction_file.h"

#include <string>

/// A Markdown reference of the definitions in force in `file`: one table
/// row per instruction with its first byte, opcode, parameter kinds and
/// the comments beside it, then the parameter kinds used.
std::string DocumentInstructionFile(const CInstructionFile &file);

#endif // FERROX_TOOLS_ISA_DOC_H
