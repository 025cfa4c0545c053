//===- tools/list/options.cpp - The command line of ferrox-list -----------===//

#include "tools/list/options.h"

#include "util/text.h"

#include <string_view>

namespace {

/// The long options that take a value, and where it goes.
struct CValueOption {
  std::string_view name;
  std::string CListOptions::*field;
};
constexpr CValueOption kValueOptions[] = {
    {"--listing", &CListOptions::listing}, {"--map", &CListOptions::map},
    {"--symbols", &CListOptions::symbols}, {"--deps", &CListOptions::deps},
    {"--target", &CListOptions::target},
};

bool Fail(std::string *error, const std::string &message) {
  *error = message;
  return false;
}

} // namespace

bool ParseListOptions(const std::vector<std::string> &args, CListOptions &options,
                      std::string *error) {
  std::vector<std::string> paths;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help") {
      options.action = CListOptions::Action::Help;
      return true;
    }
    if (arg == "--version") {
      options.action = CListOptions::Action::Version;
      return true;
    }
    if (EqualsNoCase(arg, "-nodisk")) {
      options.noDisk = true;
      continue;
    }
    if (EqualsNoCase(arg, "-nobootinfo")) {
      options.noBootInfo = true;
      continue;
    }
    std::string_view name = arg;
    std::size_t equals = name.find('=');
    if (equals != std::string_view::npos)
      name = name.substr(0, equals);
    const CValueOption *option = nullptr;
    for (const CValueOption &candidate : kValueOptions)
      if (candidate.name == name)
        option = &candidate;
    if (option == nullptr)
      return Fail(error, "unrecognized option '" + arg + "'");
    std::string value;
    if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return Fail(error, "option '" + arg + "' requires an argument");
    }
    if (value.empty())
      return Fail(error, "option '" + std::string(name) + "' requires a non-empty argument");
    options.*(option->field) = value;
  }
  if (paths.empty())
    return Fail(error, "missing SOURCE");
  if (paths.size() > 2)
    return Fail(error, "unexpected argument '" + paths[2] + "'");
  options.source = paths[0];
  if (paths.size() == 2)
    options.destination = paths[1];
  if (options.target.empty())
    options.target = options.destination;
  if (!options.deps.empty() && options.target.empty())
    return Fail(error, "--deps needs a DESTINATION or --target NAME");
  return true;
}

std::string ListUsage() {
  return "Usage: ferrox-list SOURCE [DESTINATION] [-nodisk] [-nobootinfo] [OPTION]...\n"
         "Runs the build that 'ferrox SOURCE DESTINATION' runs, printing what ferrox\n"
         "prints, then writes the files asked for. Without DESTINATION the image is\n"
         "built in memory only.\n"
         "\n"
         "  -nodisk            leave out the 16-byte disk header\n"
         "  -nobootinfo        leave out the 4-byte boot information field\n"
         "  --listing FILE     an annotated listing of the build, also of a failed one\n"
         "  --map FILE         a JSON debug map: image, files, labels, spans of bytes\n"
         "  --symbols FILE     every label and its value, one a line\n"
         "  --deps FILE        a make rule naming every file the build read\n"
         "  --target NAME      the target of that rule (default: DESTINATION)\n"
         "  --help             print this help and exit\n"
         "  --version          print the version and exit\n"
         "\n"
         "FILE '-' is standard output. The map, the symbols and the rule are written\n"
         "only when the build succeeds. Exit status: 0 success, 255 failure, 2 usage\n"
         "error.\n";
}
