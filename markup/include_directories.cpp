//===- markup/include_directories.cpp - The include directory list --------===//

#include "markup/include_directories.h"

std::vector<std::string> g_IncludeDirectories;

bool LoadIncludeDirectories() { return true; }

void ResetIncludeDirectories() { g_IncludeDirectories.clear(); }
