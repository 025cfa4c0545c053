//===- markup/include_directories.cpp - The include directory list --------===//

#include "markup/include_directories.h"

#include "driver/diagnostics.h"
#include "markup/okl_error.h"
#include "markup/okl_read.h"
#include "util/files.h"

std::vector<std::string> g_IncludeDirectories;

namespace {

/// directories: value*  (any filler between them)
bool ReadIncludeDirectories() {
  std::string path = ProgramDirectory() + "Directories.okl";
  std::string text;
  if (!ReadWholeFile(path, text))
    return false;
  // Markup errors end the load like anything else that is no value.
  try {
    qz::COKLRead reader(text);
    reader.Begin(ProgramDirectory());
    while (!reader.m_AtEnd) {
      std::string entry;
      if (!reader.ReadValue(&entry))
        return false;
      g_IncludeDirectories.push_back(std::move(entry));
    }
  } catch (const qz::CError &) {
    return false;
  }
  return true;
}

} // namespace

bool LoadIncludeDirectories() {
  if (ReadIncludeDirectories())
    return true;
  ReportError(1000, "Cannot load include directories from file "
                    "\"Directories.okl\"");
  return false;
}

void ResetIncludeDirectories() { g_IncludeDirectories.clear(); }
