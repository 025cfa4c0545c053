//===- driver/diagnostics.h - Numbered error reports ------------*- C++ -*-===//
//
// Every problem is reported as a numbered error on standard output. The first
// seven are printed, the eighth prints "and more errors...", and all are
// counted. The first error gives up the image being written.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_DRIVER_DIAGNOSTICS_H
#define FERROX_DRIVER_DIAGNOSTICS_H

#include <cstdint>
#include <string>
#include <string_view>

/// Number of errors reported in this run.
extern std::int32_t g_ErrorCount;

/// Reports an error without a position: "Error <code>: <message>".
void ReportError(int code, std::string_view message);
/// Reports an error at a line of the file `fileId` (InternFile):
/// "<file name> (<line>): error <code>: <message>".
void ReportErrorAt(int code, std::string_view message, std::uint32_t fileId,
                   std::int32_t line);

/// Reports the same positioned error `times` times: as many lines as the
/// limit allows are printed, and all are counted.
void ReportRepeatedErrorAt(int code, std::string_view message,
                           std::uint32_t fileId, std::int32_t line,
                           std::uint64_t times);

/// True when the next error's message will be read; callers that report
/// errors by the thousand skip composing messages nobody sees.
bool NextErrorIsPrinted();

/// Writes one line to standard output and flushes it.
void PrintLine(std::string_view text);

/// Sends printed lines to `sink` instead of standard output (nullptr
/// restores standard output).
void CaptureOutputForTesting(std::string *sink);
/// Sets the error count back to 0.
void ResetDiagnostics();

#endif // FERROX_DRIVER_DIAGNOSTICS_H
