//===- markup/include_directories.h - The include directory list -*- C++ -*-===//
#ifndef FERROX_MARKUP_INCLUDE_DIRECTORIES_H
#define FERROX_MARKUP_INCLUDE_DIRECTORIES_H

#include <string>
#include <vector>

/// Directories searched for included files, in the order of the file.
extern std::vector<std::string> g_IncludeDirectories;

/// Reads "Directories.okl" from the program directory (error 1000).
bool LoadIncludeDirectories();

void ResetIncludeDirectories();

#endif // FERROX_MARKUP_INCLUDE_DIRECTORIES_H
