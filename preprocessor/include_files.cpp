//===- preprocessor/include_files.cpp - Finding included files ------------===//

#include "preprocessor/include_files.h"

#include "driver/build.h"
#include "markup/include_directories.h"
#include "util/files.h"
#include "util/paths.h"

#include <unordered_map>

namespace {

/// The path found for each name looked up in this build. A program names
/// the same few headers over and over, and with many include directories
/// every lookup of a missing name costs a file system call per candidate.
std::unordered_map<std::string, std::string> g_Found;

std::string Search(std::string_view name) {
  std::string candidate = ResolvePath(g_SourceDir, name);
  if (FileExists(candidate))
    return candidate;
  const std::string programDirectory = ProgramDirectory();
  for (const std::string &directory : g_IncludeDirectories) {
    candidate = ResolvePath(directory, name);
    if (FileExists(candidate))
      return candidate;
    std::string relative = RelativePath(programDirectory, candidate);
    if (relative != candidate && FileExists(relative))
      return relative;
  }
  return std::string();
}

} // namespace

const std::string &FindIncludeFile(std::string_view name) {
  std::string key(name);
  auto found = g_Found.find(key);
  if (found == g_Found.end())
    found = g_Found.emplace(std::move(key), Search(name)).first;
  return found->second;
}

void ResetIncludeFiles() { g_Found.clear(); }
