//===- tools/dis/value_text.h - Values written as source text ---*- C++ -*-===//
//
// The text of a value that ferrox assembles back to the very same bytes:
// integers in decimal, floating-point numbers with as few digits as give
// back the same bits, strings quoted with the escapes the lexer reads.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_DIS_VALUE_TEXT_H
#define FERROX_TOOLS_DIS_VALUE_TEXT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// The text of a number of kind `kind` ("1u" to "8f") whose bytes, read
/// little-endian, are `bits`. Empty for a value no source text gives: a
/// NaN, whose bits the assembler cannot write.
std::optional<std::string> NumberText(std::int32_t kind, std::uint64_t bits);

/// `bytes` as a double-quoted string literal.
std::string QuotedText(std::string_view bytes);

/// A 32-bit value in hexadecimal ("0x1f").
std::string HexText(std::uint32_t value);

#endif // FERROX_TOOLS_DIS_VALUE_TEXT_H
