//===- assembler/data_commands.h - data, array, skip, reserve ---*- C++ -*-===//
#ifndef FERROX_ASSEMBLER_DATA_COMMANDS_H
#define FERROX_ASSEMBLER_DATA_COMMANDS_H

#include "source/token.h"

#include <cstdint>

/// "data<kind>": any number of values, each optionally labelled.
bool CommandData(CSourceLine &line, std::int32_t kind);
/// "array<kind>": a count, then one value written that many times.
bool CommandArray(CSourceLine &line, std::int32_t kind);
/// "skip<kind>": an instruction that jumps over the inline values after it.
bool CommandSkip(CSourceLine &line, std::int32_t kind);
/// "reserve": a count of bytes that become zeros if anything follows.
bool CommandReserve(CSourceLine &line);

#endif // FERROX_ASSEMBLER_DATA_COMMANDS_H
