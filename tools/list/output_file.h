//===- tools/list/output_file.h - Writing an output whole or not at all -*- C++ -*-===//
//
// Like the image, each output is written to a new temporary file beside it
// that takes its place in one step, so an output is never left half
// written: a symbolic link stays a link and its target gets the text, an
// existing file keeps its permissions, a device or pipe is written to
// directly, and "-" is standard output.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LIST_OUTPUT_FILE_H
#define FERROX_TOOLS_LIST_OUTPUT_FILE_H

#include <string>

/// Writes `content` to `path`; false with `*error` set when it could not.
/// An output is refused when it is a file the build read or the file
/// standard output or standard error goes to.
bool WriteOutputFile(const std::string &path, const std::string &content,
                     std::string *error);

/// Whether two output paths name the same file (the same text, or the
/// same existing file through links).
bool SameOutput(const std::string &a, const std::string &b);

#endif // FERROX_TOOLS_LIST_OUTPUT_FILE_H
