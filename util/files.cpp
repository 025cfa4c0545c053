//===- util/files.cpp - Whole-file access and the program directory -------===//

#include "util/files.h"

#include "util/paths.h"
#include "util/platform.h"

#include <cstdint>

namespace {

constexpr std::uint64_t kMaxFileSize = 0x7FFFFFFF;

std::string g_ProgramDirectoryOverride;

/// The files this build has read.
std::vector<CReadFile> g_FilesRead;

const std::unordered_map<std::string, std::string> *g_Overlay = nullptr;

/// The buffer that files are read in beyond their stated size.
char g_Block[1 << 16];

} // namespace

void NoteFileRead(const std::string &path, platform::FileHandle file) {
  platform::FileIdentity identity = platform::IdentityOfFile(file);
  if (identity.valid && WasFileRead(identity))
    return;
  // A text standing in for a file has no identity: its path tells.
  if (!identity.valid)
    for (const CReadFile &read : g_FilesRead)
      if (read.path == path)
        return;
  g_FilesRead.push_back({path, identity});
}

const std::vector<CReadFile> &FilesRead() { return g_FilesRead; }

bool WasFileRead(const platform::FileIdentity &file) {
  for (const CReadFile &read : g_FilesRead)
    if (platform::SameFile(read.identity, file))
      return true;
  return false;
}

void ResetFilesRead() { g_FilesRead.clear(); }

void SetFileOverlay(const std::unordered_map<std::string, std::string> *overlay) {
  g_Overlay = overlay;
}

const std::string *OverlayOf(const std::string &path) {
  if (g_Overlay == nullptr || g_Overlay->empty() || path.empty())
    return nullptr;
  std::string full = PathRoot(path).empty() ? ResolvePath(platform::CurrentDirectory(), path)
                                            : NormalizePath(path);
  auto found = g_Overlay->find(full);
  return found != g_Overlay->end() ? &found->second : nullptr;
}

bool FileExists(const std::string &path) {
  return !path.empty() && (OverlayOf(path) != nullptr || platform::IsExistingFile(path));
}

bool ReadWholeFile(const std::string &path, std::string &content) {
  if (const std::string *text = OverlayOf(path)) {
    NoteFileRead(path, platform::kNoFile);
    content = *text;
    return true;
  }
  platform::FileHandle file = platform::OpenForRead(path);
  if (file == platform::kNoFile)
    return false;
  NoteFileRead(path, file);
  content.clear();
  bool ok = true;
  // Read the size the file reports in one piece, then go on in blocks until
  // a read returns nothing: the size may be wrong for pipes or growing files.
  std::uint64_t expected = platform::FileSizeOf(file);
  if (expected > 0 && expected <= kMaxFileSize) {
    content.resize(static_cast<std::size_t>(expected));
    std::size_t used = 0;
    while (used < content.size()) {
      std::size_t got = 0;
      ok = platform::ReadBytes(file, content.data() + used,
                               content.size() - used, &got);
      if (!ok || got == 0)
        break;
      used += got;
    }
    content.resize(used);
  }
  while (ok) {
    std::size_t got = 0;
    ok = platform::ReadBytes(file, g_Block, sizeof g_Block, &got);
    if (!ok || got == 0)
      break;
    if (content.size() + got > kMaxFileSize) {
      ok = false;
      break;
    }
    content.append(g_Block, got);
  }
  platform::CloseFile(file);
  return ok;
}

bool ReadWholeFileUpTo(const std::string &path, std::string &content,
                       std::size_t maxSize) {
  platform::FileHandle file = platform::OpenForRead(path);
  if (file == platform::kNoFile)
    return false;
  NoteFileRead(path, file);
  content.clear();
  bool ok = true;
  for (;;) {
    // Ask for one byte more than may still come, to notice an oversized file
    // without reading far past the bound.
    std::size_t room = maxSize - content.size();
    std::size_t want = room < sizeof g_Block ? room + 1 : sizeof g_Block;
    std::size_t got = 0;
    ok = platform::ReadBytes(file, g_Block, want, &got);
    if (!ok || got == 0)
      break;
    if (got > room) {
      content.append(g_Block, room);
      ok = false;
      break;
    }
    content.append(g_Block, got);
  }
  platform::CloseFile(file);
  return ok;
}

std::string ModulePath() { return platform::ModulePath(); }

std::string ProgramDirectory() {
  if (!g_ProgramDirectoryOverride.empty())
    return g_ProgramDirectoryOverride;
  static const std::string directory = DirectoryPart(ModulePath());
  return directory;
}

void SetProgramDirectoryForTesting(const std::string &directory) {
  g_ProgramDirectoryOverride = directory;
}
