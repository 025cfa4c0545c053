//===- instructions/instruction_file.h - Definition files for tools -*- C++ -*-===//
//
// Reads an instruction definition file exactly as the assembler reads
// Instructions.okl, and keeps for tools what the assembler throws away:
// every definition in file order with the file and line it came from, the
// definitions dropped because an earlier one took their name, the comments
// beside each, and where and why a broken file stops.
//
// The markup reader edits its document in place (comments go, entities and
// inclusions are replaced) and records no origin for the bytes it reads.
// Places are recovered by comparing the bytes ahead of the reader's cursor
// with the tail of the text of each file read: a definition that starts in a
// file's own text gets its exact line. One whose text markup produced (an
// entity, a conditional) gets the line where that markup ends, with
// `fromMarkup` set, or line 0 when that end is not found within a few
// kilobytes.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_INSTRUCTIONS_INSTRUCTION_FILE_H
#define FERROX_INSTRUCTIONS_INSTRUCTION_FILE_H

#include "instructions/instruction_set.h"
#include "util/text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/// Where a definition, or the failure of a file, was found.
struct CDefinitionPlace {
  /// The file: the path given, or an included file's name resolved against
  /// the folder of that path.
  std::string file;
  std::int32_t line = 0;   ///< Counted from 1; 0 when not known.
  bool fromMarkup = false; ///< Produced by markup; `line` is where it ends.
};

/// One definition as read.
struct CDefinitionEntry {
  CInstruction instruction;
  CDefinitionPlace place;
  /// The text of the comments that begin on the definition's line, blanks
  /// collapsed, several joined by a space.
  std::string comment;
  /// For a definition dropped because its name (in any letter case) was
  /// taken: the index of the entry that keeps it; -1 for one in force.
  std::int32_t keptIndex = -1;
  bool Dropped() const { return keptIndex >= 0; }
};

/// A definition file as read.
struct CInstructionFile {
  std::string path;
  /// Every definition read, in file order, dropped ones included. When the
  /// file breaks the format, those read before the broken one.
  std::vector<CDefinitionEntry> entries;
  /// Whether the file could be read at all.
  bool readable = false;
  /// False when the file cannot be read or breaks the format: the
  /// assembler then stops with error 300.
  bool loaded = false;
  std::string failure;            ///< Why not.
  CDefinitionPlace failurePlace;  ///< Where; line 0 when the file is unreadable.

  /// The definitions in force, in file order.
  std::vector<CInstruction> Instructions() const;
  /// The definition in force named `name` in any letter case, or nullptr.
  const CInstruction *Find(std::string_view name) const;

  /// Entries in force by name.
  std::unordered_map<std::string, std::size_t, CNoCaseHash, CNoCaseEqual> index;
};

/// Reads the definition file at `path` as the assembler reads
/// Instructions.okl; "[#inc]" files are looked for in the folder of `path`
/// (for the installed file, the program's folder, as the assembler does).
CInstructionFile LoadInstructionFile(const std::string &path);

/// The installed definition file: Instructions.okl in the folder of the
/// running program's real file.
std::string InstalledInstructionFile();

#endif // FERROX_INSTRUCTIONS_INSTRUCTION_FILE_H
