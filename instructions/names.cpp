//===- instructions/names.cpp - Names a statement can use -----------------===//

#include "instructions/names.h"

#include "assembler/values.h"
#include "util/text.h"

namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// These lists follow the command table of assembler/statement.cpp, the
// directive table of preprocessor/preprocessor.cpp and the macros that
// preprocessor/macros.cpp predefines.
constexpr std::string_view kCommands[] = {
    "namespace", "end",      "offset",  "offsetdelta", "includebin",
    "bootnone",  "bootall",  "bootend", "boot",        "reserve"};
constexpr std::string_view kDirectives[] = {"ifdef", "ifndef",  "else",  "endif",
                                            "error", "include", "define"};
constexpr std::string_view kMacros[] = {"__FILE__", "__LINE__", "__DATE__",
                                        "__TIME__", "__VERSION__"};

/// A typed family ("data", "array", "skip") followed by a kind suffix.
bool IsFamilyCommand(std::string_view name) {
  for (std::string_view family : {"data", "array", "skip"}) {
    if (name.size() != family.size() + 2 ||
        !EqualsNoCase(name.substr(0, family.size()), family))
      continue;
    std::int32_t kind = FindValueKind(name.substr(family.size()));
    if (kind != 0 && kind != KIND_X)
      return true;
  }
  return false;
}

} // namespace

bool IsIdentifierName(std::string_view name) {
  if (name.empty() || !IsLetter(name[0]))
    return false;
  for (char c : name)
    if (!IsLetter(c) && !IsDigit(c))
      return false;
  return true;
}

NameOwner OwnerOfWord(std::string_view name) {
  for (std::string_view directive : kDirectives)
    if (EqualsNoCase(name, directive))
      return NameOwner::Directive;
  for (std::string_view macro : kMacros)
    if (EqualsNoCase(name, macro))
      return NameOwner::Macro;
  for (std::string_view command : kCommands)
    if (EqualsNoCase(name, command))
      return NameOwner::Command;
  return IsFamilyCommand(name) ? NameOwner::Command : NameOwner::None;
}
