//===- instructions/decoder.cpp - Instructions from their bytes -----------===//

#include "instructions/decoder.h"

#include "assembler/values.h"

namespace {

/// Most lengths tried for a mode-1 "ns" string followed by strings whose
/// own lengths depend on where they start.
constexpr std::uint32_t kMaxSplitTries = 1 << 16;

std::uint64_t LittleEndian(std::string_view bytes, std::size_t at, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i)
    value |= std::uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return value;
}

void AppendLittleEndian(std::string &bytes, std::uint64_t value, unsigned width) {
  for (unsigned i = 0; i < width; ++i)
    bytes.push_back(static_cast<char>(value >> (8 * i)));
}

/// Mode-1 strings whose size depends on their bytes.
bool IsVariable(const CDecodedParameter &parameter) {
  const CValueKind &info = KindInfo(parameter.kind);
  return parameter.mode == MODE_VALUE && info.form == CValueKind::String &&
         parameter.kind != KIND_NS;
}

/// Decodes one parameter at `at`, ending before `limit`; a mode-1 "ns"
/// string takes `nsLength` bytes.
DecodeStatus DecodeParameter(std::string_view bytes, std::uint32_t at,
                             std::uint32_t limit, std::uint32_t nsLength,
                             CDecodedParameter &parameter) {
  parameter.offset = at;
  parameter.bits = 0;
  parameter.text.clear();
  std::uint64_t room = limit - at;
  if (parameter.mode != MODE_VALUE) {
    if (room < 4)
      return DecodeStatus::Truncated;
    parameter.size = 4;
    parameter.bits = LittleEndian(bytes, at, 4);
    return DecodeStatus::Ok;
  }
  const CValueKind &info = KindInfo(parameter.kind);
  if (info.form != CValueKind::String) {
    if (room < info.width)
      return DecodeStatus::Truncated;
    parameter.size = info.width;
    parameter.bits = LittleEndian(bytes, at, info.width);
    return DecodeStatus::Ok;
  }
  std::uint64_t length = nsLength;
  if (info.terminated) {
    std::size_t zero = bytes.substr(0, limit).find('\0', at);
    if (zero == std::string_view::npos)
      return DecodeStatus::Truncated;
    length = zero - at;
  } else if (info.width != 0) {
    if (room < info.width)
      return DecodeStatus::Truncated;
    length = LittleEndian(bytes, at, info.width);
  }
  std::uint64_t size = info.width + length + (info.terminated ? 1 : 0);
  if (size > room)
    return DecodeStatus::Truncated;
  parameter.size = static_cast<std::uint32_t>(size);
  parameter.text.assign(bytes.substr(at + info.width, static_cast<std::size_t>(length)));
  return DecodeStatus::Ok;
}

/// Decodes every parameter from byte 2; the first mode-1 "ns" string takes
/// `nsLength` bytes and any later one none.
DecodeStatus DecodeParameters(std::string_view bytes, std::uint32_t limit,
                              std::int32_t firstNs, std::uint32_t nsLength,
                              CDecodedInstruction &out) {
  std::uint32_t at = 2;
  for (std::int32_t i = 0; i < out.count; ++i) {
    CDecodedParameter &parameter = out.parameters[static_cast<std::size_t>(i)];
    DecodeStatus status =
        DecodeParameter(bytes, at, limit, i == firstNs ? nsLength : 0, parameter);
    if (status != DecodeStatus::Ok)
      return status;
    at += parameter.size;
  }
  out.size = at;
  return DecodeStatus::Ok;
}

} // namespace

std::uint8_t HeadByte(const CInstruction &definition,
                      const std::array<std::int32_t, 3> &modes) {
  unsigned head = definition.topBits & 3u;
  for (std::int32_t mode : modes)
    head = head * 4 + (static_cast<unsigned>(mode) & 3u);
  return static_cast<std::uint8_t>(head);
}

DecodeStatus DecodeAs(const CInstruction &definition, std::string_view bytes,
                      std::optional<std::uint32_t> size,
                      CDecodedInstruction &out) {
  out = CDecodedInstruction();
  out.definition = &definition;
  out.count = definition.paramCount;
  if (size && *size < bytes.size())
    bytes = bytes.substr(0, *size);
  if (bytes.size() < 2 || (size && *size > bytes.size()))
    return DecodeStatus::Truncated;
  auto head = static_cast<unsigned char>(bytes[0]);
  if ((head >> 6) != (definition.topBits & 3u) ||
      static_cast<unsigned char>(bytes[1]) != definition.opcode)
    return DecodeStatus::Mismatch;

  std::int32_t firstNs = -1;
  for (std::int32_t i = 0; i < 3; ++i) {
    std::int32_t mode = (head >> (4 - 2 * i)) & 3;
    if ((i < out.count) != (mode != 0))
      return DecodeStatus::Mismatch;
    if (i >= out.count)
      continue;
    CDecodedParameter &parameter = out.parameters[static_cast<std::size_t>(i)];
    parameter.kind = definition.paramKinds[static_cast<std::size_t>(i)];
    parameter.mode = mode;
    if (mode == MODE_VALUE && parameter.kind == KIND_X)
      return DecodeStatus::Mismatch;
    if (mode == MODE_VALUE && parameter.kind == KIND_NS && firstNs < 0)
      firstNs = i;
  }
  // Bytes are counted in 32 bits; a longer view is cut to what fits.
  auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size(), 0xFFFFFFFFu));
  if (firstNs < 0) {
    DecodeStatus status = DecodeParameters(bytes, limit, -1, 0, out);
    if (status == DecodeStatus::Ok && size && out.size != *size)
      return DecodeStatus::Mismatch;
    return status;
  }
  if (!size)
    return DecodeStatus::NeedsLength;

  // The string's length is what the whole size leaves once the parameters
  // around it are decoded. When only fixed sizes follow, one try finds it.
  DecodeStatus status = DecodeParameters(bytes, limit, firstNs, 0, out);
  if (status == DecodeStatus::Ok && out.size == *size)
    return status;
  bool fixedAfter = true;
  for (std::int32_t i = firstNs + 1; i < out.count; ++i)
    fixedAfter = fixedAfter && !IsVariable(out.parameters[static_cast<std::size_t>(i)]);
  if (fixedAfter)
    return status == DecodeStatus::Ok && out.size < *size
               ? DecodeParameters(bytes, limit, firstNs, *size - out.size, out)
               : DecodeStatus::Mismatch;
  std::uint32_t start = out.parameters[static_cast<std::size_t>(firstNs)].offset;
  for (std::uint32_t length = 1; length <= *size - start && length <= kMaxSplitTries;
       ++length) {
    if (DecodeParameters(bytes, limit, firstNs, length, out) == DecodeStatus::Ok &&
        out.size == *size)
      return DecodeStatus::Ok;
  }
  return DecodeStatus::Mismatch;
}

CInstructionDecoder::CInstructionDecoder(std::vector<CInstruction> definitions)
    : m_Definitions(std::move(definitions)), m_ByHead(1024) {
  for (std::size_t i = 0; i < m_Definitions.size(); ++i) {
    const CInstruction &definition = m_Definitions[i];
    m_ByHead[(definition.topBits & 3u) * 256u + definition.opcode].push_back(
        static_cast<std::uint32_t>(i));
  }
}

std::vector<const CInstruction *>
CInstructionDecoder::Candidates(std::uint8_t head, std::uint8_t opcode) const {
  std::vector<const CInstruction *> result;
  if (m_ByHead.empty())
    return result;
  for (std::uint32_t index : m_ByHead[(head >> 6) * 256u + opcode])
    result.push_back(&m_Definitions[index]);
  return result;
}

DecodeStatus CInstructionDecoder::Decode(std::string_view bytes,
                                         CDecodedInstruction &out) const {
  if (bytes.size() < 2)
    return DecodeStatus::Truncated;
  std::vector<const CInstruction *> candidates =
      Candidates(static_cast<std::uint8_t>(bytes[0]), static_cast<std::uint8_t>(bytes[1]));
  DecodeStatus best = DecodeStatus::Unknown;
  auto rank = [](DecodeStatus status) {
    return status == DecodeStatus::NeedsLength ? 3
           : status == DecodeStatus::Truncated ? 2
           : status == DecodeStatus::Mismatch  ? 1
                                               : 0;
  };
  for (const CInstruction *definition : candidates) {
    DecodeStatus status = DecodeAs(*definition, bytes, std::nullopt, out);
    if (status == DecodeStatus::Ok)
      return status;
    if (rank(status) > rank(best))
      best = status;
  }
  return best;
}

std::string EncodeInstruction(const CDecodedInstruction &instruction) {
  std::string bytes;
  if (instruction.definition == nullptr)
    return bytes;
  std::array<std::int32_t, 3> modes = {0, 0, 0};
  for (std::int32_t i = 0; i < instruction.count && i < 3; ++i)
    modes[static_cast<std::size_t>(i)] = instruction.parameters[static_cast<std::size_t>(i)].mode;
  bytes.push_back(static_cast<char>(HeadByte(*instruction.definition, modes)));
  bytes.push_back(static_cast<char>(instruction.definition->opcode));
  for (std::int32_t i = 0; i < instruction.count && i < 3; ++i) {
    const CDecodedParameter &parameter = instruction.parameters[static_cast<std::size_t>(i)];
    const CValueKind &info = KindInfo(parameter.kind);
    if (parameter.mode != MODE_VALUE) {
      AppendLittleEndian(bytes, parameter.bits, 4);
    } else if (info.form != CValueKind::String) {
      AppendLittleEndian(bytes, parameter.bits, info.width);
    } else {
      AppendLittleEndian(bytes, parameter.text.size(), info.width);
      bytes += parameter.text;
      if (info.terminated)
        bytes.push_back('\0');
    }
  }
  return bytes;
}
