//===- instructions/names.cpp - Names a statement can use -----------------===//

#include "instructions/names.h"

#include "assembler/statement.h"
#include "assembler/values.h"
#include "preprocessor/preprocessor.h"
#include "util/text.h"

#include <span>

namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/// The macros that preprocessor/macros.cpp predefines.
constexpr std::string_view kMacros[] = {"__FILE__", "__LINE__", "__DATE__",
                                        "__TIME__", "__VERSION__"};

bool Any(std::span<const std::string_view> names, std::string_view word) {
  for (std::string_view name : names)
    if (EqualsNoCase(word, name))
      return true;
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
  if (IsDirectiveWord(name))
    return NameOwner::Directive;
  if (Any(kMacros, name))
    return NameOwner::Macro;
  return IsCommandWord(name) ? NameOwner::Command : NameOwner::None;
}

bool IsDirectiveWord(std::string_view word) { return Any(DirectiveNames(), word); }

bool IsCommandWord(std::string_view word, std::int32_t *kind) {
  for (std::string_view family : CommandFamilies()) {
    if (word.size() != family.size() + 2 || !EqualsNoCase(word.substr(0, family.size()), family))
      continue;
    std::int32_t found = FindValueKind(word.substr(family.size()));
    if (found == 0 || found == KIND_X)
      continue;
    if (kind != nullptr)
      *kind = found;
    return true;
  }
  return Any(CommandKeywords(), word);
}
