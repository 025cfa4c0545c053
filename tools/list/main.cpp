//===- tools/list/main.cpp - ferrox-list: a build and its listing, map, symbols and rule ===//

#include "driver/build.h"
#include "tools/common/command_line.h"
#include "tools/list/collector.h"
#include "tools/list/deps.h"
#include "tools/list/listing.h"
#include "tools/list/map.h"
#include "tools/list/options.h"
#include "tools/list/output_file.h"
#include "util/files.h"
#include "util/platform.h"
#include "util/random.h"

#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kProgram = "ferrox-list";
constexpr int kFailure = 255;

int UsageError(const std::string &message) { return cli::UsageError(kProgram, message); }

void Complain(const std::string &message) { cli::Complain(kProgram, message); }

/// The outputs asked for, in the order they are written.
struct COutput {
  const char *option;
  std::string path;
};

/// Two outputs, or an output and the image, that name one file would
/// overwrite each other.
bool CheckDistinct(const CListOptions &options, const std::vector<COutput> &outputs,
                   std::string *error) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    if (!options.destination.empty() && SameOutput(outputs[i].path, options.destination)) {
      *error = std::string(outputs[i].option) + " names the destination image";
      return false;
    }
    if (SameOutput(outputs[i].path, options.source)) {
      *error = std::string(outputs[i].option) + " names the source file";
      return false;
    }
    for (std::size_t j = 0; j < i; ++j)
      if (SameOutput(outputs[i].path, outputs[j].path)) {
        *error = std::string(outputs[i].option) + " and " + outputs[j].option +
                 " name the same file";
        return false;
      }
  }
  return true;
}

int Run(const CListOptions &options) {
  std::vector<COutput> outputs;
  for (const COutput &output : {COutput{"--listing", options.listing},
                                COutput{"--map", options.map},
                                COutput{"--symbols", options.symbols},
                                COutput{"--deps", options.deps}})
    if (!output.path.empty())
      outputs.push_back(output);
  std::string error;
  if (!CheckDistinct(options, outputs, &error))
    return UsageError(error);

  CBuildRecord build;
  int status = RunRecordedBuild(options.source, options.destination, options.noDisk,
                                options.noBootInfo, build);
  bool ok = true;
  auto write = [&](const std::string &path, const std::string &content) {
    std::string why;
    if (!WriteOutputFile(path, content, &why)) {
      Complain(why);
      ok = false;
    }
  };
  if (!options.listing.empty()) {
    CSourceTexts texts(build);
    write(options.listing,
          RenderListing(build, [&](std::uint32_t fileId, std::int32_t line) {
            return texts.Line(fileId, line);
          }));
  }
  if (build.succeeded) {
    if (!options.map.empty())
      write(options.map, RenderMap(build));
    if (!options.symbols.empty())
      write(options.symbols, RenderSymbols(build));
    if (!options.deps.empty()) {
      std::vector<std::string> files;
      for (const CReadFile &file : FilesRead())
        files.push_back(file.path);
      std::string rule;
      if (RenderDeps(options.target, files, rule, &error))
        write(options.deps, rule);
      else
        Complain(options.deps + ": " + error), ok = false;
    }
  }
  return ok ? status : kFailure;
}

} // namespace

int main(int argc, char **argv) {
  platform::PrepareProcess();
  g_StartTick = platform::TickCount();
  // Anonymous namespaces get made-up names from this sequence: a fixed
  // seed gives the same names, and so the same map, at every run.
  SeedRandom(1);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  CListOptions options;
  std::string error;
  if (!ParseListOptions(args, options, &error))
    return UsageError(error);
  if (options.action == CListOptions::Action::Help) {
    std::fputs(ListUsage().c_str(), stdout);
    return 0;
  }
  if (options.action == CListOptions::Action::Version) {
    cli::PrintVersion(kProgram);
    return 0;
  }
  try {
    return Run(options);
  } catch (const std::bad_alloc &) {
  } catch (const std::length_error &) {
  }
  Complain("not enough memory for the outputs");
  return kFailure;
}
