//===- tools/isa/main.cpp - ferrox-isa, the instruction set tool ----------===//
//
// ferrox-isa check [FILE]   reports definitions that do not work as written
// ferrox-isa doc [FILE]     writes a Markdown reference of the instruction set
//
// FILE is read as the assembler reads Instructions.okl; by default it is the
// installed one, beside the program's real file.
//
//===----------------------------------------------------------------------===//

#include "driver/build.h"
#include "instructions/instruction_file.h"
#include "tools/common/command_line.h"
#include "tools/isa/check.h"
#include "tools/isa/doc.h"
#include "util/platform.h"

#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kProgram = "ferrox-isa";

using cli::Print;

void PrintHelp() {
  Print(stdout,
        "Usage: ferrox-isa COMMAND [FILE]\n"
        "Check or document a Tavrune instruction definition file.\n"
        "\n"
        "Commands:\n"
        "  check   report definitions that do not work as written: names taken\n"
        "          before, names no statement can use or that a command, directive\n"
        "          or macro takes first, head bytes an image cannot tell apart\n"
        "  doc     write a Markdown reference of the instruction set\n"
        "\n"
        "FILE defaults to the Instructions.okl installed beside the program.\n"
        "\n"
        "  --help     show this help and exit\n"
        "  --version  show the version and exit\n"
        "\n"
        "Exit status: 0 success (check: no warning), 1 warnings or an error,\n"
        "2 a usage error.\n");
}

int UsageError(const std::string &message) { return cli::UsageError(kProgram, message); }

int Run(const std::string &command, const std::string &path) {
  CInstructionFile file = LoadInstructionFile(path);
  if (!file.readable) {
    Print(stderr, std::string(kProgram) + ": " + path + ": " + file.failure + "\n");
    return 1;
  }
  if (command == "check") {
    std::vector<std::string> warnings = CheckInstructionFile(file);
    for (const std::string &warning : warnings)
      Print(stdout, warning + "\n");
    std::fflush(stdout);
    return warnings.empty() ? 0 : 1;
  }
  if (!file.loaded) {
    std::string place = file.failurePlace.file;
    if (file.failurePlace.line > 0)
      place += ":" + std::to_string(file.failurePlace.line);
    Print(stderr, std::string(kProgram) + ": " + place + ": " + file.failure + "\n");
    return 1;
  }
  Print(stdout, DocumentInstructionFile(file));
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  platform::PrepareProcess();
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help") {
      PrintHelp();
      return 0;
    } else if (arg == "--version") {
      cli::PrintVersion(kProgram);
      return 0;
    } else {
      return UsageError("unrecognized option '" + arg + "'");
    }
  }
  if (operands.empty())
    return UsageError("missing command");
  if (operands[0] != "check" && operands[0] != "doc")
    return UsageError("unknown command '" + operands[0] + "'");
  if (operands.size() > 2)
    return UsageError("extra operand '" + operands[2] + "'");
  try {
    return Run(operands[0], operands.size() == 2 ? operands[1] : InstalledInstructionFile());
  } catch (const std::bad_alloc &) {
    Print(stderr, std::string(kProgram) + ": not enough memory\n");
    return 1;
  }
}
