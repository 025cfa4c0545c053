//===- util/platform_posix.cpp - POSIX operating system interface ---------===//

#include "util/platform.h"

#include <cerrno>
#include <csignal>
#include <cstring>
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

FileHandle CreateNewFile(const std::string &path) {
  // Readable too: patches read back the bytes around them.
  return OpenWith(path, O_RDWR | O_CREAT | O_EXCL);
}

bool SetPermissions(FileHandle file, std::uint32_t permissions) {
  return ::fchmod(Fd(file), static_cast<mode_t>(permissions & 07777)) == 0;
}

bool RenameOver(const std::string &from, const std::string &to) {
  return IsUsablePath(from) && IsUsablePath(to) &&
         ::rename(from.c_str(), to.c_str()) == 0;
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

namespace {

PathInfo InfoOfStat(const struct stat &st) {
  PathInfo info;
  info.kind = S_ISREG(st.st_mode)   ? FileKind::Regular
              : S_ISDIR(st.st_mode) ? FileKind::Directory
                                    : FileKind::Other;
  info.identity = {static_cast<std::uint64_t>(st.st_dev),
                   static_cast<std::uint64_t>(st.st_ino), true};
  info.permissions = static_cast<std::uint32_t>(st.st_mode & 07777);
  info.characterDevice = S_ISCHR(st.st_mode);
  return info;
}

} // namespace

PathInfo InfoOfPath(const std::string &path) {
  struct stat st;
  if (!IsUsablePath(path) || ::stat(path.c_str(), &st) != 0)
    return {};
  return InfoOfStat(st);
}

PathInfo InfoOfStandardStream(int stream) {
  struct stat st;
  if (::fstat(stream, &st) != 0)
    return {};
  return InfoOfStat(st);
}

std::string FinalPath(const std::string &path) {
  if (!IsUsablePath(path))
    return path;
  std::string current = path;
  // As many links as the system itself follows before it gives up (ELOOP).
  for (int links = 0; links < 40; ++links) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
      return current;
    std::vector<char> target(static_cast<std::size_t>(st.st_size) + 2);
    ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
      return current;
    std::string next(target.data(), static_cast<std::size_t>(n));
    if (next[0] != '/') {
      std::size_t slash = current.rfind('/');
      next = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + next;
    }
    current = next;
  }
  return current;
}

namespace {

/// The file RemoveOnInterrupt names, in storage a signal handler may read.
char g_InterruptPath[4096];
volatile sig_atomic_t g_HaveInterruptPath = 0;

constexpr int kStopSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE};

extern "C" void StopOnSignal(int signal) {
  if (g_HaveInterruptPath)
    ::unlink(g_InterruptPath);
  // End as the signal would have ended the process.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void InstallStopHandlers() {
  for (int signal : kStopSignals) {
    struct sigaction previous;
    // A signal ignored by whoever started the program (nohup, a
    // background job) stays ignored.
    if (::sigaction(signal, nullptr, &previous) != 0 ||
        previous.sa_handler == SIG_IGN)
      continue;
    struct sigaction action = {};
    action.sa_handler = StopOnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

} // namespace

void PrepareProcess() {
  // fcntl fails with EBADF on a closed descriptor; open() takes the lowest
  // free one, which is exactly that one.
  for (int stream = 0; stream <= 2; ++stream)
    if (::fcntl(stream, F_GETFD) < 0 && errno == EBADF)
      ::open("/dev/null", O_RDWR);
  ::signal(SIGXFSZ, SIG_IGN);
}

void RemoveOnInterrupt(const std::string &path) {
  static bool installed = false;
  if (!installed) {
    InstallStopHandlers();
    installed = true;
  }
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::sigprocmask(SIG_BLOCK, &all, &previous);
  g_HaveInterruptPath = 0;
  if (!path.empty() && path.size() < sizeof g_InterruptPath) {
    std::memcpy(g_InterruptPath, path.c_str(), path.size() + 1);
    g_HaveInterruptPath = 1;
  }
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
}

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(::getpid()); }

FileIdentity IdentityOfFile(FileHandle file) {
  struct stat st;
  if (file == kNoFile || ::fstat(Fd(file), &st) != 0)
    return {};
  return {static_cast<std::uint64_t>(st.st_dev),
          static_cast<std::uint64_t>(st.st_ino), true};
}

std::string CurrentDirectory() {
  std::vector<char> buffer(256);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE)
      return std::string();
    buffer.resize(buffer.size() * 2);
  }
  std::string directory = buffer.data();
  if (directory.empty() || directory.back() != '/')
    directory += '/';
  return directory;
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
