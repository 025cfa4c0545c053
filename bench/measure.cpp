//===- bench/measure.cpp - Wall time and peak memory of one command -------===//
//
// Runs a command and writes one line to a result file: its wall time in
// seconds, its peak resident memory in kilobytes and how it ended ("exit N",
// "signal N" or "timeout"). The command keeps this program's standard input
// and output. The peak is the one the kernel reports for the child and the
// children it waited for, as GNU time's %M does, but the wall time has
// microsecond resolution instead of ten milliseconds.
//
//===----------------------------------------------------------------------===//

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/resource.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char *kUsage =
    "usage: ferrox_bench_time [--timeout SECONDS] RESULT_FILE COMMAND [ARGUMENTS...]\n";

volatile sig_atomic_t g_TimedOut = 0;
volatile pid_t g_Child = 0;

void OnAlarm(int) {
  g_TimedOut = 1;
  if (g_Child > 0)
    kill(g_Child, SIGKILL);
}

} // namespace

int main(int argc, char **argv) {
  int first = 1;
  unsigned timeout = 0;
  if (argc > 2 && std::strcmp(argv[1], "--timeout") == 0) {
    timeout = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    first = 3;
  }
  if (argc - first < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const char *resultPath = argv[first];
  char **command = argv + first + 1;

  // The result file is created first, so that a failure to write it is not
  // mistaken for a failure of the command.
  std::FILE *result = std::fopen(resultPath, "w");
  if (!result) {
    std::fprintf(stderr, "ferrox_bench_time: cannot create %s\n", resultPath);
    return 2;
  }

  struct sigaction action = {};
  action.sa_handler = OnAlarm;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: the alarm must interrupt nothing but end the child, and
  // wait4 is simply called again.
  sigaction(SIGALRM, &action, nullptr);

  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child < 0) {
    std::perror("ferrox_bench_time: fork");
    std::fclose(result);
    return 2;
  }
  if (child == 0) {
    execvp(command[0], command);
    std::fprintf(stderr, "ferrox_bench_time: cannot run %s: %s\n", command[0],
                 std::strerror(errno));
    _exit(127);
  }
  g_Child = child;
  if (timeout)
    alarm(timeout);

  int status = 0;
  struct rusage usage = {};
  pid_t ended;
  do
    ended = wait4(child, &status, 0, &usage);
  while (ended < 0 && errno == EINTR);
  auto stop = std::chrono::steady_clock::now();
  alarm(0);
  if (ended < 0) {
    std::perror("ferrox_bench_time: wait4");
    std::fclose(result);
    return 2;
  }

  double seconds = std::chrono::duration<double>(stop - start).count();
  int exitCode;
  if (g_TimedOut) {
    std::fprintf(result, "%.6f %ld timeout\n", seconds, usage.ru_maxrss);
    exitCode = 124;
  } else if (WIFSIGNALED(status)) {
    std::fprintf(result, "%.6f %ld signal %d\n", seconds, usage.ru_maxrss,
                 WTERMSIG(status));
    exitCode = 128 + WTERMSIG(status);
  } else {
    std::fprintf(result, "%.6f %ld exit %d\n", seconds, usage.ru_maxrss,
                 WEXITSTATUS(status));
    exitCode = WEXITSTATUS(status);
  }
  if (std::fclose(result) != 0) {
    std::fprintf(stderr, "ferrox_bench_time: cannot write %s\n", resultPath);
    return 2;
  }
  return exitCode;
}
