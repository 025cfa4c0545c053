//===- fuzz/fuzz_support.h - Scratch files and checks ----------*- C++ -*-===//
//
// The fuzz targets write their inputs to files, because the code under test
// reads whole files. The files live in a scratch folder in RAM (/dev/shm when
// it exists), made once per process and removed when it ends normally.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_FUZZ_FUZZ_SUPPORT_H
#define FERROX_FUZZ_FUZZ_SUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>

namespace fuzz {

/// Stops the fuzzer with a finding: `what` is printed and the process aborts,
/// which libFuzzer reports as a crash with the input that caused it.
[[noreturn]] inline void Fail(const char *what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition))                                                          \
      ::fuzz::Fail(#condition);                                                \
  } while (false)

namespace detail {
inline std::string &ScratchRoot() {
  static std::string root;
  return root;
}
inline void RemoveScratchRoot() {
  std::error_code error;
  if (!ScratchRoot().empty())
    std::filesystem::remove_all(ScratchRoot(), error);
}
} // namespace detail

/// A new empty folder in RAM for this process, ending with '/'. The folder
/// and everything in it are removed at exit.
inline std::string MakeScratchFolder(const char *name) {
  std::string base = "/dev/shm";
  if (!std::filesystem::is_directory(base))
    base = std::filesystem::temp_directory_path().string();
  std::string pattern = base + "/ferrox-" + name + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    Fail("cannot create the scratch folder");
  detail::ScratchRoot() = pattern;
  std::atexit(detail::RemoveScratchRoot);
  return pattern + "/";
}

/// Writes `bytes` to `path`, replacing the file.
inline void WriteFile(const std::string &path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out)
    Fail("cannot write a scratch file");
}

/// The whole content of `path`; empty when it cannot be read.
inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string &path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

inline void Remove(const std::string &path) {
  std::error_code error;
  std::filesystem::remove(path, error);
}

} // namespace fuzz

#endif // FERROX_FUZZ_FUZZ_SUPPORT_H
