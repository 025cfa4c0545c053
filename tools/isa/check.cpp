//===- tools/isa/check.cpp - Problems of a definition file ----------------===//

#include "tools/isa/check.h"

#include "instructions/names.h"

#include <map>

namespace {

std::string Where(const CDefinitionPlace &place) {
  return place.line > 0 ? place.file + ":" + std::to_string(place.line) : place.file;
}

/// How a message names another definition: by line in the same file, by
/// file and line elsewhere.
std::string Other(const CDefinitionEntry &other, const CDefinitionPlace &from) {
  std::string text = "\"" + other.instruction.name + "\"";
  if (other.place.file != from.file)
    return text + " (" + Where(other.place) + ")";
  if (other.place.line > 0)
    return text + " (line " + std::to_string(other.place.line) + ")";
  return text;
}

} // namespace

std::vector<std::string> CheckInstructionFile(const CInstructionFile &file) {
  std::vector<std::string> warnings;
  std::map<unsigned, std::size_t> heads; // top bits * 256 + opcode -> entry
  for (std::size_t i = 0; i < file.entries.size(); ++i) {
    const CDefinitionEntry &entry = file.entries[i];
    const CInstruction &instruction = entry.instruction;
    std::string prefix = Where(entry.place) + ": warning: \"" + instruction.name + "\" ";
    if (entry.Dropped()) {
      warnings.push_back(prefix + "is ignored: " +
                         Other(file.entries[static_cast<std::size_t>(entry.keptIndex)],
                               entry.place) +
                         " has the name already");
      continue;
    }
    if (!IsIdentifierName(instruction.name)) {
      warnings.push_back(prefix + "cannot be used: a statement's word is an identifier "
                                  "(a letter or \"_\", then letters, digits and \"_\")");
    } else {
      switch (OwnerOfWord(instruction.name)) {
      case NameOwner::Command:
        warnings.push_back(prefix + "is hidden by the command of that name");
        break;
      case NameOwner::Directive:
        warnings.push_back(prefix + "is hidden by the directive of that name");
        break;
      case NameOwner::Macro:
        warnings.push_back(prefix + "is hidden by the predefined macro of that name");
        break;
      case NameOwner::None:
        break;
      }
    }
    unsigned head = (instruction.topBits & 3u) * 256u + instruction.opcode;
    auto [first, added] = heads.emplace(head, i);
    if (!added)
      warnings.push_back(prefix + "has the top bits (" +
                         std::to_string(instruction.topBits & 3u) + ") and opcode (" +
                         std::to_string(instruction.opcode) + ") of " +
                         Other(file.entries[first->second], entry.place) +
                         ": an image cannot tell them apart");
  }
  if (!file.loaded)
    warnings.push_back(Where(file.failurePlace) + ": error: " + file.failure +
                       "; ferrox stops with error 300");
  return warnings;
}
