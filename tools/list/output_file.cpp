//===- tools/list/output_file.cpp - Writing an output whole or not at all -===//

#include "tools/list/output_file.h"

#include "util/files.h"
#include "util/paths.h"
#include "util/platform.h"

#include <cstdio>

namespace {

/// Temporary files made by this process, for unique names.
unsigned g_TempFiles = 0;

bool WriteToStandardOutput(const std::string &content, std::string *error) {
  std::fflush(stdout);
  if (std::fwrite(content.data(), 1, content.size(), stdout) != content.size() ||
      std::fflush(stdout) != 0) {
    *error = "cannot write to standard output";
    return false;
  }
  return true;
}

bool IsStandardStream(const platform::PathInfo &info) {
  for (int stream : {1, 2}) {
    platform::PathInfo output = platform::InfoOfStandardStream(stream);
    if (!output.characterDevice && platform::SameFile(output.identity, info.identity))
      return true;
  }
  return false;
}

} // namespace

bool SameOutput(const std::string &a, const std::string &b) {
  if (a == "-" || b == "-")
    return false;
  std::string folder = platform::CurrentDirectory();
  if (ResolvePath(folder, platform::FinalPath(a)) == ResolvePath(folder, platform::FinalPath(b)))
    return true;
  return platform::SameFile(platform::InfoOfPath(a).identity,
                            platform::InfoOfPath(b).identity);
}

bool WriteOutputFile(const std::string &path, const std::string &content,
                     std::string *error) {
  if (path == "-")
    return WriteToStandardOutput(content, error);
  std::string target = platform::FinalPath(path);
  platform::PathInfo existing = platform::InfoOfPath(target);
  if (existing.kind == platform::FileKind::Directory) {
    *error = path + ": is a folder";
    return false;
  }
  if (existing.kind != platform::FileKind::Missing &&
      (WasFileRead(existing.identity) || IsStandardStream(existing))) {
    *error = path + ": is a file the build read or its report goes to; left as it was";
    return false;
  }
  if (existing.kind == platform::FileKind::Other) {
    platform::FileHandle file = platform::OpenForAppend(target);
    bool ok = file != platform::kNoFile &&
              platform::WriteBytes(file, content.data(), content.size());
    platform::CloseFile(file);
    if (!ok)
      *error = path + ": cannot write";
    return ok;
  }
  std::string temp;
  platform::FileHandle file = platform::kNoFile;
  for (int attempt = 0; attempt < 100 && file == platform::kNoFile; ++attempt) {
    temp = DirectoryPart(target) + "." + FileNamePart(target).substr(0, 200) +
           ".ferrox-list-" + std::to_string(platform::ProcessId()) + "-" +
           std::to_string(++g_TempFiles);
    platform::RemoveOnInterrupt(temp);
    file = platform::CreateNewFile(temp);
    if (file == platform::kNoFile &&
        platform::InfoOfPath(temp).kind == platform::FileKind::Missing)
      break; // the folder is missing or cannot be written to
  }
  if (file == platform::kNoFile) {
    platform::RemoveOnInterrupt(std::string());
    *error = path + ": cannot create the file";
    return false;
  }
  if (existing.kind == platform::FileKind::Regular)
    platform::SetPermissions(file, existing.permissions);
  bool ok = platform::WriteBytes(file, content.data(), content.size());
  platform::CloseFile(file);
  ok = ok && platform::RenameOver(temp, target);
  if (!ok) {
    platform::RemoveFile(temp);
    *error = path + ": cannot write";
  }
  platform::RemoveOnInterrupt(std::string());
  return ok;
}
