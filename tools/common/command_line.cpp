//===- tools/common/command_line.cpp - Tool messages -----------------===//

#include "tools/common/command_line.h"

#include "driver/build.h"

namespace cli {

void Print(std::FILE *stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

void PrintVersion(std::string_view program) {
  Print(stdout, std::string(program) + " (ferrox) " + std::string(VERSION) + "\n");
}

void Complain(std::string_view program, std::string_view message) {
  std::fflush(stdout);
  Print(stderr, std::string(program) + ": " + std::string(message) + "\n");
}

int UsageError(std::string_view program, std::string_view message) {
  Complain(program, message);
  Print(stderr, "Try '" + std::string(program) + " --help' for more information.\n");
  return kUsageError;
}

} // namespace cli
