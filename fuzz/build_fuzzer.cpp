//===- fuzz/build_fuzzer.cpp - A whole build on an arbitrary source -------===//
//
// Runs BuildProgram in this process, with all process-wide state reset
// between runs. The installation folder holds the shipped std.tvh, a
// Directories.okl naming one include folder and, for the plain target, the
// shipped instruction set.
//
// Built with FERROX_FUZZ_INSTRUCTIONS, the input also supplies
// "Instructions.okl": everything before the first "%%%%" is the instruction
// set, everything after it the source. Without the separator the whole input
// is the instruction set and the source is the shipped hello example.
//
// Checks besides the sanitizers: a build succeeds exactly when no error was
// reported, a failed build leaves no destination file and a successful one
// leaves it, and the "and more errors..." notice appears past seven errors.
//
//===----------------------------------------------------------------------===//

#include "fuzz/fuzz_support.h"

#include "driver/build.h"
#include "driver/diagnostics.h"
#include "util/files.h"
#include "util/random.h"

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/resource.h>

namespace {

/// Writes past this size fail, so a source that asks for gigabytes of
/// output (a legitimate program) cannot fill RAM with image files.
constexpr rlim_t kMaxOutputFile = rlim_t{64} << 20;

std::string g_Install;
std::string g_Work;
std::string g_Source;
std::string g_Destination;
std::string g_Output;
#ifdef FERROX_FUZZ_INSTRUCTIONS
std::string g_SampleSource;
constexpr std::string_view kSeparator = "%%%%";
#endif

std::string Shipped(const std::string &relative) {
  std::string content =
      fuzz::ReadFile(std::string(FERROX_SOURCE_DIR) + "/" + relative);
  if (content.empty())
    fuzz::Fail("cannot read a shipped file from the source tree");
  return content;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  std::string root = fuzz::MakeScratchFolder("build");
  g_Install = root + "bin/";
  g_Work = root + "work/";
  std::filesystem::create_directories(g_Install + "lib");
  std::filesystem::create_directories(g_Work);

  fuzz::WriteFile(g_Install + "std.tvh", Shipped("data/std.tvh"));
  fuzz::WriteFile(g_Install + "Instructions.okl",
                  Shipped("data/Instructions.okl"));
  // One include folder, so the directory search is used.
  fuzz::WriteFile(g_Install + "Directories.okl", "\"" + g_Install + "lib\"\n");
  fuzz::WriteFile(g_Install + "lib/lib.tvh",
                  "ifndef LIB_TVH\ndefine LIB_TVH\ndefine LIBVALUE 7\n"
                  "namespace lib\nentry: data4i &LIBVALUE\nend\nendif\n");
  // Files a source may include or includebin by name.
  fuzz::WriteFile(g_Work + "console.tvh", Shipped("examples/console.tvh"));
  fuzz::WriteFile(g_Work + "bytes.bin", std::string("\x00\x01\xfe\xff", 4));
  fuzz::WriteFile(g_Work + "empty.bin", "");
#ifdef FERROX_FUZZ_INSTRUCTIONS
  g_SampleSource = Shipped("examples/hello.tvs");
#endif

  SetProgramDirectoryForTesting(g_Install);
  CaptureOutputForTesting(&g_Output);
  g_Source = g_Work + "prog.src";
  g_Destination = g_Work + "out.img";

  struct rlimit limit = {kMaxOutputFile, kMaxOutputFile};
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, SIG_IGN);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  std::string_view input(reinterpret_cast<const char *>(data), size);
  std::string_view source = input;
#ifdef FERROX_FUZZ_INSTRUCTIONS
  std::string_view instructions = input;
  source = g_SampleSource;
  if (std::size_t at = input.find(kSeparator); at != std::string_view::npos) {
    instructions = input.substr(0, at);
    source = input.substr(at + kSeparator.size());
  }
  fuzz::WriteFile(g_Install + "Instructions.okl", instructions);
#endif
  fuzz::WriteFile(g_Source, source);
  fuzz::Remove(g_Destination);

  ResetAllState();
  SeedRandom(1);
  g_Output.clear();
  bool noDisk = (size & 1) != 0;
  bool noBootInfo = (size & 2) != 0;
  bool built = BuildProgram(g_Source, g_Destination, noDisk, noBootInfo);

  FUZZ_CHECK(built == (g_ErrorCount == 0));
  FUZZ_CHECK(built == fuzz::Exists(g_Destination));
  if (g_ErrorCount > 7)
    FUZZ_CHECK(g_Output.find("and more errors...\n") != std::string::npos);
  return 0;
}
