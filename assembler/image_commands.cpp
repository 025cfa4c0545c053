//===- assembler/image_commands.cpp - offset, boot, includebin ------------===//

#include "assembler/image_commands.h"

#include "assembler/statement.h"
#include "assembler/values.h"
#include "image/image_writer.h"
#include "preprocessor/include_files.h"
#include "util/files.h"
#include "util/platform.h"

#include <string>
#include <vector>

bool g_BootInfoDefined = false;

namespace {

/// Checks the mode and label of a command's one parameter. False when the
/// command must not be carried out; the caller still checks the end of the
/// line.
bool CheckSingleParameter(const CParameter &parameter) {
  if (parameter.mode != MODE_VALUE) {
    ReportLineError(906, "Only addressing mode 1 allowed here");
    return false;
  }
  if (!parameter.label.empty()) {
    ReportLineError(907, "Label not allowed here");
    return false;
  }
  return true;
}

} // namespace

// offset-command: ("offset" | "offsetdelta") "&"-value
bool CommandOffset(CSourceLine &line, bool relative) {
  CParameter parameter;
  // A parameter that does not parse ends the command: the parser has said
  // why, and what is left of the line is no more wrong than before.
  if (!ParseParameter(line, parameter))
    return true;
  std::int32_t value;
  if (CheckSingleParameter(parameter) && ReadInt32(parameter, value, false)) {
    if (relative)
      value = static_cast<std::int32_t>(static_cast<std::uint32_t>(GetOffset()) +
                                        static_cast<std::uint32_t>(value));
    SetOffset(value);
  }
  ExpectEndOfLine(line);
  return true;
}

// boot-command: "bootnone" | "bootall" | "bootend" | "boot" "&"-value
bool CommandBoot(CSourceLine &line, int variant, std::uint32_t value) {
  if (variant == 2) {
    CParameter parameter;
    if (!ParseParameter(line, parameter))
      return true;
    std::int32_t parameterValue;
    bool ok = CheckSingleParameter(parameter) &&
              ReadInt32(parameter, parameterValue, false);
    ExpectEndOfLine(line);
    if (!ok)
      return true;
    value = static_cast<std::uint32_t>(parameterValue);
  } else {
    if (variant == 1)
      value = static_cast<std::uint32_t>(GetImageSize());
    ExpectEndOfLine(line);
  }
  if (g_BootInfoDefined) {
    ReportLineError(909, "Boot info already defined");
    return true;
  }
  g_BootInfo = value;
  g_BootInfoDefined = true;
  return true;
}

// includebin-command: "includebin" string
bool CommandIncludeBin(CSourceLine &line) {
  CParameter parameter;
  if (!ParseParameter(line, parameter))
    return true;
  std::string_view name;
  if (CheckSingleParameter(parameter) && ReadStringParameter(parameter, name))
    IncludeBinaryFile(name);
  ExpectEndOfLine(line);
  return true;
}

void IncludeBinaryFile(std::string_view name) {
  const std::string &path = FindIncludeFile(name);
  if (path.empty()) {
    ReportLineError(1001, "\"" + std::string(name) + "\" file not found");
    return;
  }
  platform::FileHandle file = platform::OpenForRead(path);
  // The destination file is never read back into itself: it grows while it
  // is read.
  if (file != platform::kNoFile &&
      IsDestinationFile(platform::IdentityOfFile(file))) {
    platform::CloseFile(file);
    file = platform::kNoFile;
  }
  if (file == platform::kNoFile) {
    ReportLineError(908, "\"" + path + "\" cannot open included file");
    return;
  }
  NoteFileRead(path, file);
  std::vector<char> block(1 << 16);
  // Like any file read whole, at most 2 GiB - 1 bytes: more is refused as
  // unreadable, so an endless device such as /dev/zero ends too.
  constexpr std::uint64_t kMaxIncludedSize = 0x7FFFFFFF;
  std::uint64_t total = 0;
  for (;;) {
    std::size_t got = 0;
    bool ok = platform::ReadBytes(file, block.data(), block.size(), &got);
    total += got;
    if (!ok || total > kMaxIncludedSize) {
      ReportLineError(908,
                      "\"" + std::string(name) + "\" cannot read from included file");
      break;
    }
    if (got == 0 || !WriteOutput(block.data(), got))
      break;
  }
  platform::CloseFile(file);
}

void ResetImageCommands() { g_BootInfoDefined = false; }
