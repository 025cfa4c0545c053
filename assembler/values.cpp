//===- assembler/values.cpp - Parameters and value kinds ------------------===//

#include "assembler/values.h"

#include "assembler/labels.h"
#include "assembler/statement.h"
#include "image/image_writer.h"
#include "util/numbers.h"
#include "util/text.h"

#include <bit>
#include <cmath>
#include <limits>
#include <string>

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z')
    return c - 'A' + 10;
  return 99;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// A one-character string stands for its character code, as a signed byte.
bool IsCharacterValue(const CToken &token) {
  return token.kind == TOKEN_STRING && token.text.size() == 1;
}

std::int64_t CharacterValue(const CToken &token) {
  return static_cast<std::int8_t>(token.text[0]);
}

void AppendLittleEndian(std::string &bytes, std::uint64_t bits, int width) {
  for (int i = 0; i < width; ++i)
    bytes.push_back(static_cast<char>(bits >> (8 * i)));
}

bool WriteLittleEndian(std::uint64_t bits, int width) {
  unsigned char buffer[8];
  for (int i = 0; i < width; ++i)
    buffer[i] = static_cast<unsigned char>(bits >> (8 * i));
  return WriteOutput(buffer, static_cast<std::size_t>(width));
}

/// The bytes of one value, kept between values so that writing a string
/// allocates nothing once it has grown.
std::string g_ValueBytes;

} // namespace

ValueKind FindValueKind(std::string_view name) {
  for (std::int32_t kind = KIND_1U; kind <= KIND_X; ++kind)
    if (EqualsNoCase(name, kValueKinds[kind].name))
      return static_cast<ValueKind>(kind);
  return static_cast<ValueKind>(0);
}

namespace {

/// The parts of an integer's text: its sign, the radix of its prefix or
/// suffix, and the digits between them (not yet checked).
struct CIntegerText {
  bool negative = false;
  std::uint64_t radix = 10;
  std::string_view digits;
};

// integer: ["+" | "-"] ( "0x" hex-digits | digits ["b" | "o" | "d" | "h"] )
std::optional<CIntegerText> SplitInteger(std::string_view text) {
  CIntegerText parts;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    parts.negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty())
    return std::nullopt;
  char last = AsciiLower(text.back());
  if (text.size() >= 2 && text[0] == '0' && AsciiLower(text[1]) == 'x') {
    parts.radix = 16;
    text.remove_prefix(2);
  } else if (last == 'b' || last == 'o' || last == 'd' || last == 'h') {
    parts.radix = last == 'b' ? 2 : last == 'o' ? 8 : last == 'd' ? 10 : 16;
    text.remove_suffix(1);
  }
  if (text.empty())
    return std::nullopt;
  parts.digits = text;
  return parts;
}

} // namespace

std::optional<std::uint64_t> ParseInteger(std::string_view text, int bytes,
                                          bool isSigned) {
  std::optional<CIntegerText> parts = SplitInteger(text);
  if (!parts)
    return std::nullopt;
  // Unsigned arithmetic wraps exactly like the target width once the low
  // bytes are kept, so one 64-bit accumulator serves every width.
  std::uint64_t result = 0;
  if (parts->radix == 10) {
    // Decimal digits, by far the most common, with a constant multiplier.
    for (char c : parts->digits) {
      std::uint64_t digit = static_cast<unsigned char>(c - '0');
      if (digit > 9)
        return std::nullopt;
      result = result * 10 + digit;
    }
  } else {
    for (char c : parts->digits) {
      std::uint64_t digit = static_cast<std::uint64_t>(DigitValue(c));
      if (digit >= parts->radix)
        return std::nullopt;
      result = result * parts->radix + digit;
    }
  }
  if (isSigned && parts->negative)
    result = 0 - result;
  if (bytes < 8)
    result &= (std::uint64_t{1} << (8 * bytes)) - 1;
  return result;
}

std::optional<CIntegerReading> ReadIntegerExactly(std::string_view text) {
  std::optional<CIntegerText> parts = SplitInteger(text);
  if (!parts)
    return std::nullopt;
  CIntegerReading reading;
  reading.negative = parts->negative;
  for (char c : parts->digits) {
    auto digit = static_cast<std::uint64_t>(DigitValue(c));
    if (digit >= parts->radix)
      return std::nullopt;
    if (reading.magnitude > (UINT64_MAX - digit) / parts->radix)
      reading.overflow = true;
    reading.magnitude = reading.magnitude * parts->radix + digit;
  }
  return reading;
}

std::int64_t TruncateToInt64(double value) {
  if (std::isnan(value))
    return 0;
  if (value >= 9223372036854775808.0)
    return std::numeric_limits<std::int64_t>::max();
  if (value < -9223372036854775808.0)
    return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

bool EncodeNumber(std::int32_t kind, const CToken &token, std::uint64_t &bits) {
  const CValueKind &info = KindInfo(kind);
  // A one-character string is its character code; an integer kind reads a
  // number that is no valid integer as a float and truncates it.
  std::optional<std::uint64_t> integer;
  double real = 0;
  if (IsCharacterValue(token)) {
    integer = static_cast<std::uint64_t>(CharacterValue(token));
  } else if (token.kind == TOKEN_NUMBER) {
    bool isSigned = info.form == CValueKind::Float || info.isSigned;
    integer = ParseInteger(token.text, info.form == CValueKind::Float ? 8 : info.width,
                           isSigned);
    if (!integer)
      real = ParseDouble(token.text);
  } else {
    Expected(504, *g_CurrentLine);
    return false;
  }
  if (info.form == CValueKind::Integer) {
    bits = integer ? *integer : static_cast<std::uint64_t>(TruncateToInt64(real));
    return true;
  }
  if (integer)
    real = static_cast<double>(static_cast<std::int64_t>(*integer));
  bits = info.width == 4 ? std::bit_cast<std::uint32_t>(DoubleToFloat(real))
                         : std::bit_cast<std::uint64_t>(real);
  return true;
}

bool EncodeDirectValue(std::int32_t kind, const CParameter &parameter,
                       std::string &bytes) {
  bytes.clear();
  const CValueKind &info = KindInfo(kind);
  switch (info.form) {
  case CValueKind::Integer:
  case CValueKind::Float: {
    std::uint64_t bits;
    if (!EncodeNumber(kind, parameter.first, bits))
      return false;
    AppendLittleEndian(bytes, bits, info.width);
    return true;
  }
  case CValueKind::String: {
    const CToken &token = parameter.first;
    if (token.kind != TOKEN_STRING) {
      Expected(500, *g_CurrentLine);
      return false;
    }
    AppendLittleEndian(bytes, token.text.size(), info.width);
    bytes.append(token.text);
    if (info.terminated)
      bytes.push_back('\0');
    return true;
  }
  case CValueKind::None:
    break;
  }
  ReportLineError(901, "Cannot write \"x\" type parameter as a direct value "
                       "(addressing mode 1)");
  return false;
}

// parameter: [","] [identifier ":"] {"&" | "^" | "*"} value
// value:     identifier {"." identifier} | number | string | symbol
bool ParseParameter(CSourceLine &line, CParameter &parameter) {
  parameter.mode = MODE_NONE;
  parameter.label = std::string_view();
  AcceptSymbol(line, ',');
  std::string_view label;
  if (line.TakeIdentifierBefore(':', label))
    parameter.label = label;
  for (;;) {
    std::int32_t mode = line.AtSymbol('&')   ? MODE_VALUE
                        : line.AtSymbol('^') ? MODE_CARET
                        : line.AtSymbol('*') ? MODE_STAR
                                             : MODE_NONE;
    if (mode == MODE_NONE)
      break;
    if (parameter.mode == MODE_NONE)
      parameter.mode = mode;
    line.Advance();
  }
  if (line.AtEnd()) {
    Expected(503, line);
    return false;
  }
  CTokenList::Cursor begin = line.GetCursor();
  parameter.first = line.Next();
  if (parameter.first.kind == TOKEN_IDENTIFIER) {
    while (AcceptSymbol(line, '.')) {
      if (!TakeToken(line, TOKEN_IDENTIFIER)) {
        Expected(501, line);
        return false;
      }
    }
  }
  parameter.value = line.Encoded().substr(begin, line.GetCursor() - begin);
  if (parameter.mode == MODE_NONE)
    parameter.mode =
        parameter.first.kind == TOKEN_IDENTIFIER ? MODE_CARET : MODE_VALUE;
  return true;
}

bool ReadInt32(const CParameter &parameter, std::int32_t &value,
               bool allowForward) {
  if (parameter.first.kind == TOKEN_IDENTIFIER) {
    if (allowForward) {
      value = ReferenceLabel(parameter);
      return true;
    }
    return ReferenceDefinedLabel(parameter, value);
  }
  std::uint64_t bits;
  if (!EncodeNumber(KIND_4I, parameter.first, bits))
    return false;
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
  return true;
}

bool ReadStringParameter(const CParameter &parameter, std::string_view &text) {
  if (parameter.first.kind != TOKEN_STRING) {
    Expected(500, *g_CurrentLine);
    return false;
  }
  text = parameter.first.text;
  return true;
}

bool writeParameter(std::int32_t kind, std::int32_t mode,
                    const CParameter &parameter) {
  // Modes 2 and 3, and a "4i" value that names a label, are 4-byte values
  // that may be label uses, counted and perhaps left as fix-ups at the
  // current output position.
  if (mode == MODE_CARET || mode == MODE_STAR ||
      (mode == MODE_VALUE && kind == KIND_4I &&
       parameter.first.kind == TOKEN_IDENTIFIER)) {
    std::int32_t value;
    if (!ReadInt32(parameter, value))
      return false;
    return WriteLittleEndian(static_cast<std::uint32_t>(value), 4);
  }
  if (mode != MODE_VALUE) {
    ReportLineError(700,
                    "Internal error: invalid addressing mode in writeParameter()");
    return false;
  }
  const CValueKind &info = KindInfo(kind);
  if (info.form == CValueKind::Integer || info.form == CValueKind::Float) {
    std::uint64_t bits;
    return EncodeNumber(kind, parameter.first, bits) &&
           WriteLittleEndian(bits, info.width);
  }
  if (!EncodeDirectValue(kind, parameter, g_ValueBytes))
    return false;
  // A length prefix is written on its own first, and the string stops if
  // it fails.
  return WriteOutput(g_ValueBytes.data(), info.width) &&
         WriteOutput(g_ValueBytes.data() + info.width, g_ValueBytes.size() - info.width);
}

std::uint64_t ValueSize(std::int32_t kind, const CParameter &parameter) {
  const CValueKind &info = KindInfo(kind);
  if (info.form != CValueKind::String)
    return info.width;
  return parameter.first.text.size() + info.width + (info.terminated ? 1 : 0);
}
