//===- instructions/names.h - Names a statement can use ---------*- C++ -*-===//
//
// An instruction is used by writing its name as a statement's word, so a
// name works only when the lexer reads it as one identifier and nothing
// takes that word first: the preprocessor's directives and predefined
// macros, then the assembler's commands. Tools check definitions and
// generated labels with these rules.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_INSTRUCTIONS_NAMES_H
#define FERROX_INSTRUCTIONS_NAMES_H

#include <cstdint>
#include <string_view>

/// Whether the lexer reads `name` as exactly one identifier token: a letter
/// or "_", then letters, digits and "_".
bool IsIdentifierName(std::string_view name);

/// What takes a statement word before the instruction table is consulted.
enum class NameOwner {
  None,
  Command,   ///< a command keyword: "reserve", "data4i", "end" ...
  Directive, ///< a preprocessor directive at the start of a line: "ifdef" ...
  Macro,     ///< a predefined macro: "__FILE__" ...
};

/// The owner of the word `name` in any letter case.
NameOwner OwnerOfWord(std::string_view name);

/// Whether `word`, in any letter case, is a directive name.
bool IsDirectiveWord(std::string_view word);
/// Whether `word`, in any letter case, is a command: a keyword, or a family
/// with a value kind's suffix, whose kind then goes to `kind`.
bool IsCommandWord(std::string_view word, std::int32_t *kind = nullptr);

#endif // FERROX_INSTRUCTIONS_NAMES_H
