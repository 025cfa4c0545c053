//===- preprocessor/include_files.h - Finding included files ----*- C++ -*-===//
#ifndef FERROX_PREPROCESSOR_INCLUDE_FILES_H
#define FERROX_PREPROCESSOR_INCLUDE_FILES_H

#include <string>
#include <string_view>

/// The path under which an included file `name` is found: first in the
/// main source file's directory, then in each include directory (as given,
/// and rewritten relative to the program's directory). Empty when none of
/// the candidates exists. Each name is looked up once per build: the
/// answer is kept until ResetIncludeFiles.
const std::string &FindIncludeFile(std::string_view name);

/// Forgets the names looked up.
void ResetIncludeFiles();

#endif // FERROX_PREPROCESSOR_INCLUDE_FILES_H
