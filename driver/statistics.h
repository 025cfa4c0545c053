//===- driver/statistics.h - The build report -------------------*- C++ -*-===//
#ifndef FERROX_DRIVER_STATISTICS_H
#define FERROX_DRIVER_STATISTICS_H

#include <cstdint>
#include <string>

/// Instructions assembled to the end, skip blocks included.
extern std::int32_t g_InstructionCount;

/// Prints the seven-line report of counts, sizes, time and result.
void PrintStatistics();

/// A byte count with a unit: "1023B", "1kB", "1MB", "2GB" (rounded down).
std::string FormatSize(std::int64_t size);

/// Sets g_InstructionCount back to 0.
void ResetStatistics();

#endif // FERROX_DRIVER_STATISTICS_H
