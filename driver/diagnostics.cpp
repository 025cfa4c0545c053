//===- driver/diagnostics.cpp - Numbered error reports --------------------===//

#include "driver/diagnostics.h"

#include "driver/observer.h"
#include "image/image_writer.h"
#include "source/token.h"

#include <cstdio>

std::int32_t g_ErrorCount = 0;

namespace {

constexpr std::int32_t kPrintedErrors = 7;

std::string *g_OutputSink = nullptr;
CBuildObserver *g_Observer = nullptr;

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
  if (g_Observer != nullptr)
    g_Observer->OnError(code, message, kNoFileId, 0);
  if (!CountError())
    return;
  std::string line = "Error ";
  line += std::to_string(code);
  line += ": ";
  line += message;
  PrintLine(line);
}

void ReportErrorAt(int code, std::string_view message, std::uint32_t fileId,
                   std::int32_t lineNumber) {
  if (g_Observer != nullptr)
    g_Observer->OnError(code, message, fileId, lineNumber);
  if (!CountError())
    return;
  std::string line(FileNameOf(fileId));
  line += " (";
  line += std::to_string(lineNumber);
  line += "): error ";
  line += std::to_string(code);
  line += ": ";
  line += message;
  PrintLine(line);
}

bool NextErrorIsPrinted() {
  return g_Observer != nullptr || g_ErrorCount < kPrintedErrors;
}

void ReportRepeatedErrorAt(int code, std::string_view message,
                           std::uint32_t fileId, std::int32_t line,
                           std::uint64_t times) {
  // Once the notice is printed, further errors only count; an observer
  // hears of one use more than the printed ones at most, since the rest
  // are at the same place with the same message.
  while (times > 0 && (g_ErrorCount <= kPrintedErrors || g_Observer != nullptr)) {
    ReportErrorAt(code, message, fileId, line);
    --times;
    if (g_ErrorCount > kPrintedErrors)
      break;
  }
  std::uint64_t total = static_cast<std::uint64_t>(g_ErrorCount) + times;
  g_ErrorCount = total > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(total);
}

void CaptureOutputForTesting(std::string *sink) { g_OutputSink = sink; }

void SetBuildObserver(CBuildObserver *observer) { g_Observer = observer; }

CBuildObserver *BuildObserver() { return g_Observer; }

void ResetDiagnostics() { g_ErrorCount = 0; }
