//===- util/files.h - Whole-file access and the program directory -*- C++ -*-===//
#ifndef FERROX_UTIL_FILES_H
#define FERROX_UTIL_FILES_H

#include "util/platform.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

/// True when `path` is not empty, exists, and is not a directory.
bool FileExists(const std::string &path);

/// Reads the whole file into `content`. False when the file cannot be opened
/// (content unchanged) or a read fails (content keeps what was read). Files
/// of 2 GiB or more are refused: sizes are counted in 32 bits.
bool ReadWholeFile(const std::string &path, std::string &content);

/// ReadWholeFile for a file of at most `maxSize` bytes: false as soon as more
/// turn up (content then holds the first `maxSize` bytes), so that a huge
/// file or an endless device cannot fill memory.
bool ReadWholeFileUpTo(const std::string &path, std::string &content,
                       std::size_t maxSize);

/// A file the build has read: its path as it was opened, and the file.
struct CReadFile {
  std::string path;
  platform::FileIdentity identity;
};

/// Records that the build has read the open file `file` from `path`. The
/// whole-file readers record what they read themselves.
void NoteFileRead(const std::string &path, platform::FileHandle file);
/// Every file recorded since ResetFilesRead, each once, in the order first
/// read.
const std::vector<CReadFile> &FilesRead();
/// Whether `file` is one of them.
bool WasFileRead(const platform::FileIdentity &file);
void ResetFilesRead();

/// Texts that stand in for files, by full path: what a build reads of such
/// a path is the text (an editor's unsaved buffer, for a language server),
/// and the path exists for it. nullptr for none.
void SetFileOverlay(const std::unordered_map<std::string, std::string> *overlay);
/// The text standing in for `path` (made absolute against the working
/// folder), or nullptr.
const std::string *OverlayOf(const std::string &path);

/// Full path of the running program's file.
std::string ModulePath();

/// Directory of the running program's file, ending with a separator.
std::string ProgramDirectory();

/// Makes ProgramDirectory() return `directory` instead (used by tests and
/// in-process builds); an empty text restores the real directory.
void SetProgramDirectoryForTesting(const std::string &directory);

#endif // FERROX_UTIL_FILES_H
