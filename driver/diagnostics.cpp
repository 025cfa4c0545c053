//===- driver/diagnostics.cpp - Numbered error reports --------------------===//

#include "driver/diagnostics.h"

#include "image/image_writer.h"

#include <cstdio>

std::int32_t g_ErrorCount = 0;

namespace {

constexpr std::int32_t kPrintedErrors = 7;

std::string *g_OutputSink = nullptr;

/// Counts the error and tells whether its line is printed; the eighth error
/// prints the overflow notice instead.
bool CountError() {
  DeleteDestinationFile();
  // The count is 32-bit; stop at its top instead of overflowing.
  if (g_ErrorCount < INT32_MAX)
    ++g_ErrorCount;
  if (g_ErrorCount == kPrintedErrors + 1)
    PrintLine("and more errors...");
  return g_ErrorCount <= kPrintedErrors;
}

} // namespace

void PrintLine(std::string_view text) {
  if (g_OutputSink != nullptr) {
    g_OutputSink->append(text);
    g_OutputSink->push_back('\n');
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ReportError(int code, std::string_view message) {
  if (!CountError())
    return;
  std::string line = "Error ";
  line += std::to_string(code);
  line += ": ";
  line += message;
  PrintLine(line);
}

void ReportErrorAt(int code, std::string_view message, std::string_view file,
                   std::int32_t lineNumber) {
  if (!CountError())
    return;
  std::string line(file);
  line += " (";
  line += std::to_string(lineNumber);
  line += "): error ";
  line += std::to_string(code);
  line += ": ";
  line += message;
  PrintLine(line);
}

bool NextErrorIsPrinted() { return g_ErrorCount < kPrintedErrors; }

void ReportRepeatedErrorAt(int code, std::string_view message,
                           std::string_view file, std::int32_t line,
                           std::uint64_t times) {
  // Once the notice is printed, further errors only count.
  while (times > 0 && g_ErrorCount <= kPrintedErrors) {
    ReportErrorAt(code, message, file, line);
    --times;
  }
  std::uint64_t total = static_cast<std::uint64_t>(g_ErrorCount) + times;
  g_ErrorCount = total > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(total);
}

void CaptureOutputForTesting(std::string *sink) { g_OutputSink = sink; }

void ResetDiagnostics() { g_ErrorCount = 0; }
