//===- assembler/values.cpp - Parameters and value kinds ------------------===//

#include "assembler/values.h"

#include "assembler/labels.h"
#include "assembler/statement.h"
#include "image/image_writer.h"
#include "util/numbers.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace {

/// Width in bytes and signedness of the integer kinds.
struct IntegerKind {
  int bytes;
  bool isSigned;
};

IntegerKind IntegerKindOf(std::int32_t kind) {
  switch (kind) {
  case KIND_1U: return {1, false};
  case KIND_2U: return {2, false};
  case KIND_4U: return {4, false};
  case KIND_8U: return {8, false};
  case KIND_1I: return {1, true};
  case KIND_2I: return {2, true};
  case KIND_4I: return {4, true};
  default:      return {8, true};
  }
}

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

/// The bits of an integer kind's value (the caller keeps the low bytes).
bool ReadIntegerValue(const CParameter &parameter, IntegerKind kind,
                      std::uint64_t &bits) {
  const CToken &token = parameter.first;
  if (IsCharacterValue(token)) {
    bits = static_cast<std::uint64_t>(CharacterValue(token));
    return true;
  }
  if (token.kind == TOKEN_NUMBER) {
    if (std::optional<std::uint64_t> integer =
            ParseInteger(token.text, kind.bytes, kind.isSigned)) {
      bits = *integer;
      return true;
    }
    bits = static_cast<std::uint64_t>(TruncateToInt64(ParseDouble(token.text)));
    return true;
  }
  Expected(504, *g_CurrentLine);
  return false;
}

bool ReadFloatValue(const CParameter &parameter, double &value) {
  const CToken &token = parameter.first;
  if (IsCharacterValue(token)) {
    value = static_cast<double>(CharacterValue(token));
    return true;
  }
  if (token.kind == TOKEN_NUMBER) {
    if (std::optional<std::uint64_t> integer = ParseInteger(token.text, 8, true))
      value = static_cast<double>(static_cast<std::int64_t>(*integer));
    else
      value = ParseDouble(token.text);
    return true;
  }
  Expected(504, *g_CurrentLine);
  return false;
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

/// Scratch space for the bytes of one value.
std::string g_ValueBytes;

} // namespace

namespace {

/// The bits and width of a numeric kind's value; false for other kinds and
/// when the value cannot be read.
bool EncodeNumber(std::int32_t kind, const CParameter &parameter,
                  std::uint64_t &bits, int &width) {
  switch (kind) {
  case KIND_1U:
  case KIND_2U:
  case KIND_4U:
  case KIND_8U:
  case KIND_1I:
  case KIND_2I:
  case KIND_4I:
  case KIND_8I: {
    IntegerKind integer = IntegerKindOf(kind);
    width = integer.bytes;
    return ReadIntegerValue(parameter, integer, bits);
  }
  case KIND_4F: {
    double value;
    if (!ReadFloatValue(parameter, value))
      return false;
    bits = std::bit_cast<std::uint32_t>(DoubleToFloat(value));
    width = 4;
    return true;
  }
  case KIND_8F: {
    double value;
    if (!ReadFloatValue(parameter, value))
      return false;
    bits = std::bit_cast<std::uint64_t>(value);
    width = 8;
    return true;
  }
  default:
    return false;
  }
}

bool IsNumericKind(std::int32_t kind) { return kind >= KIND_1U && kind <= KIND_8F; }

} // namespace

bool EncodeDirectValue(std::int32_t kind, const CParameter &parameter,
                       std::string &bytes) {
  bytes.clear();
  if (IsNumericKind(kind)) {
    std::uint64_t bits;
    int width;
    if (!EncodeNumber(kind, parameter, bits, width))
      return false;
    AppendLittleEndian(bytes, bits, width);
    return true;
  }
  switch (kind) {
  case KIND_0S:
  case KIND_1S:
  case KIND_2S:
  case KIND_4S:
  case KIND_NS: {
    const CToken &token = parameter.first;
    if (token.kind != TOKEN_STRING) {
      Expected(500, *g_CurrentLine);
      return false;
    }
    if (kind == KIND_1S || kind == KIND_2S || kind == KIND_4S)
      AppendLittleEndian(bytes, token.text.size(),
                         kind == KIND_1S ? 1 : kind == KIND_2S ? 2 : 4);
    bytes.append(token.text);
    if (kind == KIND_0S)
      bytes.push_back('\0');
    return true;
  }
  default:
    ReportLineError(901, "Cannot write \"x\" type parameter as a direct value "
                         "(addressing mode 1)");
    return false;
  }
}

ValueKind KindFromSuffix(std::string_view suffix) {
  if (suffix.size() != 2)
    return static_cast<ValueKind>(0);
  switch (suffix[0]) {
  case '1':
    return suffix[1] == 'u' ? KIND_1U : suffix[1] == 'i' ? KIND_1I
                              : suffix[1] == 's' ? KIND_1S : ValueKind(0);
  case '2':
    return suffix[1] == 'u' ? KIND_2U : suffix[1] == 'i' ? KIND_2I
                              : suffix[1] == 's' ? KIND_2S : ValueKind(0);
  case '4':
    return suffix[1] == 'u'   ? KIND_4U
           : suffix[1] == 'i' ? KIND_4I
           : suffix[1] == 'f' ? KIND_4F
           : suffix[1] == 's' ? KIND_4S
                              : ValueKind(0);
  case '8':
    return suffix[1] == 'u' ? KIND_8U : suffix[1] == 'i' ? KIND_8I
                              : suffix[1] == 'f' ? KIND_8F : ValueKind(0);
  case '0':
    return suffix[1] == 's' ? KIND_0S : ValueKind(0);
  case 'n':
    return suffix[1] == 's' ? KIND_NS : ValueKind(0);
  default:
    return ValueKind(0);
  }
}

std::optional<std::uint64_t> ParseInteger(std::string_view text, int bytes,
                                          bool isSigned) {
  if (text.empty())
    return std::nullopt;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = isSigned && text[0] == '-';
    text.remove_prefix(1);
    if (text.empty())
      return std::nullopt;
  }
  std::uint64_t radix = 10;
  if (text.size() >= 2 && text[0] == '0' && AsciiLower(text[1]) == 'x') {
    radix = 16;
    text.remove_prefix(2);
  } else {
    switch (AsciiLower(text.back())) {
    case 'b': radix = 2; text.remove_suffix(1); break;
    case 'o': radix = 8; text.remove_suffix(1); break;
    case 'd': radix = 10; text.remove_suffix(1); break;
    case 'h': radix = 16; text.remove_suffix(1); break;
    default: break;
    }
  }
  if (text.empty())
    return std::nullopt;
  // Unsigned arithmetic wraps exactly like the target width once the low
  // bytes are kept, so one 64-bit accumulator serves every width.
  std::uint64_t result = 0;
  for (char c : text) {
    std::uint64_t digit = static_cast<std::uint64_t>(DigitValue(c));
    if (digit >= radix)
      return std::nullopt;
    result = negative ? result * radix - digit : result * radix + digit;
  }
  if (bytes < 8)
    result &= (std::uint64_t{1} << (8 * bytes)) - 1;
  return result;
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

bool ParseParameter(CSourceLine &line, CParameter &parameter) {
  parameter.mode = MODE_NONE;
  parameter.label = std::string_view();
  AcceptSymbol(line, ',');
  std::string_view label;
  if (ReadLabelPrefix(line, label))
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
  if (!ReadIntegerValue(parameter, {4, true}, bits))
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
  if (mode == MODE_VALUE) {
    // A "4i" value may name a label, whose use is counted and may leave a
    // fix-up at the current output position.
    if (kind == KIND_4I && parameter.first.kind == TOKEN_IDENTIFIER) {
      std::int32_t value;
      if (!ReadInt32(parameter, value))
        return false;
      return WriteLittleEndian(static_cast<std::uint32_t>(value), 4);
    }
    if (IsNumericKind(kind)) {
      std::uint64_t bits;
      int width;
      return EncodeNumber(kind, parameter, bits, width) &&
             WriteLittleEndian(bits, width);
    }
    if (!EncodeDirectValue(kind, parameter, g_ValueBytes))
      return false;
    // Length-prefixed strings write the prefix first and stop if it fails.
    if (kind == KIND_1S || kind == KIND_2S || kind == KIND_4S) {
      std::size_t prefix = kind == KIND_1S ? 1 : kind == KIND_2S ? 2 : 4;
      if (!WriteOutput(g_ValueBytes.data(), prefix))
        return false;
      return WriteOutput(g_ValueBytes.data() + prefix,
                         g_ValueBytes.size() - prefix);
    }
    return WriteOutput(g_ValueBytes.data(), g_ValueBytes.size());
  }
  if (mode == MODE_CARET || mode == MODE_STAR) {
    std::int32_t value;
    if (!ReadInt32(parameter, value))
      return false;
    return WriteLittleEndian(static_cast<std::uint32_t>(value), 4);
  }
  ReportLineError(700,
                  "Internal error: invalid addressing mode in writeParameter()");
  return false;
}

std::uint64_t ValueSize(std::int32_t kind, const CParameter &parameter) {
  std::uint64_t length = parameter.first.text.size();
  switch (kind) {
  case KIND_1U:
  case KIND_1I:
    return 1;
  case KIND_2U:
  case KIND_2I:
    return 2;
  case KIND_4U:
  case KIND_4I:
  case KIND_4F:
    return 4;
  case KIND_8U:
  case KIND_8I:
  case KIND_8F:
    return 8;
  case KIND_0S:
  case KIND_1S:
    return length + 1;
  case KIND_2S:
    return length + 2;
  case KIND_4S:
    return length + 4;
  case KIND_NS:
    return length;
  default:
    return 0;
  }
}
