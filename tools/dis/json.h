//===- tools/dis/json.h - A small JSON reader -------------------*- C++ -*-===//
//
// Reads one JSON document (RFC 8259) into a tree. Numbers keep whether they
// were written as integers, so that a reader can insist on them. Nesting is
// bounded, so that no input can exhaust the stack.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_DIS_JSON_H
#define FERROX_TOOLS_DIS_JSON_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct CJsonMember;

/// One JSON value.
struct CJson {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  /// A number written without fraction or exponent that fits 64 bits.
  bool isInteger = false;
  std::int64_t integer = 0;
  double number = 0;
  std::string text;
  std::vector<CJson> items;
  std::vector<CJsonMember> members; ///< In document order.

  /// The member named `name`, or nullptr.
  const CJson *Member(std::string_view name) const;
};

/// One member of an object.
struct CJsonMember {
  std::string name;
  CJson value;
};

/// Deepest nesting of arrays and objects accepted.
inline constexpr int kMaxJsonDepth = 64;

/// Parses `text` into `out`. False, with a message naming the line, when it
/// is not one well-formed JSON document.
bool ParseJson(std::string_view text, CJson &out, std::string &error);

#endif // FERROX_TOOLS_DIS_JSON_H
