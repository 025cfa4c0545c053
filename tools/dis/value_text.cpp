//===- tools/dis/value_text.cpp - Values written as source text -----------===//

#include "tools/dis/value_text.h"

#include "assembler/values.h"
#include "util/numbers.h"

#include <bit>
#include <cmath>
#include <cstdio>

namespace {

/// The bits the assembler writes for the number text `text` of a float
/// kind: a text that is no integer is read as a decimal float.
std::uint64_t FloatBitsOf(const std::string &text, unsigned width) {
  double real = ParseDouble(text);
  return width == 4 ? std::bit_cast<std::uint32_t>(DoubleToFloat(real))
                    : std::bit_cast<std::uint64_t>(real);
}

std::optional<std::string> FloatText(std::uint64_t bits, unsigned width) {
  double value = width == 4 ? static_cast<double>(std::bit_cast<float>(
                                  static_cast<std::uint32_t>(bits)))
                            : std::bit_cast<double>(bits);
  if (std::isnan(value))
    return std::nullopt;
  if (std::isinf(value))
    return std::string(value < 0 ? "-1e999" : "1e999");
  // The shortest of these that reads back to the same bits; 17 digits
  // always do. A fraction or exponent keeps the text from reading as an
  // integer, which would lose the sign of -0.
  for (int digits = width == 4 ? 6 : 15; digits <= 17; ++digits) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    std::string text = buffer;
    if (text.find_first_of(".e") == std::string::npos)
      text += ".0";
    if (FloatBitsOf(text, width) == bits)
      return text;
  }
  return std::nullopt;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

std::optional<std::string> NumberText(std::int32_t kind, std::uint64_t bits) {
  const CValueKind &info = KindInfo(kind);
  if (info.form == CValueKind::Float)
    return FloatText(bits, info.width);
  if (info.form != CValueKind::Integer)
    return std::nullopt;
  if (!info.isSigned)
    return std::to_string(bits);
  unsigned shift = 64 - 8 * info.width;
  auto value = static_cast<std::int64_t>(bits << shift) >> shift;
  return std::to_string(value);
}

std::string QuotedText(std::string_view bytes) {
  std::string text = "\"";
  bool afterHex = false;
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    bool hex = false;
    switch (c) {
    case '"': text += "\\\""; break;
    case '\\': text += "\\\\"; break;
    case '\0': text += "\\0"; break;
    case '\n': text += "\\n"; break;
    case '\r': text += "\\r"; break;
    case '\t': text += "\\t"; break;
    default:
      // A hexadecimal escape takes every hex digit after it, so a digit
      // that follows one is escaped as well.
      if (byte < 0x20 || byte >= 0x7F || (afterHex && IsHexDigit(c))) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\x%02x", byte);
        text += buffer;
        hex = true;
      } else {
        text += c;
      }
    }
    afterHex = hex;
  }
  return text + "\"";
}

std::string HexText(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%x", value);
  return buffer;
}
