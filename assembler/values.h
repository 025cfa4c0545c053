//===- assembler/values.h - Parameters and value kinds ----------*- C++ -*-===//
//
// Every command operand and instruction parameter is read by ParseParameter
// (an optional label, addressing-mode symbols, the value's tokens) and
// written by writeParameter in one of fifteen value kinds.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_ASSEMBLER_VALUES_H
#define FERROX_ASSEMBLER_VALUES_H

#include "source/token.h"

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

/// How a value is written; the texts are the suffixes of the data commands.
enum ValueKind : std::int32_t {
  KIND_1U = 1,
  KIND_2U,
  KIND_4U,
  KIND_8U,
  KIND_1I,
  KIND_2I,
  KIND_4I,
  KIND_8I,
  KIND_4F,
  KIND_8F,
  KIND_0S,
  KIND_1S,
  KIND_2S,
  KIND_4S,
  KIND_NS,
  KIND_X, ///< No direct form: instruction parameters written as addresses.
};

/// What a value kind writes in addressing mode 1.
struct CValueKind {
  /// The suffix of the data commands and the parameter kind of the
  /// instruction definition file.
  std::string_view name;
  enum Form : std::uint8_t { None, Integer, Float, String } form = None;
  /// Bytes of a number; of a string's length prefix (0 for none).
  std::uint8_t width = 0;
  bool isSigned = false;
  /// A string followed by a zero byte ("0s").
  bool terminated = false;
};

/// The kinds, indexed by ValueKind; entry 0 stands for no kind.
inline constexpr CValueKind kValueKinds[] = {
    {},
    {"1u", CValueKind::Integer, 1},
    {"2u", CValueKind::Integer, 2},
    {"4u", CValueKind::Integer, 4},
    {"8u", CValueKind::Integer, 8},
    {"1i", CValueKind::Integer, 1, true},
    {"2i", CValueKind::Integer, 2, true},
    {"4i", CValueKind::Integer, 4, true},
    {"8i", CValueKind::Integer, 8, true},
    {"4f", CValueKind::Float, 4},
    {"8f", CValueKind::Float, 8},
    {"0s", CValueKind::String, 0, false, true},
    {"1s", CValueKind::String, 1},
    {"2s", CValueKind::String, 2},
    {"4s", CValueKind::String, 4},
    {"ns", CValueKind::String, 0},
    {"x", CValueKind::None, 0},
};
static_assert(std::size(kValueKinds) == KIND_X + 1, "one entry per kind");

/// The entry of `kind`, or of no kind for a code out of range.
constexpr const CValueKind &KindInfo(std::int32_t kind) {
  return kValueKinds[kind >= KIND_1U && kind <= KIND_X ? kind : 0];
}

/// The kind named `name` in any letter case ("4i", "NS", "x"), or 0.
ValueKind FindValueKind(std::string_view name);

enum AddressingMode : std::int32_t {
  MODE_NONE = 0,  ///< Only while parsing: no symbol seen yet.
  MODE_VALUE = 1, ///< "&": the value in the parameter's kind.
  MODE_CARET = 2, ///< "^": a 4-byte value.
  MODE_STAR = 3,  ///< "*": a 4-byte value.
};

/// One parsed parameter. Its views refer to the line being assembled.
struct CParameter {
  std::int32_t mode = MODE_NONE;
  /// The encoded value tokens: one token, or an identifier followed by
  /// pairs of "." and an identifier.
  std::string_view value;
  /// The first value token.
  CToken first;
  /// A label written in front of the parameter, or empty.
  std::string_view label;
};

/// Reads one parameter at the line's cursor: an optional comma, an optional
/// label prefix, mode symbols, then the value (errors 501, 503).
bool ParseParameter(CSourceLine &line, CParameter &parameter);

/// Writes the parameter's value in `kind` and `mode` to the image.
bool writeParameter(std::int32_t kind, std::int32_t mode,
                    const CParameter &parameter);

/// The bits of a value of the numeric kind `kind` ("1u" to "8f") read from
/// `token`, to be written in the kind's width (error 504 when the token is
/// neither a number nor a one-character string).
bool EncodeNumber(std::int32_t kind, const CToken &token, std::uint64_t &bits);

/// The bytes of a direct (mode 1) value of `kind`, without writing them. A
/// "4i" identifier is a label use and must go through ReadInt32 instead.
bool EncodeDirectValue(std::int32_t kind, const CParameter &parameter,
                       std::string &bytes);

/// Reads a 32-bit value; an identifier value is a label. With
/// `allowForward` a label not yet defined reads as 0 and records a fix-up
/// at the current output position; without it, it is error 910.
bool ReadInt32(const CParameter &parameter, std::int32_t &value,
               bool allowForward = true);

/// Reads a string value (error 500 when the value is no string).
bool ReadStringParameter(const CParameter &parameter, std::string_view &text);

/// Bytes writeParameter writes for `kind` in mode 1.
std::uint64_t ValueSize(std::int32_t kind, const CParameter &parameter);

/// Converts a number's text for an integer of `bytes` width: optional sign,
/// "0x" prefix or b/o/d/h suffix, digits; wraps on overflow. Empty on a
/// malformed text.
std::optional<std::uint64_t> ParseInteger(std::string_view text, int bytes,
                                          bool isSigned);

/// A number's text read as an integer of unlimited width, by the rules of
/// ParseInteger: its sign and magnitude, and whether the magnitude needs
/// more than 64 bits (it then holds the low 64). Empty on a malformed text.
/// For tools that tell when a kind changes a number.
struct CIntegerReading {
  std::uint64_t magnitude = 0;
  bool negative = false;
  bool overflow = false;
};
std::optional<CIntegerReading> ReadIntegerExactly(std::string_view text);

/// A floating value truncated toward zero into 64 bits, saturating at the
/// ends of the range; NaN gives 0.
std::int64_t TruncateToInt64(double value);

#endif // FERROX_ASSEMBLER_VALUES_H
