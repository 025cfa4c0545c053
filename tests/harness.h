//===- tests/harness.h - Running the built program like a user --*- C++ -*-===//
//
// Every end-to-end test gets a fresh temporary folder holding a copy of the
// built program with its installation files, and a working folder for
// sources and images. The program is run as a separate process and its
// exact output lines, exit status and image bytes are checked.
//
// Two environment variables point the same tests at another build of the
// program, such as the cross-built Windows one run under wine:
//
//   FERROX_E2E_BINARY  the program to test (default: the one built here);
//                      a name ending in ".exe" is taken as a Windows program
//   FERROX_E2E_RUNNER  a program that runs it (for example wine64)
//
// The companion programs (ferrox-isa, ferrox-dis) are installed beside the
// program when a test first runs one; for a Windows program they are the
// .exe files in its folder.
//
// A Windows program follows its own path rules (backslash and colon
// separate; its directory is a drive path such as "Z:\work\bin\") and ends
// its lines with CR LF. The harness strips the CR; tests pass paths to the
// program and expect paths in its messages through Native().
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TESTS_HARNESS_H
#define FERROX_TESTS_HARNESS_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

/// What one run printed and returned.
struct RunResult {
  int status = -1; ///< Exit status, 0-255; -1 when killed or timed out.
  int signal = 0;  ///< The signal that ended the program, or 0.
  std::vector<std::string> lines; ///< Standard output, split into lines.
  std::string output; ///< Standard output, whole (CR LF read as LF on Windows).
  std::vector<std::string> errorLines; ///< Standard error, split into lines.
  std::string errors; ///< Standard error, whole.
  bool timedOut = false;
  double seconds = 0;         ///< Wall-clock time the run took.
  long peakMemoryKb = 0;      ///< Largest resident set of the process.
};

/// The instruction set most tests use: stable, independent of the shipped
/// sample set.
extern const char *const kTestInstructions;

/// Whether the program under test is a Windows program.
bool WindowsTarget();
/// `path`, written with '/' as the tests do, in the form the program under
/// test uses and prints: unchanged on POSIX; for a Windows program with
/// backslashes between components, and an absolute path on drive Z:, where
/// wine maps the root folder.
std::string Native(const std::string &path);

class Ferrox : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  /// Folder of the installed program, ending with '/'.
  const std::string &InstallDir() const { return m_Install; }
  /// The installation folder as the program names it (its own directory).
  std::string ProgramDir() const { return Native(m_Install); }
  /// Working folder the program runs in, ending with '/'.
  const std::string &WorkDir() const { return m_Work; }

  /// Replaces an installation file ("std.tvh", "Instructions.okl", ...).
  void Install(const std::string &name, const std::string &content);
  /// Copies the shipped installation files from the source tree.
  void InstallShippedData();
  void RemoveInstalled(const std::string &name);

  /// Writes a file relative to the working folder (folders are created).
  void Write(const std::string &name, const std::string &content);
  std::string Read(const std::string &name) const;
  bool Exists(const std::string &name) const;

  /// Makes every later run fail writes that would grow a file beyond
  /// `bytes`, like a full disk (0 removes the limit).
  void LimitFileSize(std::uint64_t bytes) { m_FileSizeLimit = bytes; }
  /// Makes every later run fail to get memory beyond `bytes` of address
  /// space (0 removes the limit).
  void LimitMemory(std::uint64_t bytes) { m_MemoryLimit = bytes; }

  /// Makes every later run start with its standard output closed.
  void CloseStandardOutput(bool closed) { m_CloseOutput = closed; }

  /// Runs the installed program with `args` in the working folder.
  RunResult Run(const std::vector<std::string> &args, int timeoutSeconds = 60);
  /// Whether the companion program `name` (ferrox-list, ...) was built
  /// beside the program under test.
  static bool HasProgram(const std::string &name);
  /// Runs the companion program `name`, installed beside the program in
  /// the temporary folder (on first use), with `args` in the working folder.
  RunResult RunProgram(const std::string &name, const std::vector<std::string> &args,
                       int timeoutSeconds = 60);
  /// Runs any program (looked up in PATH) in the working folder; returns
  /// its exit status, or -1 when it could not run.
  int RunOther(const std::vector<std::string> &args, int timeoutSeconds = 60);
  /// Runs the program (natively, not under a runner) and sends it `signal`
  /// as soon as a file whose name starts with `prefix` appears in the
  /// working folder.
  RunResult RunAndSignal(const std::vector<std::string> &args, int signal,
                         const std::string &prefix);
  /// Starts the program once for each of `runs` at the same time and waits
  /// for all of them.
  std::vector<RunResult> RunTogether(const std::vector<std::vector<std::string>> &runs);
  /// Writes `source` to prog.src and assembles it into out.img with `switches`.
  RunResult Assemble(const std::string &source,
                     const std::vector<std::string> &switches = {});
  /// Assembles with -nodisk -nobootinfo and returns the bare image bytes;
  /// fails the test when the build fails.
  std::string Bytes(const std::string &source);

private:
  struct Child {
    int pid = -1;
    std::chrono::steady_clock::time_point start;
    std::string outputPath;
  };
  Child Start(const std::string &program, const std::vector<std::string> &args,
              bool searchPath, const std::string &outputPath);
  RunResult Wait(const Child &child, int timeoutSeconds);
  /// The runner's arguments that run the program with `args`.
  std::vector<std::string> RunnerCommand(const std::vector<std::string> &args) const;
  RunResult Spawn(const std::string &program, const std::vector<std::string> &args,
                  bool searchPath, int timeoutSeconds);
  /// Runs `program` directly or under the runner, as Run does.
  RunResult RunInstalled(const std::string &program, const std::vector<std::string> &args,
                         int timeoutSeconds);

  std::string m_Root;
  std::string m_Install;
  std::string m_Program;
  std::string m_Work;
  std::uint64_t m_FileSizeLimit = 0;
  std::uint64_t m_MemoryLimit = 0;
  bool m_CloseOutput = false;
};

/// Whether `program` can be found in PATH.
bool ProgramInPath(const std::string &program);

/// `text` `count` times over.
std::string Repeat(const std::string &text, std::size_t count);
/// Bytes from a list of values 0-255.
std::string B(std::initializer_list<int> bytes);
/// Bytes from two hex digits each ("01 ff 10"); blanks are ignored.
std::string Hex(const std::string &digits);
/// Bytes shown as hex, for failure messages.
std::string ShowHex(const std::string &bytes);

/// The seven report lines with a placeholder for the time line, for
/// comparison with Normalized().
std::vector<std::string> Report(int instructions, int macrosDefined,
                                int macrosUsed, int labelsDefined,
                                int labelsUsed, int lines, int files, int size,
                                long long outputSize, int errors);
/// `lines` with the time of the "Total time" line replaced by "T".
std::vector<std::string> Normalized(const std::vector<std::string> &lines);
/// The lines before the report (errors and other messages).
std::vector<std::string> Messages(const std::vector<std::string> &lines);

/// Lines for EXPECT_EQ comparisons.
using Lines = std::vector<std::string>;

#endif // FERROX_TESTS_HARNESS_H
