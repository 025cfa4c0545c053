//===- util/platform_posix.cpp - POSIX operating system interface ---------===//

#include "util/platform.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

/// A path with a zero byte inside would name a different, shorter path.
bool IsUsablePath(const std::string &path) {
  return !path.empty() && path.find('\0') == std::string::npos;
}

FileHandle OpenWith(const std::string &path, int flags) {
  if (!IsUsablePath(path))
    return kNoFile;
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? kNoFile : static_cast<FileHandle>(fd);
}

int Fd(FileHandle file) { return static_cast<int>(file); }

} // namespace

FileHandle OpenForRead(const std::string &path) {
  FileHandle file = OpenWith(path, O_RDONLY);
  if (file == kNoFile)
    return kNoFile;
  // A directory opens fine on POSIX but cannot be read as a file.
  struct stat st;
  if (::fstat(Fd(file), &st) != 0 || S_ISDIR(st.st_mode)) {
    CloseFile(file);
    return kNoFile;
  }
  return file;
}

FileHandle OpenForRewrite(const std::string &path) {
  // Readable too: patches read back the bytes around them.
  return OpenWith(path, O_RDWR | O_CREAT);
}

bool SetFileSize(FileHandle file, std::uint64_t size) {
  if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
    return false;
  int result;
  do {
    result = ::ftruncate(Fd(file), static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

FileHandle OpenForAppend(const std::string &path) {
  return OpenWith(path, O_WRONLY | O_CREAT);
}

void CloseFile(FileHandle file) {
  if (file != kNoFile)
    ::close(Fd(file));
}

bool ReadBytes(FileHandle file, void *buffer, std::size_t capacity,
               std::size_t *got) {
  ssize_t n;
  do {
    n = ::read(Fd(file), buffer, capacity);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    *got = 0;
    return false;
  }
  *got = static_cast<std::size_t>(n);
  return true;
}

bool WriteBytes(FileHandle file, const void *bytes, std::size_t count) {
  const char *p = static_cast<const char *>(bytes);
  while (count > 0) {
    ssize_t n = ::write(Fd(file), p, count);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadBytesAt(FileHandle file, std::uint64_t offset, void *buffer,
                 std::size_t count) {
  char *p = static_cast<char *>(buffer);
  while (count > 0) {
    ssize_t n = ::pread(Fd(file), p, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    offset += static_cast<std::uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteBytesAt(FileHandle file, std::uint64_t offset, const void *bytes,
                  std::size_t count) {
  const char *p = static_cast<const char *>(bytes);
  while (count > 0) {
    ssize_t n = ::pwrite(Fd(file), p, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    offset += static_cast<std::uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool SeekToEnd(FileHandle file) {
  return ::lseek(Fd(file), 0, SEEK_END) >= 0;
}

bool IsRegularFile(FileHandle file) {
  struct stat st;
  return ::fstat(Fd(file), &st) == 0 && S_ISREG(st.st_mode);
}

std::uint64_t FileSizeOf(FileHandle file) {
  struct stat st;
  if (::fstat(Fd(file), &st) != 0 || st.st_size < 0)
    return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

bool RemoveFile(const std::string &path) {
  return IsUsablePath(path) && ::unlink(path.c_str()) == 0;
}

bool IsExistingFile(const std::string &path) {
  struct stat st;
  return IsUsablePath(path) && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

FileIdentity IdentityOfPath(const std::string &path) {
  struct stat st;
  if (!IsUsablePath(path) || ::stat(path.c_str(), &st) != 0)
    return {};
  return {static_cast<std::uint64_t>(st.st_dev),
          static_cast<std::uint64_t>(st.st_ino), true};
}

FileIdentity IdentityOfFile(FileHandle file) {
  struct stat st;
  if (file == kNoFile || ::fstat(Fd(file), &st) != 0)
    return {};
  return {static_cast<std::uint64_t>(st.st_dev),
          static_cast<std::uint64_t>(st.st_ino), true};
}

std::string ModulePath() {
  // The link's target can be of any length: grow the buffer until it fits.
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0)
      return std::string();
    if (static_cast<std::size_t>(n) < buffer.size())
      return std::string(buffer.data(), static_cast<std::size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

std::uint32_t TickCount() {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                     static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

UtcTime CurrentUtcTime() {
  std::time_t now = std::time(nullptr);
  struct tm parts;
  if (::gmtime_r(&now, &parts) == nullptr)
    return {1970, 1, 1, 0, 0, 0};
  return {static_cast<unsigned>(parts.tm_year + 1900),
          static_cast<unsigned>(parts.tm_mon + 1),
          static_cast<unsigned>(parts.tm_mday),
          static_cast<unsigned>(parts.tm_hour),
          static_cast<unsigned>(parts.tm_min),
          static_cast<unsigned>(parts.tm_sec)};
}

namespace {
struct LowerCase {
  unsigned char table[256];
  constexpr LowerCase() : table() {
    for (int c = 0; c < 256; ++c)
      table[c] = static_cast<unsigned char>(
          (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c);
  }
};
constexpr LowerCase kLowerCase;
} // namespace

const unsigned char *LowerCaseTable() { return kLowerCase.table; }

bool ComputerName(std::string *name, std::size_t capacity) {
  if (capacity == 0)
    return false;
  std::vector<char> buffer(capacity + 1, '\0');
  if (::gethostname(buffer.data(), capacity) != 0)
    return false;
  buffer[capacity - 1] = '\0';
  *name = buffer.data();
  return true;
}

bool UserName(std::string *name, std::size_t capacity) {
  const struct passwd *entry = ::getpwuid(::geteuid());
  if (entry == nullptr || entry->pw_name == nullptr)
    return false;
  std::string value = entry->pw_name;
  if (capacity == 0 || value.size() + 1 > capacity)
    return false;
  *name = value;
  return true;
}

TextEncoding ReportEncoding() { return TextEncoding::Utf8; }

} // namespace platform
