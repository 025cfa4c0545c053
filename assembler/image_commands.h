//===- assembler/image_commands.h - offset, boot, includebin ----*- C++ -*-===//
#ifndef FERROX_ASSEMBLER_IMAGE_COMMANDS_H
#define FERROX_ASSEMBLER_IMAGE_COMMANDS_H

#include "source/token.h"

#include <cstdint>
#include <string_view>

/// Whether a boot command has set g_BootInfo in this build.
extern bool g_BootInfoDefined;

/// "offset" (relative = false) and "offsetdelta" (relative = true).
bool CommandOffset(CSourceLine &line, bool relative);
/// The boot commands: variant 0 sets `value`, 1 the image size so far, 2
/// the command's parameter (error 909 for a second boot command).
bool CommandBoot(CSourceLine &line, int variant, std::uint32_t value);
/// "includebin": copies a file's bytes into the image.
bool CommandIncludeBin(CSourceLine &line);
/// Finds `name` like an included source file and copies it into the image.
void IncludeBinaryFile(std::string_view name);

void ResetImageCommands();

#endif // FERROX_ASSEMBLER_IMAGE_COMMANDS_H
