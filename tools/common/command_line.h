//===- tools/common/command_line.h - Tool messages ---------*- C++ -*-===//
//
// The companion programs speak as GNU programs do: "PROGRAM: message" on
// standard error, a hint at --help after a usage error (status 2), and
// "PROGRAM (ferrox) VERSION" for --version.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_COMMON_COMMAND_LINE_H
#define FERROX_TOOLS_COMMON_COMMAND_LINE_H

#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

/// The exit status of a usage error.
inline constexpr int kUsageError = 2;

/// Writes `text` to `stream` byte for byte.
void Print(std::FILE *stream, std::string_view text);

/// Prints "PROGRAM (ferrox) VERSION" on standard output.
void PrintVersion(std::string_view program);

/// Prints "PROGRAM: message" on standard error, after what standard output
/// holds so far, so that the two streams read in order on a terminal.
void Complain(std::string_view program, std::string_view message);

/// Complain(), then the hint "Try 'PROGRAM --help' ..."; returns
/// kUsageError.
int UsageError(std::string_view program, std::string_view message);

} // namespace cli

#endif // FERROX_TOOLS_COMMON_COMMAND_LINE_H
