//===- driver/build.h - The build driver ------------------------*- C++ -*-===//
//
// Runs the stages of one build in their fixed order: include directories,
// "std.tvh", the source file, the preprocessor, the instruction set, the
// destination file, every statement, label patching and the report.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_DRIVER_BUILD_H
#define FERROX_DRIVER_BUILD_H

#include <cstdint>
#include <string>
#include <string_view>

/// The assembler's version, shown in the banner and as __VERSION__.
inline constexpr std::string_view VERSION = "1.0.1";

extern std::string g_SourcePath;
extern std::string g_DestinationPath;
/// Directory part of the source path; included files are looked up here
/// first.
extern std::string g_SourceDir;
/// Tick count at the start of the run.
extern std::uint32_t g_StartTick;

/// Prints the usage banner.
void PrintUsage();

/// Runs every stage of a build of its own, whatever builds ran before in
/// this process; true when all succeeded without a reported error.
bool BuildProgram(const std::string &source, const std::string &destination,
                  bool noDisk, bool noBootInfo);

/// The last stage: instruction set, destination file, statements, label
/// patching, report. False only when the instruction set cannot be loaded.
bool AssembleAndFinish(bool noDisk, bool noBootInfo);

/// BuildProgram as ferrox runs it: a build that runs out of memory ends
/// with error 701 (and the report, once assembling) instead of an
/// exception. Returns the exit status: 0 success, -1 failure.
int RunBuild(const std::string &source, const std::string &destination,
             bool noDisk, bool noBootInfo);

/// The whole program: reads the command line and returns the exit status
/// (0 success, -1 failure, -2 missing arguments).
int RunFerrox(int argc, const char *const *argv);

/// Resets the state of every module, so another build can run in the same
/// process.
void ResetAllState();

#endif // FERROX_DRIVER_BUILD_H
