//===- driver/statistics.cpp - The build report ---------------------------===//

#include "driver/statistics.h"

#include "assembler/labels.h"
#include "driver/build.h"
#include "driver/diagnostics.h"
#include "image/image_writer.h"
#include "preprocessor/macros.h"
#include "source/lexer.h"
#include "util/numbers.h"
#include "util/platform.h"

std::int32_t g_InstructionCount = 0;

std::string FormatSize(std::int64_t size) {
  constexpr std::int64_t kKilo = 1024;
  constexpr std::int64_t kMega = kKilo * 1024;
  constexpr std::int64_t kGiga = kMega * 1024;
  if (size >= kGiga)
    return std::to_string(size / kGiga) + "GB";
  if (size >= kMega)
    return std::to_string(size / kMega) + "MB";
  if (size < kKilo)
    return std::to_string(size) + "B";
  return std::to_string(size / kKilo) + "kB";
}

void PrintStatistics() {
  // The size of the image put in place, header and boot field included; a
  // build that left none has no size line.
  std::int64_t outputSize = ImageFileSize();
  std::uint32_t elapsed = platform::TickCount() - g_StartTick;
  float seconds = static_cast<float>(elapsed) * 0.001f;

  auto number = [](std::int32_t value) { return std::to_string(value); };
  PrintLine("Instructions : " + number(g_InstructionCount));
  PrintLine("Macros       : defined - " + number(g_MacrosDefined) +
            ", used - " + number(g_MacrosUsed));
  PrintLine("Labels       : defined - " + number(g_LabelsDefined) +
            ", used - " + number(g_LabelsUsed));
  PrintLine("Source       : lines - " + number(g_SourceLineCount) +
            ", files - " + number(g_SourceFileCount) + ", size - " +
            number(g_SourceSize) + " (" + FormatSize(g_SourceSize) + ")");
  if (outputSize >= 0)
    PrintLine("Output size  : " + std::to_string(outputSize) + " (" +
              FormatSize(outputSize) + ")");
  PrintLine("Total time   : " + FormatFloat(seconds, 'f', 2) + "s");
  PrintLine("Errors       : " + number(g_ErrorCount) + " (" +
            (g_ErrorCount != 0 ? "FAILURE" : "SUCCESS") + "!)");
}

void ResetStatistics() { g_InstructionCount = 0; }
