//===- assembler/data_commands.cpp - data, array, skip, reserve -----------===//

#include "assembler/data_commands.h"

#include "assembler/labels.h"
#include "assembler/statement.h"
#include "assembler/values.h"
#include "driver/statistics.h"
#include "image/image_writer.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

/// Scratch space of the commands, kept between lines so that it allocates
/// nothing once grown: the bytes of one array value, a block of its
/// copies, and the values of a skip command.
struct CDataScratch {
  std::string bytes;
  std::string block;
  std::vector<CParameter> skipValues;
};
CDataScratch g_Scratch;

bool RequireValueMode(const CParameter &parameter) {
  if (parameter.mode == MODE_VALUE)
    return true;
  ReportLineError(906, "Only addressing mode 1 allowed here");
  return false;
}

bool RequireNoLabel(const CParameter &parameter) {
  if (parameter.label.empty())
    return true;
  ReportLineError(907, "Label not allowed here");
  return false;
}

/// Parses a count or value that takes neither a mode symbol nor a label.
bool ParsePlainParameter(CSourceLine &line, CParameter &parameter) {
  return ParseParameter(line, parameter) && RequireValueMode(parameter) &&
         RequireNoLabel(parameter);
}

/// Writes `pattern` `count` times, in blocks of many copies.
bool WriteRepeated(std::string_view pattern, std::int64_t count) {
  if (pattern.empty()) {
    // Still materialises a pending zero fill, like every write.
    return WriteOutput(nullptr, 0);
  }
  std::string &block = g_Scratch.block;
  std::int64_t copies = std::max<std::int64_t>(
      1, static_cast<std::int64_t>((1 << 16) / pattern.size()));
  copies = std::min(copies, count);
  block.clear();
  for (std::int64_t i = 0; i < copies; ++i)
    block.append(pattern);
  while (count >= copies) {
    if (!WriteOutput(block.data(), block.size()))
      return false;
    count -= copies;
  }
  return count == 0 ||
         WriteOutput(block.data(), static_cast<std::size_t>(count) * pattern.size());
}

/// Writes the value `repeat` times. Every repetition writes the same bytes,
/// so they are written in blocks; a label's repeated uses are counted and
/// share one fix-up record.
bool WriteArray(std::int32_t kind, const CParameter &value,
                std::int32_t repeat) {
  std::string &bytes = g_Scratch.bytes;
  if (kind == KIND_4I && value.first.kind == TOKEN_IDENTIFIER) {
    std::size_t fixups = g_LabelFixups.size();
    std::int32_t labelValue;
    if (!ReadInt32(value, labelValue))
      return false;
    bytes.clear();
    for (int i = 0; i < 4; ++i)
      bytes.push_back(
          static_cast<char>(static_cast<std::uint32_t>(labelValue) >> (8 * i)));
    if (repeat > 1) {
      CountLabelUses(static_cast<std::uint64_t>(repeat) - 1);
      if (g_LabelFixups.size() > fixups)
        g_LabelFixups.back().repeat = static_cast<std::uint32_t>(repeat);
    }
  } else if (!EncodeDirectValue(kind, value, bytes)) {
    return false;
  }
  return WriteRepeated(bytes, repeat);
}

/// Values of one data line collected for a single write.
class CPendingBytes {
public:
  bool Full() const { return m_Used > sizeof m_Bytes - 8; }
  void Append(std::uint64_t bits, int width) {
    for (int i = 0; i < width; ++i)
      m_Bytes[m_Used++] = static_cast<unsigned char>(bits >> (8 * i));
  }
  bool Flush() {
    if (m_Used == 0)
      return true;
    std::size_t used = m_Used;
    m_Used = 0;
    return WriteOutput(m_Bytes, used);
  }

private:
  unsigned char m_Bytes[1024];
  std::size_t m_Used = 0;
};

} // namespace

// data-command: "data" kind value {[","] value}
bool CommandData(CSourceLine &line, std::int32_t kind) {
  const CValueKind &info = KindInfo(kind);
  bool numeric = info.form == CValueKind::Integer || info.form == CValueKind::Float;
  CPendingBytes pending;
  CParameter parameter;
  while (!line.AtEnd()) {
    // A number, by far the most common value, is converted here and
    // written together with its neighbours; everything else goes through
    // the general parameter reader, after the bytes before it.
    if (numeric) {
      CTokenList::Cursor start = line.GetCursor();
      AcceptSymbol(line, ',');
      if (!line.AtEnd() && line.CurrentKind() == TOKEN_NUMBER) {
        std::uint64_t bits;
        if (!EncodeNumber(kind, line.Next(), bits))
          return false;
        pending.Append(bits, info.width);
        if (pending.Full() && !pending.Flush())
          return false;
        continue;
      }
      line.SetCursor(start);
    }
    if (!pending.Flush())
      return false;
    if (!ParseParameter(line, parameter) || !RequireValueMode(parameter))
      return false;
    if (!parameter.label.empty() && !DefineLabel(parameter.label))
      return false;
    if (!writeParameter(kind, MODE_VALUE, parameter))
      return false;
  }
  return pending.Flush();
}

// array-command: "array" kind count [","] value
bool CommandArray(CSourceLine &line, std::int32_t kind) {
  CParameter count;
  std::int32_t repeat;
  if (!ParsePlainParameter(line, count) || !ReadInt32(count, repeat, false))
    return false;
  CParameter value;
  if (!ParsePlainParameter(line, value))
    return false;
  if (repeat > 0 && !WriteArray(kind, value, repeat))
    return false;
  ExpectEndOfLine(line);
  return true;
}

// reserve-command: "reserve" count
bool CommandReserve(CSourceLine &line) {
  CParameter count;
  std::int32_t size;
  if (!ParsePlainParameter(line, count) || !ReadInt32(count, size, false))
    return false;
  ExpectEndOfLine(line);
  if (size < 0) {
    ReportLineError(911, "Reserve size cannot be negative");
    return false;
  }
  AdvanceOutput(size);
  return true;
}

// skip-command: "skip" kind { [","] value }
bool CommandSkip(CSourceLine &line, std::int32_t kind) {
  g_Scratch.skipValues.clear();
  std::uint64_t length = 0;
  while (!line.AtEnd()) {
    CParameter parameter;
    if (!ParseParameter(line, parameter) || !RequireValueMode(parameter))
      return false;
    length += ValueSize(kind, parameter);
    g_Scratch.skipValues.push_back(parameter);
  }

  // The head: an instruction with one direct operand, the data's length,
  // in the smallest of three encodings.
  unsigned char head[6] = {0x10};
  std::size_t headSize;
  if (length < 256) {
    head[1] = 200;
    head[2] = static_cast<unsigned char>(length);
    headSize = 3;
  } else if (length < 65536) {
    head[1] = 201;
    head[2] = static_cast<unsigned char>(length);
    head[3] = static_cast<unsigned char>(length >> 8);
    headSize = 4;
  } else {
    head[1] = 202;
    for (int i = 0; i < 4; ++i)
      head[2 + i] = static_cast<unsigned char>(length >> (8 * i));
    headSize = 6;
  }
  if (!WriteOutput(head, 1) || !WriteOutput(head + 1, 1) ||
      !WriteOutput(head + 2, headSize - 2))
    return false;

  for (const CParameter &parameter : g_Scratch.skipValues) {
    if (!parameter.label.empty() && !DefineLabel(parameter.label))
      return false;
    if (!writeParameter(kind, MODE_VALUE, parameter))
      return false;
  }
  if (g_InstructionCount < INT32_MAX)
    ++g_InstructionCount;
  return true;
}
