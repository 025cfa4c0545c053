//===- tools/list/deps.h - The make rule of a build -------------*- C++ -*-===//
//
// The target depends on every file the build read, and every one of them
// has an empty rule of its own (as "gcc -MP" writes), so that make does not
// stop when one is deleted. Names are escaped as make and ninja's depfile
// reader both read them.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LIST_DEPS_H
#define FERROX_TOOLS_LIST_DEPS_H

#include <string>
#include <vector>

/// `name` escaped for a make rule: blanks and "#" get a backslash (and the
/// backslashes before a blank are doubled), "$" becomes "$$". False for a
/// name that no rule can hold: one with a line break, or with ";", ":" or
/// "=", which make would read as a recipe, a target or a variable.
bool EscapeForMake(const std::string &name, std::string &escaped);

/// The rule "target: prerequisites" and an empty rule for each
/// prerequisite. False with `*error` set when a name cannot be written.
bool RenderDeps(const std::string &target, const std::vector<std::string> &prerequisites,
                std::string &out, std::string *error);

#endif // FERROX_TOOLS_LIST_DEPS_H
