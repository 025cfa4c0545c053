//===- tests/harness.cpp - Running the built program like a user ----------===//

#include "tests/harness.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

const char *const kTestInstructions =
    "nop 0 0;\n"
    "halt 0 1 [];\n"
    "push 0 2 [4i];\n"
    "pushb 1 3 [1u];\n"
    "add 1 5 [4i 4i];\n"
    "mov 2 6 [2u 8f];\n"
    "jmp 3 7 [x];\n"
    "put 0 8 [0s 4f 8i];\n";

namespace {

std::string ReadAll(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteAll(const std::string &path, const std::string &content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

/// Splits at LF; a Windows program's CR before each LF is dropped.
std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      if (WindowsTarget() && !line.empty() && line.back() == '\r')
        line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty())
    lines.push_back(line);
  return lines;
}

/// A Windows program's text output with each CR LF turned back into LF, so
/// one expected text serves both targets.
std::string TextAsWritten(std::string text) {
  if (!WindowsTarget())
    return text;
  std::string lf;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n')
      lf += text[i];
  return lf;
}

std::string EnvironmentOr(const char *name, const std::string &fallback) {
  const char *value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

/// The program under test.
const std::string &ProgramUnderTest() {
  static const std::string binary =
      fs::absolute(EnvironmentOr("FERROX_E2E_BINARY", FERROX_BINARY)).string();
  return binary;
}

/// The program that runs it, split at blanks; empty to run it directly.
const std::vector<std::string> &Runner() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> result;
    std::istringstream in(EnvironmentOr("FERROX_E2E_RUNNER", ""));
    for (std::string word; in >> word;)
      result.push_back(word);
    return result;
  }();
  return words;
}

/// A companion program built beside the program under test: for a
/// Windows program the one of the same folder, else the one built here.
std::string CompanionBinary(const std::string &name) {
  fs::path binary = ProgramUnderTest();
  if (binary.extension() == ".exe")
    return (binary.parent_path() / (name + ".exe")).string();
  return (fs::path(FERROX_BINARY).parent_path() / name).string();
}

} // namespace

bool WindowsTarget() {
  static const bool windows = [] {
    const std::string &binary = ProgramUnderTest();
    return binary.size() >= 4 && binary.compare(binary.size() - 4, 4, ".exe") == 0;
  }();
  return windows;
}

std::string Native(const std::string &path) {
  if (!WindowsTarget())
    return path;
  std::string result;
  if (!path.empty() && path[0] == '/')
    result = "Z:";
  result += path;
  for (char &c : result)
    if (c == '/')
      c = '\\';
  return result;
}

void Ferrox::SetUp() {
  // Beside the program, so it can be hard-linked, not copied.
  fs::path binary = ProgramUnderTest();
  fs::path base = binary.parent_path() / "e2e-tmp";
  fs::create_directories(base);
  std::string pattern = (base / "run-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  m_Root = pattern + "/";
  m_Install = m_Root + "bin/";
  m_Work = m_Root + "work/";
  fs::create_directories(m_Install);
  fs::create_directories(m_Work);
  std::error_code error;
  m_Program = m_Install + binary.filename().string();
  fs::create_hard_link(binary, m_Program, error);
  if (error)
    fs::copy_file(binary, m_Program);
  Install("std.tvh", "");
  Install("Instructions.okl", kTestInstructions);
  Install("Directories.okl", "");
}

void Ferrox::TearDown() {
  std::error_code error;
  // Read-only folders made by a test must not stop the clean-up.
  for (auto &entry : fs::recursive_directory_iterator(m_Root, error))
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add,
                    error);
  fs::remove_all(m_Root, error);
}

void Ferrox::Install(const std::string &name, const std::string &content) {
  WriteAll(m_Install + name, content);
}

void Ferrox::InstallShippedData() {
  for (const char *name : {"std.tvh", "Instructions.okl", "Directories.okl"})
    Install(name, ReadAll(std::string(FERROX_SOURCE_DIR) + "/data/" + name));
}

void Ferrox::RemoveInstalled(const std::string &name) {
  fs::remove(m_Install + name);
}

void Ferrox::Write(const std::string &name, const std::string &content) {
  WriteAll(m_Work + name, content);
}

std::string Ferrox::Read(const std::string &name) const {
  return ReadAll(m_Work + name);
}

bool Ferrox::Exists(const std::string &name) const {
  return fs::exists(m_Work + name);
}

RunResult Ferrox::Run(const std::vector<std::string> &args, int timeoutSeconds) {
  return RunInstalled(m_Program, args, timeoutSeconds);
}

RunResult Ferrox::RunProgram(const std::string &name, const std::vector<std::string> &args,
                             int timeoutSeconds) {
  fs::path binary = CompanionBinary(name);
  std::string installed = m_Install + binary.filename().string();
  if (!fs::exists(installed)) {
    std::error_code error;
    fs::create_hard_link(binary, installed, error);
    if (error)
      fs::copy_file(binary, installed);
  }
  return RunInstalled(installed, args, timeoutSeconds);
}

RunResult Ferrox::RunInstalled(const std::string &program,
                               const std::vector<std::string> &args, int timeoutSeconds) {
  if (Runner().empty())
    return Spawn(program, args, false, timeoutSeconds);
  std::vector<std::string> command(Runner().begin() + 1, Runner().end());
  command.push_back(program);
  command.insert(command.end(), args.begin(), args.end());
  RunResult result = Spawn(Runner()[0], command, true, timeoutSeconds);
  // ferrox exits with 0, 254 or 255 only. Under heavy load wine now and then
  // fails to start a program and exits with 1 without output: run it again.
  // The companions exit with 1 for their own errors, which they explain.
  for (int retry = 0; retry < 2 && result.status == 1 && result.output.empty() &&
                      result.errors.find("ferrox-") == std::string::npos;
       ++retry)
    result = Spawn(Runner()[0], command, true, timeoutSeconds);
  return result;
}

bool Ferrox::HasProgram(const std::string &name) {
  return fs::exists(CompanionBinary(name));
}

int Ferrox::RunOther(const std::vector<std::string> &args, int timeoutSeconds) {
  if (args.empty())
    return -1;
  std::vector<std::string> rest(args.begin() + 1, args.end());
  return Spawn(args[0], rest, true, timeoutSeconds).status;
}

bool ProgramInPath(const std::string &program) {
  const char *path = std::getenv("PATH");
  if (path == nullptr)
    return false;
  std::string list = path;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos)
      end = list.size();
    std::string candidate = list.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

Ferrox::Child Ferrox::Start(const std::string &program,
                            const std::vector<std::string> &args, bool searchPath,
                            const std::string &outputPath) {
  Child started;
  started.outputPath = outputPath;
  started.start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    if (m_CloseOutput) {
      close(1);
    } else {
      int fd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 1) < 0)
        _exit(127);
    }
    int errors = open((outputPath + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errors < 0 || dup2(errors, 2) < 0)
      _exit(127);
    if (chdir(m_Work.c_str()) != 0)
      _exit(127);
    if (m_FileSizeLimit != 0) {
      // ferrox ignores SIGXFSZ itself, so that a write past the limit fails
      // instead of ending it; a Windows program run by wine knows no such
      // signal, and wine's own process must ignore it.
      if (WindowsTarget())
        signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit = {static_cast<rlim_t>(m_FileSizeLimit),
                             static_cast<rlim_t>(m_FileSizeLimit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        _exit(127);
    }
    if (m_MemoryLimit != 0) {
      struct rlimit limit = {static_cast<rlim_t>(m_MemoryLimit),
                             static_cast<rlim_t>(m_MemoryLimit)};
      if (setrlimit(RLIMIT_AS, &limit) != 0)
        _exit(127);
    }
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args)
      argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    if (searchPath)
      execvp(program.c_str(), argv.data());
    else
      execv(program.c_str(), argv.data());
    _exit(127);
  }
  started.pid = child;
  return started;
}

RunResult Ferrox::Wait(const Child &child, int timeoutSeconds) {
  RunResult result;
  auto deadline = child.start + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  struct rusage usage = {};
  for (;;) {
    pid_t done = wait4(child.pid, &status, WNOHANG, &usage);
    if (done == child.pid)
      break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child.pid, SIGKILL);
      wait4(child.pid, &status, 0, &usage);
      result.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  result.seconds = std::chrono::duration<double>(
                       std::chrono::steady_clock::now() - child.start)
                       .count();
  result.peakMemoryKb = usage.ru_maxrss;
  result.status = WIFEXITED(status) && !result.timedOut ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) && !result.timedOut ? WTERMSIG(status) : 0;
  result.output = TextAsWritten(ReadAll(child.outputPath));
  result.lines = SplitLines(result.output);
  result.errors = ReadAll(child.outputPath + ".err");
  result.errorLines = SplitLines(result.errors);
  return result;
}

RunResult Ferrox::Spawn(const std::string &program,
                        const std::vector<std::string> &args, bool searchPath,
                        int timeoutSeconds) {
  return Wait(Start(program, args, searchPath, m_Root + "stdout.txt"), timeoutSeconds);
}

RunResult Ferrox::RunAndSignal(const std::vector<std::string> &args, int signal,
                               const std::string &prefix) {
  Child child = Start(m_Program, args, false, m_Root + "stdout.txt");
  auto deadline = child.start + std::chrono::seconds(60);
  bool seen = false;
  while (!seen && std::chrono::steady_clock::now() < deadline) {
    for (const auto &entry : fs::directory_iterator(m_Work))
      seen = seen || entry.path().filename().string().rfind(prefix, 0) == 0;
    if (!seen) {
      // Stop looking once the program has ended on its own.
      int status;
      if (waitpid(child.pid, &status, WNOHANG | WNOWAIT) == child.pid)
        break;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  EXPECT_TRUE(seen) << "no file starting with " << prefix << " appeared";
  kill(child.pid, signal);
  return Wait(child, 60);
}

std::vector<std::string> Ferrox::RunnerCommand(const std::vector<std::string> &args) const {
  std::vector<std::string> command(Runner().begin() + 1, Runner().end());
  command.push_back(m_Program);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

std::vector<RunResult> Ferrox::RunTogether(const std::vector<std::vector<std::string>> &runs) {
  std::vector<Child> children;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    std::string output = m_Root + "stdout-" + std::to_string(i) + ".txt";
    children.push_back(Runner().empty()
                           ? Start(m_Program, runs[i], false, output)
                           : Start(Runner()[0], RunnerCommand(runs[i]), true, output));
  }
  std::vector<RunResult> results;
  for (const Child &child : children)
    results.push_back(Wait(child, 120));
  return results;
}

RunResult Ferrox::Assemble(const std::string &source,
                           const std::vector<std::string> &switches) {
  Write("prog.src", source);
  std::vector<std::string> args = {"prog.src", "out.img"};
  args.insert(args.end(), switches.begin(), switches.end());
  return Run(args);
}

std::string Ferrox::Bytes(const std::string &source) {
  RunResult result = Assemble(source, {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0) << result.output;
  if (result.status != 0)
    return "<failed>";
  return Read("out.img");
}

std::string Repeat(const std::string &text, std::size_t count) {
  std::string result;
  result.reserve(text.size() * count);
  for (std::size_t i = 0; i < count; ++i)
    result += text;
  return result;
}

std::string B(std::initializer_list<int> bytes) {
  std::string result;
  for (int byte : bytes)
    result += static_cast<char>(byte);
  return result;
}

std::string Hex(const std::string &digits) {
  std::string result;
  std::string pair;
  for (char c : digits) {
    if (c == ' ' || c == '\n')
      continue;
    pair += c;
    if (pair.size() == 2) {
      result += static_cast<char>(std::stoi(pair, nullptr, 16));
      pair.clear();
    }
  }
  return result;
}

std::string ShowHex(const std::string &bytes) {
  std::string result;
  char buffer[4];
  for (unsigned char c : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02x ", c);
    result += buffer;
  }
  return result;
}

std::vector<std::string> Report(int instructions, int macrosDefined,
                                int macrosUsed, int labelsDefined,
                                int labelsUsed, int lines, int files, int size,
                                long long outputSize, int errors) {
  auto sizeText = [](long long n) {
    if (n >= 1073741824LL)
      return std::to_string(n / 1073741824LL) + "GB";
    if (n >= 1048576)
      return std::to_string(n / 1048576) + "MB";
    if (n < 1024)
      return std::to_string(n) + "B";
    return std::to_string(n / 1024) + "kB";
  };
  std::vector<std::string> report = {
      "Instructions : " + std::to_string(instructions),
      "Macros       : defined - " + std::to_string(macrosDefined) +
          ", used - " + std::to_string(macrosUsed),
      "Labels       : defined - " + std::to_string(labelsDefined) +
          ", used - " + std::to_string(labelsUsed),
      "Source       : lines - " + std::to_string(lines) + ", files - " +
          std::to_string(files) + ", size - " + std::to_string(size) + " (" +
          sizeText(size) + ")"};
  if (outputSize >= 0)
    report.push_back("Output size  : " + std::to_string(outputSize) + " (" +
                     sizeText(outputSize) + ")");
  report.push_back("Total time   : T");
  report.push_back("Errors       : " + std::to_string(errors) + " (" +
                   (errors != 0 ? "FAILURE" : "SUCCESS") + "!)");
  return report;
}

std::vector<std::string> Normalized(const std::vector<std::string> &lines) {
  std::vector<std::string> result;
  const std::string prefix = "Total time   : ";
  for (const std::string &line : lines) {
    if (line.rfind(prefix, 0) == 0 && line.size() > prefix.size() + 1 &&
        line.back() == 's')
      result.push_back(prefix + "T");
    else
      result.push_back(line);
  }
  return result;
}

std::vector<std::string> Messages(const std::vector<std::string> &lines) {
  std::vector<std::string> result;
  for (const std::string &line : lines) {
    if (line.rfind("Instructions : ", 0) == 0)
      break;
    result.push_back(line);
  }
  return result;
}
