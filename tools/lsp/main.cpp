//===- tools/lsp/main.cpp - ferrox-lsp, the language server ---------------===//
//
// The event loop: reads the client's bytes from standard input whenever
// they come, answers every whole message, and runs the pending checks only
// while no input waits. Messages go out on standard output; nothing else
// is ever written there.
//
//===----------------------------------------------------------------------===//

#include "driver/build.h"
#include "tools/lsp/framing.h"
#include "tools/lsp/server.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

constexpr const char *kUsage =
    "usage: ferrox-lsp [--stdio] [--debounce MS]\n"
    "\n"
    "The language server of the ferrox assembler: speaks the Language Server\n"
    "Protocol on standard input and output. An editor starts it.\n"
    "\n"
    "  --stdio        talk over standard input and output (the only way)\n"
    "  --debounce MS  wait MS milliseconds after an edit before checking (default 10)\n"
    "  --version      print the version\n";

/// Writes all of `bytes` to standard output; false when it is gone.
bool WriteAll(const std::string &bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

/// Reads what standard input holds, waiting up to `timeout` ms (-1: as long
/// as it takes). 1 read, 0 nothing yet, -1 the end of the input.
int ReadInput(lsp::CMessageReader &reader, int timeout) {
  struct pollfd input = {STDIN_FILENO, POLLIN, 0};
  int ready = poll(&input, 1, timeout);
  if (ready < 0)
    return errno == EINTR ? 0 : -1;
  if (ready == 0)
    return 0;
  char buffer[1 << 16];
  ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
  if (got < 0)
    return errno == EINTR || errno == EAGAIN ? 0 : -1;
  if (got == 0)
    return -1;
  reader.Feed(std::string_view(buffer, static_cast<std::size_t>(got)));
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  int debounce = 10;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--stdio") {
      continue;
    } else if (argument == "--debounce" && i + 1 < argc) {
      debounce = std::atoi(argv[++i]);
    } else if (argument == "--version") {
      std::printf("ferrox-lsp (ferrox) %s\n", std::string(VERSION).c_str());
      return 0;
    } else {
      std::fputs(kUsage, argument == "--help" ? stdout : stderr);
      return argument == "--help" ? 0 : 2;
    }
  }
  std::signal(SIGPIPE, SIG_IGN);

  lsp::CMessageReader reader;
  bool broken = false;
  lsp::CServer server([&](const std::string &body) {
    if (!broken && !WriteAll(lsp::FrameMessage(body)))
      broken = true;
  });
  server.SetDebounce(std::chrono::milliseconds(std::max(debounce, 0)));
  bool ended = false;
  auto last = std::chrono::steady_clock::now();
  // Reads and queues what arrived; false at the end of the input.
  auto pump = [&](int timeout) {
    int got = ReadInput(reader, timeout);
    if (got < 0)
      ended = true;
    if (got > 0)
      last = std::chrono::steady_clock::now();
    while (auto frame = reader.Next())
      server.Enqueue(std::move(*frame));
    return got;
  };
  while (!server.Exited() && !broken) {
    server.Process();
    if (server.Exited() || broken || ended)
      break;
    int wait = server.MillisecondsToCheck();
    if (wait != 0) {
      pump(wait);
      continue;
    }
    // A check starts only when no input waits, nor the rest of a message
    // that is arriving.
    if (pump(0) != 0)
      continue;
    if (reader.Partial() && std::chrono::steady_clock::now() - last < std::chrono::milliseconds(200)) {
      pump(20);
      continue;
    }
    server.RunChecks([&]() {
      pump(0);
      return ended || server.ChangeQueued();
    });
  }
  return server.Exited() ? server.ExitCode() : 1;
}
