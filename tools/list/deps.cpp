//===- tools/list/deps.cpp - The make rule of a build ---------------------===//

#include "tools/list/deps.h"

#include <set>

bool EscapeForMake(const std::string &name, std::string &escaped) {
  escaped.clear();
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    switch (c) {
    case '\n':
    case '\r':
    case ';':
    case ':':
    case '=':
      return false;
    case ' ':
    case '\t':
      // The backslashes before a blank would escape it; double them.
      for (std::size_t j = i; j > 0 && name[j - 1] == '\\'; --j)
        escaped += '\\';
      escaped += '\\';
      break;
    case '#':
      escaped += '\\';
      break;
    case '$':
      escaped += '$';
      break;
    default:
      break;
    }
    escaped += c;
  }
  // A backslash at the end would join the next name or line.
  if (!escaped.empty() && escaped.back() == '\\')
    return false;
  return !escaped.empty();
}

bool RenderDeps(const std::string &target, const std::vector<std::string> &prerequisites,
                std::string &out, std::string *error) {
  std::string escaped;
  if (!EscapeForMake(target, escaped)) {
    *error = "the name \"" + target + "\" cannot be written in a make rule";
    return false;
  }
  out = escaped + ":";
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const std::string &name : prerequisites) {
    if (!seen.insert(name).second)
      continue;
    if (!EscapeForMake(name, escaped)) {
      *error = "the name \"" + name + "\" cannot be written in a make rule";
      return false;
    }
    names.push_back(escaped);
    out += " \\\n  " + escaped;
  }
  out += "\n";
  for (const std::string &name : names)
    out += "\n" + name + ":\n";
  return true;
}
