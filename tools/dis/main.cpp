//===- tools/dis/main.cpp - ferrox-dis, the disassembler ------------------===//
//
// ferrox-dis IMAGE [--map FILE] [--instructions FILE] [-nodisk] [-nobootinfo]
//            [-o FILE]
//
// Reads a Tavrune disk image and writes ferrox source that assembles back to
// the same bytes, decoding instructions with the installed instruction set.
//
//===----------------------------------------------------------------------===//

#include "driver/build.h"
#include "instructions/instruction_file.h"
#include "tools/dis/debug_map.h"
#include "tools/dis/listing.h"
#include "tools/common/command_line.h"
#include "tools/dis/source_writer.h"
#include "util/files.h"
#include "util/platform.h"
#include "util/text.h"

#include <cstdio>
#include <fstream>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kProgram = "ferrox-dis";
constexpr std::string_view kDiskHeader = "Tavrune Disk 10a";

struct COptions {
  std::string image;
  std::string map;
  std::string instructions;
  std::string output = "-";
  bool noDisk = false;
  bool noBootInfo = false;
};

using cli::Print;

void PrintHelp() {
  Print(stdout,
        "Usage: ferrox-dis IMAGE [--map FILE] [--instructions FILE] [-nodisk]\n"
        "                  [-nobootinfo] [-o FILE]\n"
        "Write ferrox source that assembles back to the Tavrune disk image IMAGE.\n"
        "\n"
        "  --map FILE           decode with the debug map of the build that wrote\n"
        "                       IMAGE: code, data and labels as they were\n"
        "  --instructions FILE  the instruction set (default: Instructions.okl\n"
        "                       beside the program)\n"
        "  -nodisk              IMAGE has no 16-byte disk header\n"
        "  -nobootinfo          IMAGE has no 4-byte boot information field\n"
        "  -o FILE              write the source to FILE (default and \"-\":\n"
        "                       standard output)\n"
        "  --help               show this help and exit\n"
        "  --version            show the version and exit\n"
        "\n"
        "Exit status: 0 success, 1 an error (message on standard error), 2 a\n"
        "usage error.\n");
}

int UsageError(const std::string &message) { return cli::UsageError(kProgram, message); }

int Fail(const std::string &message) {
  cli::Complain(kProgram, message);
  return 1;
}

/// Reads the command line into `options`; returns an exit status to end
/// with, or -1 to go on.
int ParseArguments(int argc, char **argv, COptions &options) {
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help") {
      PrintHelp();
      return 0;
    } else if (arg == "--version") {
      cli::PrintVersion(kProgram);
      return 0;
    } else if (EqualsNoCase(arg, "-nodisk")) {
      options.noDisk = true;
    } else if (EqualsNoCase(arg, "-nobootinfo")) {
      options.noBootInfo = true;
    } else {
      std::string *value = nullptr;
      std::string name = arg.substr(0, arg.find('='));
      if (name == "--map")
        value = &options.map;
      else if (name == "--instructions")
        value = &options.instructions;
      else if (arg.rfind("-o", 0) == 0 && arg.rfind("--", 0) != 0)
        value = &options.output, name = "-o";
      if (value == nullptr)
        return UsageError("unrecognized option '" + arg + "'");
      if (name == "-o" && arg.size() > 2)
        *value = arg.substr(2);
      else if (arg.size() > name.size())
        *value = arg.substr(name.size() + 1);
      else if (i + 1 < argc)
        *value = argv[++i];
      else
        return UsageError("option '" + name + "' requires an argument");
    }
  }
  if (operands.empty())
    return UsageError("missing image operand");
  if (operands.size() > 1)
    return UsageError("extra operand '" + operands[1] + "'");
  options.image = operands[0];
  return -1;
}

std::string PlaceText(const CDefinitionPlace &place) {
  return place.line > 0 ? place.file + ":" + std::to_string(place.line) : place.file;
}

int Run(const COptions &options) {
  std::string instructionPath =
      options.instructions.empty() ? InstalledInstructionFile() : options.instructions;
  CInstructionFile instructions = LoadInstructionFile(instructionPath);
  if (!instructions.loaded)
    return Fail(PlaceText(instructions.failurePlace) + ": " + instructions.failure);
  CInstructionDecoder decoder(instructions.Instructions());

  std::string image;
  if (!ReadWholeFile(options.image, image))
    return Fail("cannot read " + options.image);

  std::optional<CDebugMap> map;
  CListing listing;
  listing.header = !options.noDisk;
  listing.bootInfo = !options.noBootInfo;
  if (!options.map.empty()) {
    std::string text;
    std::string error;
    map.emplace();
    if (!ReadWholeFile(options.map, text))
      return Fail("cannot read " + options.map);
    if (!ParseDebugMap(text, *map, error))
      return Fail(options.map + ": " + error);
    if (options.noDisk && map->image.header)
      return Fail(options.map + ": the map gives the image a disk header, but -nodisk was given");
    if (options.noBootInfo && map->image.bootInfo)
      return Fail(options.map +
                  ": the map gives the image a boot information field, but -nobootinfo was given");
    listing.header = map->image.header;
    listing.bootInfo = map->image.bootInfo;
  }

  std::int64_t start = (listing.header ? 16 : 0) + (listing.bootInfo ? 4 : 0);
  if (listing.header && std::string_view(image).substr(0, 16) != kDiskHeader)
    return Fail(options.image + " has no disk header (an image without one needs -nodisk)");
  if (static_cast<std::int64_t>(image.size()) < start)
    return Fail(options.image +
                " is too short for a boot information field (an image without one needs "
                "-nobootinfo)");
  if (listing.bootInfo) {
    std::size_t at = listing.header ? 16 : 0;
    listing.boot = 0;
    for (int i = 3; i >= 0; --i)
      listing.boot = listing.boot * 256 + static_cast<unsigned char>(image[at + static_cast<std::size_t>(i)]);
  }
  listing.start = start;
  std::string_view bytes = std::string_view(image).substr(static_cast<std::size_t>(start));

  if (map) {
    std::string problem;
    if (map->image.size != static_cast<std::int64_t>(image.size()))
      problem = "it gives the image " + std::to_string(map->image.size) + " bytes, not " +
                std::to_string(image.size());
    else if (map->image.start != start)
      problem = "its first assembled byte is at " + std::to_string(map->image.start) +
                ", not " + std::to_string(start);
    else if (listing.bootInfo && map->image.boot != listing.boot)
      problem = "its boot information differs from the image's";
    if (problem.empty() &&
        !ListWithMap(bytes, start, *map, instructions, decoder, listing, problem))
      problem = "it does not fit the image: " + problem;
    if (!problem.empty())
      return Fail(options.map + " is not the map of " + options.image + ": " + problem);
  } else {
    SweepImage(bytes, start, decoder, listing);
  }
  for (const std::string &warning : listing.warnings)
    Print(stderr, std::string(kProgram) + ": warning: " + warning + "\n");

  CSourceOptions sourceOptions;
  sourceOptions.title = std::string(kProgram) + " " + std::string(VERSION) + ": " + options.image;
  if (map)
    sourceOptions.title += " with the debug map " + options.map;
  sourceOptions.map = map ? &*map : nullptr;
  std::string source = WriteSource(listing, sourceOptions);

  if (options.output == "-") {
    Print(stdout, source);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
      return Fail("cannot write to standard output");
    return 0;
  }
  std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
  out << source;
  out.close();
  if (!out)
    return Fail("cannot write " + options.output);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  platform::PrepareProcess();
  COptions options;
  int status = ParseArguments(argc, argv, options);
  if (status >= 0)
    return status;
  try {
    return Run(options);
  } catch (const std::bad_alloc &) {
    return Fail("not enough memory");
  }
}
