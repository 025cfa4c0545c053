//===- fuzz/lsp_fuzzer.cpp - The language server on arbitrary input ------===//
//
// The input is what a client writes to ferrox-lsp. It reaches the message
// reader in chunks whose sizes its first byte picks, every whole message
// goes to a new server, and the checks it asks for run after each chunk,
// as the event loop runs them between reads.
//
// Checks besides the sanitizers: every message the server writes is JSON,
// an exit ends the handling, and the working folder (which initialize may
// change) is restored for the next input.
//
//===----------------------------------------------------------------------===//

#include "fuzz/fuzz_support.h"

#include "tools/lsp/framing.h"
#include "tools/lsp/jsonrpc.h"
#include "tools/lsp/server.h"
#include "util/files.h"
#include "util/random.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

std::string g_Install;
std::string g_Work;

std::string Shipped(const std::string &relative) {
  std::string content = fuzz::ReadFile(std::string(FERROX_SOURCE_DIR) + "/" + relative);
  if (content.empty())
    fuzz::Fail("cannot read a shipped file from the source tree");
  return content;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  std::string root = fuzz::MakeScratchFolder("lsp");
  g_Install = root + "bin/";
  g_Work = root + "work/";
  std::filesystem::create_directories(g_Install);
  std::filesystem::create_directories(g_Work);
  for (const char *name : {"std.tvh", "Instructions.okl", "Directories.okl"})
    fuzz::WriteFile(g_Install + name, Shipped(std::string("data/") + name));
  // Files an opened buffer may include; the work folder stands for a
  // workspace.
  fuzz::WriteFile(g_Work + "console.tvh", Shipped("examples/console.tvh"));
  fuzz::WriteFile(g_Work + "hello.tvs", Shipped("examples/hello.tvs"));
  SetProgramDirectoryForTesting(g_Install);
  if (chdir(g_Work.c_str()) != 0)
    fuzz::Fail("cannot enter the work folder");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0)
    return 0;
  std::size_t chunk = 1 + data[0] % 97;
  std::string_view input(reinterpret_cast<const char *>(data) + 1, size - 1);
  SeedRandom(1);
  // A bound far below the real one, so that the fuzzer meets it.
  lsp::CMessageReader reader(4096);
  lsp::CServer server([](const std::string &body) {
    FUZZ_CHECK(!lsp::json::parse(body, nullptr, false).is_discarded());
  });
  server.SetDebounce(std::chrono::milliseconds(0));
  for (std::size_t at = 0; at < input.size() && !server.Exited(); at += chunk) {
    reader.Feed(input.substr(at, chunk));
    while (auto frame = reader.Next())
      server.Enqueue(std::move(*frame));
    server.Process();
    if (!server.Exited())
      server.RunChecks([] { return false; });
  }
  if (chdir(g_Work.c_str()) != 0)
    fuzz::Fail("cannot return to the work folder");
  return 0;
}
