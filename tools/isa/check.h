//===- tools/isa/check.h - Problems of a definition file --------*- C++ -*-===//
#ifndef FERROX_TOOLS_ISA_CHECK_H
#define FERROX_TOOLS_ISA_CHECK_H

#include "instructions/instruction_file.h"

#include <string>
#include <vector>

/// The warnings about the definitions of `file`, each "FILE:LINE: warning:
/// ..." (without the line when it is not known), in file order: definitions
/// dropped for a name taken before, names no statement can use, names a
/// command, directive or predefined macro takes first, and definitions
/// whose head bytes an image cannot tell from an earlier one's. A file that
/// breaks the format adds an error line last.
std::vector<std::string> CheckInstructionFile(const CInstructionFile &file);

#endif // FERROX_TOOLS_ISA_CHECK_H
