//===- tools/lsp/numbers.cpp - What the value kinds make of a number ------===//

#include "tools/lsp/numbers.h"

#include "assembler/values.h"
#include "util/numbers.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace lsp {

namespace {

/// The bits EncodeNumber writes for `text` in `kind`.
std::uint64_t Encoded(std::string_view text, std::int32_t kind) {
  std::uint64_t bits = 0;
  EncodeNumber(kind, CToken{TOKEN_NUMBER, text}, bits);
  const CValueKind &info = KindInfo(kind);
  if (info.width < 8)
    bits &= (std::uint64_t{1} << (8 * info.width)) - 1;
  return bits;
}

/// The value of `bits` of `kind` as a reader of that kind sees it.
std::string ValueText(std::uint64_t bits, std::int32_t kind) {
  const CValueKind &info = KindInfo(kind);
  if (info.form == CValueKind::Float) {
    double value = info.width == 4 ? double(std::bit_cast<float>(std::uint32_t(bits)))
                                   : std::bit_cast<double>(bits);
    return FormatFloat(value, 'g', info.width == 4 ? 9 : 17);
  }
  if (!info.isSigned)
    return std::to_string(bits);
  unsigned shift = 64 - 8 * info.width;
  return std::to_string(static_cast<std::int64_t>(bits << shift) >> shift);
}

std::string Bytes(std::uint64_t bits, int width) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (int i = 0; i < width; ++i) {
    auto byte = static_cast<unsigned>((bits >> (8 * i)) & 0xFF);
    if (i > 0)
      text += ' ';
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}

} // namespace

std::optional<std::string> KindChangesNumber(std::string_view text, std::int32_t kind) {
  const CValueKind &info = KindInfo(kind);
  if (info.form != CValueKind::Integer || text.empty())
    return std::nullopt;
  enum class Change { None, NoInteger, Sign, Width } change = Change::None;
  unsigned bits = 8u * info.width;
  std::optional<CIntegerReading> integer = ReadIntegerExactly(text);
  if (!integer) {
    double real = ParseDouble(text);
    bool huge = std::fabs(real) >= 18446744073709551616.0;
    if (std::isnan(real) || std::isinf(real) || real != std::trunc(real))
      change = Change::NoInteger;
    else
      integer = CIntegerReading{huge ? 0 : static_cast<std::uint64_t>(std::fabs(real)), real < 0, huge};
  }
  if (integer && integer->negative && !info.isSigned && integer->magnitude != 0) {
    change = Change::Sign;
  } else if (integer) {
    bool fits = !integer->overflow;
    if (fits && bits < 64) {
      std::uint64_t limit = std::uint64_t{1} << bits;
      // A signed kind also takes the bit pattern of its width (0xFF as 1i).
      fits = integer->negative ? integer->magnitude <= limit / 2 : integer->magnitude < limit;
    } else if (fits && integer->negative && info.isSigned) {
      fits = integer->magnitude <= (std::uint64_t{1} << 63);
    }
    if (!fits)
      change = Change::Width;
  }
  if (change == Change::None)
    return std::nullopt;
  std::string shown(text);
  std::string name(info.name);
  std::string written = ValueText(Encoded(text, kind), kind);
  switch (change) {
  case Change::NoInteger:
    return shown + " is no integer: " + name + " writes it as " + written;
  case Change::Sign:
    return "the unsigned kind " + name + " drops the minus sign: " + shown + " is written as " +
           written;
  default:
    return shown + " does not fit in " + name + ": it is written as " + written;
  }
}

std::string DescribeNumber(std::string_view text, std::int32_t here) {
  std::string markdown = "`" + std::string(text) + "`\n\n| kind | value | bytes |\n|---|---|---|\n";
  for (std::int32_t kind = KIND_1U; kind <= KIND_8F; ++kind) {
    const CValueKind &info = KindInfo(kind);
    std::uint64_t bits = Encoded(text, kind);
    markdown += "| " + std::string(info.name) + (kind == here ? " (here)" : "") + " | " +
                ValueText(bits, kind) + " | `" + Bytes(bits, info.width) + "` |\n";
  }
  return markdown;
}

} // namespace lsp
