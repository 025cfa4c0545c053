//===- tools/list/options.h - The command line of ferrox-list ---*- C++ -*-===//
//
// ferrox-list SOURCE [DESTINATION] [-nodisk] [-nobootinfo] [--listing FILE]
//             [--map FILE] [--symbols FILE] [--deps FILE] [--target NAME]
//
// Long options follow GNU conventions (--name VALUE or --name=VALUE, "--"
// ends the options); ferrox's own switches keep their single dash and match
// in any letter case.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LIST_OPTIONS_H
#define FERROX_TOOLS_LIST_OPTIONS_H

#include <string>
#include <vector>

/// What the command line asks for.
struct CListOptions {
  enum class Action { Build, Help, Version };
  Action action = Action::Build;
  std::string source;
  std::string destination; ///< empty: the image stays in memory
  bool noDisk = false;
  bool noBootInfo = false;
  /// Output files; empty when not asked for, "-" for standard output.
  std::string listing;
  std::string map;
  std::string symbols;
  std::string deps;
  /// The target of the dependency rule: --target, else the destination.
  std::string target;
};

/// Reads `args` (without the program name). False with `*error` set for a
/// usage error.
bool ParseListOptions(const std::vector<std::string> &args, CListOptions &options,
                      std::string *error);

/// The text of --help.
std::string ListUsage();

#endif // FERROX_TOOLS_LIST_OPTIONS_H
