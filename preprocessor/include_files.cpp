//===- preprocessor/include_files.cpp - Finding included files ------------===//

#include "preprocessor/include_files.h"

#include "driver/build.h"
#include "markup/include_directories.h"
#include "util/files.h"
#include "util/paths.h"

std::string FindIncludeFile(std::string_view name) {
  std::string candidate = ResolvePath(g_SourceDir, name);
  if (FileExists(candidate))
    return candidate;
  for (const std::string &directory : g_IncludeDirectories) {
    candidate = ResolvePath(directory, name);
    if (FileExists(candidate))
      return candidate;
    candidate = RelativePath(ProgramDirectory(), candidate);
    if (FileExists(candidate))
      return candidate;
  }
  return std::string();
}
