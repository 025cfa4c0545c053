//===- driver/build.cpp - The build driver --------------------------------===//

#include "driver/build.h"

#include "assembler/image_commands.h"
#include "assembler/labels.h"
#include "assembler/statement.h"
#include "driver/diagnostics.h"
#include "driver/statistics.h"
#include "image/image_writer.h"
#include "instructions/instruction_set.h"
#include "markup/include_directories.h"
#include "preprocessor/include_files.h"
#include "preprocessor/macros.h"
#include "preprocessor/preprocessor.h"
#include "source/lexer.h"
#include "source/token.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/platform.h"
#include "util/random.h"
#include "util/text.h"

#include <cstdio>
#include <new>
#include <stdexcept>

std::string g_SourcePath;
std::string g_DestinationPath;
std::string g_SourceDir;
std::uint32_t g_StartTick = 0;

namespace {

/// Whether the build has reached assembly, which ends with the report.
bool g_Assembling = false;

/// Ends a build that could not get memory: what it holds is given back
/// first, so that the error and the report can still be printed.
void FailForMemory() {
  DeleteDestinationFile();
  ResetSourceLines();
  ClearMacros();
  g_LabelFixups.clear();
  try {
    ReportError(701, "Not enough memory for this build");
    if (g_Assembling)
      PrintStatistics();
  } catch (const std::bad_alloc &) {
    static constexpr char kMessage[] = "Error 701: Not enough memory for this build\n";
    std::fwrite(kMessage, 1, sizeof kMessage - 1, stdout);
    std::fflush(stdout);
  }
}

} // namespace

void PrintUsage() {
  PrintLine("Ferrox Compiler " + std::string(VERSION) + " for Tavrune");
  PrintLine("");
  PrintLine("Syntax:");
  PrintLine("  " + std::string(platform::kProgramName) +
            " <SourceFile> <DestinationFile>");
}

bool AssembleAndFinish(bool noDisk, bool noBootInfo) {
  if (!LoadInstructions())
    return false;
  g_Assembling = true;
  SetImageStart((noDisk ? 0 : 16) + (noBootInfo ? 0 : 4));

  // The destination is created only by a build that is still clean, so an
  // earlier image survives a build that fails before this point; an image
  // kept in memory is made in any case. The header and boot field go to
  // whichever image is open.
  if (g_ErrorCount == 0)
    OpenDestinationFile(g_DestinationPath);
  else
    OpenFailedImageInMemory();
  if (!noDisk)
    WriteDiskHeader();
  if (!noBootInfo) {
    g_BootInfo = 0xFFFFFFFFu;
    WriteBootInfo(0xFFFFFFFFu);
  }

  for (g_SourceLines.Rewind(); !g_SourceLines.AtEnd(); g_SourceLines.Advance())
    CompileStatement();

  if (!g_Namespace.empty())
    ReportError(903, "\"" + g_Namespace + "\" unclosed namespace");
  if (!noBootInfo && g_BootInfo != 0xFFFFFFFFu)
    PatchBootInfo(noDisk);
  PatchLabels();
  // The image takes its place before the report, so that the report tells
  // what the build left on disk.
  CloseDestinationFile();
  PrintStatistics();
  return true;
}

bool BuildProgram(const std::string &source, const std::string &destination,
                  bool noDisk, bool noBootInfo) {
  // Whatever an earlier build in this process left goes first.
  ResetAllState();
  g_SourcePath = source;
  g_DestinationPath = destination;
  g_SourceDir = DirectoryPart(source);

  if (!LoadIncludeDirectories())
    return false;
  if (!LoadSourceFile(ProgramDirectory() + "std.tvh", nullptr, kNoFileId, 0))
    return false;
  if (!LoadSourceFile(g_SourcePath, nullptr, kNoFileId, 0))
    return false;
  if (!Preprocess())
    return false;
  if (!AssembleAndFinish(noDisk, noBootInfo))
    return false;
  return g_ErrorCount == 0;
}

int RunFerrox(int argc, const char *const *argv) {
  platform::PrepareProcess();
  g_StartTick = platform::TickCount();
  SeedRandom(platform::TickCount());
  if (argc < 3) {
    PrintUsage();
    return -2;
  }
  bool noDisk = false;
  bool noBootInfo = false;
  for (int i = 3; i < argc; ++i) {
    if (EqualsNoCase(argv[i], "-nodisk"))
      noDisk = true;
    else if (EqualsNoCase(argv[i], "-nobootinfo"))
      noBootInfo = true;
  }
  return RunBuild(argv[1], argv[2], noDisk, noBootInfo);
}

int RunBuild(const std::string &source, const std::string &destination,
             bool noDisk, bool noBootInfo) {
  try {
    return BuildProgram(source, destination, noDisk, noBootInfo) ? 0 : -1;
  } catch (const std::bad_alloc &) {
  } catch (const std::length_error &) {
    // A size beyond what any container can hold: the same shortage.
  }
  FailForMemory();
  return -1;
}

void ResetAllState() {
  ResetSourceLines();
  ResetLexer();
  ResetMacros();
  ResetPreprocessor();
  ResetIncludeFiles();
  ResetStatement();
  ResetLabels();
  ResetImageCommands();
  ResetImageWriter();
  ResetInstructions();
  ResetIncludeDirectories();
  ResetStatistics();
  ResetDiagnostics();
  ResetFilesRead();
  g_SourcePath.clear();
  g_DestinationPath.clear();
  g_SourceDir.clear();
  g_Assembling = false;
}
