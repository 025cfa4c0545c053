//===- util/platform.h - Operating system interface -------------*- C++ -*-===//
//
// Every call into the operating system goes through this header. There is one
// implementation for POSIX systems (platform_posix.cpp) and one for Windows
// (platform_win32.cpp); the build compiles exactly one of them.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_PLATFORM_H
#define FERROX_UTIL_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

/// The path conventions the path utilities understand.
enum class PathStyle {
  Windows, ///< '\' and ':' separate; drive letters and network roots.
  Posix,   ///< '/' and '\' separate; '/' starts an absolute path.
};

#ifdef _WIN32
inline constexpr PathStyle kHostPathStyle = PathStyle::Windows;
/// The program's name as shown in the usage banner.
inline constexpr std::string_view kProgramName = "ferrox.exe";
#else
inline constexpr PathStyle kHostPathStyle = PathStyle::Posix;
inline constexpr std::string_view kProgramName = "ferrox";
#endif

/// An open file. Negative values mean "no file".
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

/// Opens an existing file for reading, allowing others to read it too.
FileHandle OpenForRead(const std::string &path);
/// Creates `path`, which must not exist yet, for reading and writing, with
/// the usual permissions under the process's umask; kNoFile when it exists
/// or cannot be created.
FileHandle CreateNewFile(const std::string &path);
/// Gives an open file the permission bits `permissions` (POSIX mode bits);
/// false where they cannot be set. Windows has no such bits: true.
bool SetPermissions(FileHandle file, std::uint32_t permissions);
/// Puts the file at `from` in the place of `to` in one step, replacing
/// any file there: a reader of `to` sees either file whole. Both lie in
/// the same folder.
bool RenameOver(const std::string &from, const std::string &to);
/// Opens a file for writing without truncating it, creating it if missing.
FileHandle OpenForAppend(const std::string &path);
void CloseFile(FileHandle file);

/// Reads up to `capacity` bytes at the file pointer. False on a failed read;
/// `*got` is 0 at the end of the file.
bool ReadBytes(FileHandle file, void *buffer, std::size_t capacity,
               std::size_t *got);
/// Writes all `count` bytes at the file pointer. False when the write fails or
/// is short.
bool WriteBytes(FileHandle file, const void *bytes, std::size_t count);
/// Reads exactly `count` bytes at absolute `offset` (no file pointer use).
bool ReadBytesAt(FileHandle file, std::uint64_t offset, void *buffer,
                 std::size_t count);
/// Writes all `count` bytes at absolute `offset`; writing past the end of the
/// file extends it, and the gap reads as zeros.
bool WriteBytesAt(FileHandle file, std::uint64_t offset, const void *bytes,
                  std::size_t count);
/// Moves the file pointer to the end of the file.
bool SeekToEnd(FileHandle file);
/// True when an open file is an ordinary file (not a device, pipe, ...).
bool IsRegularFile(FileHandle file);
/// The size of an open file in bytes; 0 when it cannot be determined.
std::uint64_t FileSizeOf(FileHandle file);

/// Removes a file from the disk. False when it could not be removed.
bool RemoveFile(const std::string &path);
/// True when the path exists and is not a directory.
bool IsExistingFile(const std::string &path);

/// What a path names.
enum class FileKind {
  Missing,   ///< nothing (or nothing that can be examined)
  Regular,   ///< an ordinary file
  Directory,
  Other,     ///< a device, pipe or socket
};

/// Identifies a file on disk independently of the path used to reach it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  bool valid = false;
};
FileIdentity IdentityOfPath(const std::string &path);
FileIdentity IdentityOfFile(FileHandle file);
inline bool SameFile(const FileIdentity &a, const FileIdentity &b) {
  return a.valid && b.valid && a.device == b.device && a.index == b.index;
}

/// The file a path names, symbolic links followed.
struct PathInfo {
  FileKind kind = FileKind::Missing;
  FileIdentity identity;
  std::uint32_t permissions = 0; ///< POSIX mode bits (07777); 0 on Windows.
  bool characterDevice = false;  ///< a terminal, /dev/null and the like
};
PathInfo InfoOfPath(const std::string &path);

/// The path that writing through `path` reaches: every symbolic link that
/// the last component is followed to its target, which need not exist. On
/// Windows the path itself.
std::string FinalPath(const std::string &path);

/// The file standard output (1) or standard error (2) writes to, with what
/// it is: a build must never write its image into its own report.
PathInfo InfoOfStandardStream(int stream);

/// Sets the process up for safe output, once, before anything else: open
/// standard streams that are closed on the null device, so no file the
/// build opens takes their place; let a file-size limit fail a write
/// instead of ending the process.
void PrepareProcess();

/// Names the file that an interruption of the process (SIGINT, SIGTERM,
/// SIGHUP, SIGQUIT or SIGPIPE; Ctrl-C, Ctrl-Break or closing the console on
/// Windows) removes before the process ends as it would have; an empty
/// path names none. Only one file at a time: the image being written.
void RemoveOnInterrupt(const std::string &path);

/// The running process's number, for names of temporary files.
std::uint32_t ProcessId();

/// The working folder, ending with a separator.
std::string CurrentDirectory();

/// Full path of the running program's own file (symbolic links resolved).
std::string ModulePath();

/// Milliseconds from an arbitrary start, wrapping at 2^32.
std::uint32_t TickCount();

struct UtcTime {
  unsigned year, month, day, hour, minute, second;
};
/// The current date and time in UTC.
UtcTime CurrentUtcTime();

/// The platform's single-character lower-casing as a table of all 256 bytes.
/// On POSIX only ASCII letters change; bytes 0x80-0xFF stay as they are.
const unsigned char *LowerCaseTable();

/// The lower-case form of `c`.
inline char LowerChar(char c) {
  return static_cast<char>(LowerCaseTable()[static_cast<unsigned char>(c)]);
}

/// The computer's name; false when it cannot be read. `capacity` is the size
/// of the buffer the name is read into, terminator included.
bool ComputerName(std::string *name, std::size_t capacity);
/// The logged-on user's name; false when it cannot be read.
bool UserName(std::string *name, std::size_t capacity);

/// The code page in which the markup library's Polish report texts are
/// written: UTF-8 on POSIX, Windows-1250 on Windows.
enum class TextEncoding { Utf8, Windows1250 };
TextEncoding ReportEncoding();

} // namespace platform

#endif // FERROX_UTIL_PLATFORM_H
