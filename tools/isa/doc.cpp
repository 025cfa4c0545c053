//===- tools/isa/doc.cpp - A reference of an instruction set --------------===//

#include "tools/isa/doc.h"

#include "assembler/values.h"

#include <cstdio>
#include <set>

namespace {

/// `text` for a table cell: pipes escaped, line breaks as spaces.
std::string Cell(std::string_view text) {
  std::string cell;
  for (char c : text) {
    if (c == '|')
      cell += "\\|";
    else if (c == '\n' || c == '\r' || c == '\t')
      cell += ' ';
    else
      cell += c;
  }
  return cell;
}

/// `text` as a code span in a table cell.
std::string Code(std::string_view text) {
  std::size_t longest = 0;
  std::size_t run = 0;
  for (char c : text) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  std::string fence(longest + 1, '`');
  std::string pad = longest > 0 ? " " : "";
  return fence + pad + Cell(text) + pad + fence;
}

std::string Hex2(unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "0x%02x", value);
  return buffer;
}

std::string FirstByte(const CInstruction &instruction) {
  std::string text = Hex2((instruction.topBits & 3u) << 6);
  static const char *const kModes[] = {" + 16*m1", " + 4*m2", " + m3"};
  for (std::int32_t i = 0; i < instruction.paramCount; ++i)
    text += kModes[i];
  return Code(text);
}

std::string Parameters(const CInstruction &instruction) {
  if (instruction.paramCount == 0)
    return "none";
  std::string text;
  for (std::int32_t i = 0; i < instruction.paramCount; ++i) {
    std::int32_t kind = instruction.paramKinds[static_cast<std::size_t>(i)];
    text += i == 0 ? "" : ", ";
    text += Code(KindInfo(kind).name) + (kind == KIND_X ? " (^ \\*)" : " (& ^ \\*)");
  }
  return text;
}

std::string KindBytes(std::int32_t kind) {
  const CValueKind &info = KindInfo(kind);
  std::string bytes = std::to_string(info.width) + (info.width == 1 ? " byte" : " bytes");
  switch (info.form) {
  case CValueKind::Integer:
    return bytes + (info.isSigned ? ", signed integer" : ", unsigned integer");
  case CValueKind::Float:
    return bytes + (info.width == 4 ? ", IEEE 754 single" : ", IEEE 754 double");
  case CValueKind::String:
    if (info.terminated)
      return "the string's bytes, then a zero byte";
    if (info.width == 0)
      return "the string's bytes; the length is not stored";
    return "the length in " + bytes + ", then the string's bytes";
  case CValueKind::None:
    break;
  }
  return "not allowed";
}

} // namespace

std::string DocumentInstructionFile(const CInstructionFile &file) {
  std::vector<CInstruction> instructions = file.Instructions();
  std::string text = "# Instruction set\n\n";
  text += Code(file.path) + ": " + std::to_string(instructions.size()) +
          (instructions.size() == 1 ? " instruction.\n\n" : " instructions.\n\n");
  text += "An instruction assembles to its first byte, its opcode, then each\n"
          "parameter in order. The first byte holds the top bits in bits 7-6 and\n"
          "the addressing modes m1, m2 and m3 of parameters 1 to 3 in bits 5-4,\n"
          "3-2 and 1-0: 1 for `&` (the value in its kind), 2 for `^` and 3 for `*`\n"
          "(both a 4-byte value), 0 for a parameter the instruction does not have.\n\n";
  text += "| Instruction | First byte | Opcode | Parameters | Comment |\n";
  text += "|---|---|---|---|---|\n";
  std::set<std::int32_t> kinds;
  for (const CDefinitionEntry &entry : file.entries) {
    if (entry.Dropped())
      continue;
    const CInstruction &instruction = entry.instruction;
    for (std::int32_t i = 0; i < instruction.paramCount; ++i)
      kinds.insert(instruction.paramKinds[static_cast<std::size_t>(i)]);
    text += "| " + Code(instruction.name) + " | " + FirstByte(instruction) + " | " +
            std::to_string(instruction.opcode) + " (" + Code(Hex2(instruction.opcode)) +
            ") | " + Parameters(instruction) + " |" +
            (entry.comment.empty() ? "" : " " + Cell(entry.comment) + " ") + "|\n";
  }
  if (kinds.empty())
    return text;
  text += "\n## Parameter kinds\n\n";
  text += "| Kind | Mode 1 (`&`) | Modes 2 and 3 (`^`, `*`) |\n";
  text += "|---|---|---|\n";
  for (std::int32_t kind : kinds)
    text += "| " + Code(KindInfo(kind).name) + " | " + KindBytes(kind) + " | 4 bytes |\n";
  return text;
}
