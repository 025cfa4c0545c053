//===- util/platform_win32.cpp - Windows operating system interface -------===//

#include "util/platform.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace platform {

namespace {

HANDLE Win(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

/// A path with a zero byte inside would name a different, shorter path.
bool IsUsablePath(const std::string &path) {
  return !path.empty() && path.find('\0') == std::string::npos;
}

FileHandle FromWin(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kNoFile
                                        : reinterpret_cast<FileHandle>(handle);
}

} // namespace

FileHandle OpenForRead(const std::string &path) {
  if (!IsUsablePath(path))
    return kNoFile;
  return FromWin(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
}

FileHandle CreateNewFile(const std::string &path) {
  if (!IsUsablePath(path))
    return kNoFile;
  // Shared for deletion, so that the console handler can remove the file
  // while it is open.
  return FromWin(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool SetPermissions(FileHandle, std::uint32_t) { return true; }

bool RenameOver(const std::string &from, const std::string &to) {
  return IsUsablePath(from) && IsUsablePath(to) &&
         MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

FileHandle OpenForAppend(const std::string &path) {
  if (!IsUsablePath(path))
    return kNoFile;
  return FromWin(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void CloseFile(FileHandle file) {
  if (file != kNoFile)
    CloseHandle(Win(file));
}

bool ReadBytes(FileHandle file, void *buffer, std::size_t capacity,
               std::size_t *got) {
  DWORD chunk = capacity > 0x40000000u ? 0x40000000u
                                       : static_cast<DWORD>(capacity);
  DWORD read = 0;
  if (!ReadFile(Win(file), buffer, chunk, &read, nullptr)) {
    *got = 0;
    return false;
  }
  *got = read;
  return true;
}

bool WriteBytes(FileHandle file, const void *bytes, std::size_t count) {
  const char *p = static_cast<const char *>(bytes);
  while (count > 0) {
    DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(Win(file), p, chunk, &written, nullptr) || written == 0)
      return false;
    p += written;
    count -= written;
  }
  return true;
}

bool ReadBytesAt(FileHandle file, std::uint64_t offset, void *buffer,
                 std::size_t count) {
  char *p = static_cast<char *>(buffer);
  while (count > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD read = 0;
    if (!ReadFile(Win(file), p, chunk, &read, &at) || read == 0)
      return false;
    p += read;
    offset += read;
    count -= read;
  }
  return true;
}

bool WriteBytesAt(FileHandle file, std::uint64_t offset, const void *bytes,
                  std::size_t count) {
  const char *p = static_cast<const char *>(bytes);
  while (count > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(Win(file), p, chunk, &written, &at) || written == 0)
      return false;
    p += written;
    offset += written;
    count -= written;
  }
  return true;
}

bool SeekToEnd(FileHandle file) {
  LARGE_INTEGER zero = {};
  return SetFilePointerEx(Win(file), zero, nullptr, FILE_END) != 0;
}

bool IsRegularFile(FileHandle file) {
  return GetFileType(Win(file)) == FILE_TYPE_DISK;
}

std::uint64_t FileSizeOf(FileHandle file) {
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(Win(file), &size) || size.QuadPart < 0)
    return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool RemoveFile(const std::string &path) {
  return IsUsablePath(path) && DeleteFileA(path.c_str()) != 0;
}

bool IsExistingFile(const std::string &path) {
  if (!IsUsablePath(path))
    return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileIdentity IdentityOfFile(FileHandle file) {
  BY_HANDLE_FILE_INFORMATION info;
  if (file == kNoFile || !GetFileInformationByHandle(Win(file), &info))
    return {};
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
              info.nFileIndexLow,
          true};
}

FileIdentity IdentityOfPath(const std::string &path) {
  if (!IsUsablePath(path))
    return {};
  HANDLE handle = CreateFileA(path.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE |
                                  FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return {};
  FileIdentity identity = IdentityOfFile(FromWin(handle));
  CloseHandle(handle);
  return identity;
}

PathInfo InfoOfPath(const std::string &path) {
  if (!IsUsablePath(path))
    return {};
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return {};
  PathInfo info;
  info.identity = IdentityOfPath(path);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    info.kind = FileKind::Directory;
    return info;
  }
  // Devices such as NUL have attributes too; only a disk file is regular.
  HANDLE handle = CreateFileA(path.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD type = handle != INVALID_HANDLE_VALUE ? GetFileType(handle) : FILE_TYPE_DISK;
  if (handle != INVALID_HANDLE_VALUE)
    CloseHandle(handle);
  info.kind = type == FILE_TYPE_DISK ? FileKind::Regular : FileKind::Other;
  info.characterDevice = type == FILE_TYPE_CHAR;
  return info;
}

PathInfo InfoOfStandardStream(int stream) {
  HANDLE handle = GetStdHandle(stream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  PathInfo info;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
    return info;
  DWORD type = GetFileType(handle);
  info.kind = type == FILE_TYPE_DISK ? FileKind::Regular : FileKind::Other;
  info.characterDevice = type == FILE_TYPE_CHAR;
  info.identity = IdentityOfFile(FromWin(handle));
  return info;
}

std::string FinalPath(const std::string &path) { return path; }

namespace {

/// The file RemoveOnInterrupt names. The console handler runs on a thread
/// of its own, so the name is handed over under a lock.
CRITICAL_SECTION g_InterruptLock;
std::string g_InterruptPath;

BOOL WINAPI StopOnConsoleEvent(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ||
      event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT ||
      event == CTRL_SHUTDOWN_EVENT) {
    EnterCriticalSection(&g_InterruptLock);
    if (!g_InterruptPath.empty())
      DeleteFileA(g_InterruptPath.c_str());
    LeaveCriticalSection(&g_InterruptLock);
  }
  return FALSE; // and the process ends as it would have
}

} // namespace

void PrepareProcess() {
  static bool prepared = false;
  if (prepared)
    return;
  prepared = true;
  InitializeCriticalSection(&g_InterruptLock);
  SetConsoleCtrlHandler(StopOnConsoleEvent, TRUE);
}

void RemoveOnInterrupt(const std::string &path) {
  PrepareProcess();
  EnterCriticalSection(&g_InterruptLock);
  g_InterruptPath = path;
  LeaveCriticalSection(&g_InterruptLock);
}

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(GetCurrentProcessId()); }

std::string CurrentDirectory() {
  DWORD size = GetCurrentDirectoryA(0, nullptr);
  std::string directory(size, '\0');
  DWORD got = GetCurrentDirectoryA(size, directory.data());
  directory.resize(got);
  if (!directory.empty() && directory.back() != '\\')
    directory += '\\';
  return directory;
}

std::string ModulePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(),
                                 static_cast<DWORD>(buffer.size()));
    if (n == 0)
      return std::string();
    if (n < buffer.size())
      return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::uint32_t TickCount() { return GetTickCount(); }

UtcTime CurrentUtcTime() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
          now.wSecond};
}

const unsigned char *LowerCaseTable() {
  // CharLowerA lower-cases a single character when the high word is zero;
  // ask it once for every byte.
  static const struct LowerCase {
    unsigned char table[256];
    LowerCase() {
      for (int c = 0; c < 256; ++c) {
        ULONG_PTR value = static_cast<ULONG_PTR>(c);
        table[c] = static_cast<unsigned char>(reinterpret_cast<ULONG_PTR>(
            CharLowerA(reinterpret_cast<LPSTR>(value))));
      }
      table[0] = 0;
    }
  } lowerCase;
  return lowerCase.table;
}

bool ComputerName(std::string *name, std::size_t capacity) {
  std::vector<char> buffer(capacity + 1, '\0');
  DWORD size = static_cast<DWORD>(capacity);
  if (!GetComputerNameA(buffer.data(), &size))
    return false;
  *name = buffer.data();
  return true;
}

bool UserName(std::string *name, std::size_t capacity) {
  std::vector<char> buffer(capacity + 1, '\0');
  DWORD size = static_cast<DWORD>(capacity);
  if (!GetUserNameA(buffer.data(), &size))
    return false;
  *name = buffer.data();
  return true;
}

TextEncoding ReportEncoding() { return TextEncoding::Windows1250; }

} // namespace platform
