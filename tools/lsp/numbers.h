//===- tools/lsp/numbers.h - What the value kinds make of a number -*- C++ -*-===//
//
// ferrox writes a number in the kind of its place and never says when the
// kind changes it: integers wrap to their width, the unsigned kinds drop a
// minus sign, and a number that is no integer is truncated toward zero.
// These functions tell, for the warnings and for hovers, using the very
// conversion the assembler uses (EncodeNumber).
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_NUMBERS_H
#define FERROX_TOOLS_LSP_NUMBERS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lsp {

/// Why the integer kind `kind` (1u to 8i) does not write the number `text`
/// as written, or nothing when it does (or the kind is no integer kind).
std::optional<std::string> KindChangesNumber(std::string_view text, std::int32_t kind);

/// Markdown: the number `text` in every numeric kind, with its bytes; the
/// kind `here` (0 for none) is marked as the one its place uses.
std::string DescribeNumber(std::string_view text, std::int32_t here);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_NUMBERS_H
