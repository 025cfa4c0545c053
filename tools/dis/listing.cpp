//===- tools/dis/listing.cpp - An image cut into statements ---------------===//

#include "tools/dis/listing.h"

#include "assembler/values.h"
#include "instructions/names.h"
#include "tools/dis/value_text.h"

namespace {

std::uint64_t LittleEndian(std::string_view bytes, std::size_t at, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i)
    value |= std::uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return value;
}

/// Where the values of `kind` start in `data`, counted from `base`. False
/// when the bytes are no sequence of such values, or hold a number no text
/// gives.
bool CutValues(std::string_view data, std::int32_t kind, std::uint32_t base,
               std::vector<std::uint32_t> &offsets) {
  const CValueKind &info = KindInfo(kind);
  offsets.clear();
  if (info.form == CValueKind::Integer || info.form == CValueKind::Float) {
    if (data.size() % info.width != 0)
      return false;
    for (std::size_t at = 0; at < data.size(); at += info.width) {
      if (!NumberText(kind, LittleEndian(data, at, info.width)))
        return false;
      offsets.push_back(base + static_cast<std::uint32_t>(at));
    }
    return true;
  }
  if (info.form != CValueKind::String)
    return false;
  if (kind == KIND_NS) {
    if (!data.empty())
      offsets.push_back(base);
    return true;
  }
  std::size_t at = 0;
  while (at < data.size()) {
    offsets.push_back(base + static_cast<std::uint32_t>(at));
    std::size_t end;
    if (info.terminated) {
      end = data.find('\0', at);
      if (end == std::string_view::npos)
        return false;
      ++end;
    } else {
      if (data.size() - at < info.width)
        return false;
      std::uint64_t length = LittleEndian(data, at, info.width);
      if (length > data.size() - at - info.width)
        return false;
      end = at + info.width + static_cast<std::size_t>(length);
    }
    at = end;
  }
  return true;
}

/// The bytes of a skip block's head for data of `length` bytes, as the
/// assembler chooses them.
std::string SkipHead(std::uint64_t length) {
  std::string head = "\x10";
  unsigned width = length < 256 ? 1 : length < 65536 ? 2 : 4;
  head += static_cast<char>(width == 1 ? 200 : width == 2 ? 201 : 202);
  for (unsigned i = 0; i < width; ++i)
    head += static_cast<char>(length >> (8 * i));
  return head;
}

/// A skip block of `kind` at the start of `bytes`, exactly `size` long when
/// `size` is not 0, with the head the assembler writes for its length.
bool CutSkip(std::string_view bytes, std::int32_t kind, std::uint64_t size, CItem &item) {
  if (bytes.size() < 3 || bytes[0] != '\x10')
    return false;
  auto opcode = static_cast<unsigned char>(bytes[1]);
  if (opcode < 200 || opcode > 202)
    return false;
  unsigned width = opcode == 200 ? 1 : opcode == 201 ? 2 : 4;
  if (bytes.size() < 2 + width)
    return false;
  std::uint64_t length = LittleEndian(bytes, 2, width);
  std::string head = SkipHead(length);
  if (bytes.substr(0, head.size()) != head || length > bytes.size() - head.size() ||
      (size != 0 && head.size() + length != size))
    return false;
  std::string_view data = bytes.substr(head.size(), static_cast<std::size_t>(length));
  if (!CutValues(data, kind, static_cast<std::uint32_t>(head.size()), item.valueOffsets))
    return false;
  item.kind = ItemKind::Skip;
  item.valueKind = kind;
  item.size = static_cast<std::uint32_t>(head.size() + length);
  item.bytes.assign(bytes.substr(0, item.size));
  return true;
}

CItem BytesItem(std::string_view bytes) {
  CItem item;
  item.kind = ItemKind::Bytes;
  item.bytes.assign(bytes);
  item.size = static_cast<std::uint32_t>(bytes.size());
  return item;
}

std::string SpanName(std::size_t index) { return "spans[" + std::to_string(index) + "]"; }

std::string Hex(std::int64_t position) {
  return HexText(static_cast<std::uint32_t>(position));
}

} // namespace

std::int64_t StandardFileOf(const CDebugMap &map) {
  // Every build reads std.tvh first.
  return !map.files.empty() && map.files[0].name == "std.tvh" ? 0 : -1;
}

bool IsWritable(const CDecodedInstruction &instruction) {
  if (instruction.definition == nullptr)
    return false;
  const std::string &name = instruction.definition->name;
  if (!IsIdentifierName(name) || OwnerOfWord(name) != NameOwner::None)
    return false;
  for (std::int32_t i = 0; i < instruction.count; ++i) {
    const CDecodedParameter &parameter = instruction.parameters[static_cast<std::size_t>(i)];
    const CValueKind &info = KindInfo(parameter.kind);
    if (parameter.mode == MODE_VALUE && info.form != CValueKind::String &&
        !NumberText(parameter.kind, parameter.bits))
      return false;
  }
  return true;
}

void SweepImage(std::string_view bytes, std::int64_t start,
                const CInstructionDecoder &decoder, CListing &listing) {
  std::size_t pending = 0; // first byte not yet in an item
  auto flush = [&](std::size_t upTo) {
    if (upTo == pending)
      return;
    CItem item = BytesItem(bytes.substr(pending, upTo - pending));
    item.position = start + static_cast<std::int64_t>(pending);
    item.address = static_cast<std::int32_t>(pending);
    listing.items.push_back(std::move(item));
  };
  std::size_t at = 0;
  while (at < bytes.size()) {
    CItem item;
    std::string_view rest = bytes.substr(at);
    if (decoder.Decode(rest, item.instruction) == DecodeStatus::Ok &&
        IsWritable(item.instruction)) {
      item.kind = ItemKind::Instruction;
      item.size = item.instruction.size;
      item.bytes.assign(rest.substr(0, item.size));
    } else if (!CutSkip(rest, KIND_1U, 0, item)) {
      ++at;
      continue;
    }
    flush(at);
    item.position = start + static_cast<std::int64_t>(at);
    item.address = static_cast<std::int32_t>(at);
    at += item.size;
    pending = at;
    listing.items.push_back(std::move(item));
  }
  flush(at);
}

bool ListWithMap(std::string_view bytes, std::int64_t start, const CDebugMap &map,
                 const CInstructionFile &instructions,
                 const CInstructionDecoder &decoder, CListing &listing,
                 std::string &error) {
  const std::int64_t end = start + static_cast<std::int64_t>(bytes.size());
  const std::int64_t standardFile = StandardFileOf(map);
  std::int64_t position = start;
  std::int32_t address = 0;
  auto add = [&](CItem item, std::int64_t span) {
    item.position = position;
    item.span = span;
    position += item.size;
    address = static_cast<std::int32_t>(static_cast<std::uint32_t>(item.address) + item.size);
    listing.items.push_back(std::move(item));
  };
  auto gap = [&](std::int64_t upTo) {
    CItem item = BytesItem(bytes.substr(static_cast<std::size_t>(position - start),
                                        static_cast<std::size_t>(upTo - position)));
    item.address = address;
    listing.warnings.push_back("the bytes at positions " + Hex(position) + " to " +
                               Hex(upTo - 1) + " are in no span of the map");
    add(std::move(item), -1);
  };
  for (std::size_t i = 0; i < map.spans.size(); ++i) {
    const CMapSpan &span = map.spans[i];
    if (span.position < position) {
      error = SpanName(i) + " begins before the end of the span before it";
      return false;
    }
    if (span.position > position) {
      if (span.position > end) {
        error = SpanName(i) + " begins past the end of the image";
        return false;
      }
      gap(span.position);
    }
    if (span.size == 0)
      continue;
    // No statement places more than a count of 32 bits allows.
    if (span.size > 0x7FFFFFFF) {
      error = SpanName(i) + " is larger than any statement writes";
      return false;
    }
    bool pastEnd = span.position >= end;
    if (span.kind == SpanKind::Reserve && pastEnd) {
      // Reserved space at the very end is not in the file.
      CItem item;
      item.kind = ItemKind::Reserve;
      item.size = static_cast<std::uint32_t>(span.size);
      item.address = span.address;
      add(std::move(item), static_cast<std::int64_t>(i));
      continue;
    }
    if (span.size > end - span.position) {
      error = SpanName(i) + " runs past the end of the image";
      return false;
    }
    std::string_view data = bytes.substr(static_cast<std::size_t>(span.position - start),
                                         static_cast<std::size_t>(span.size));
    CItem item;
    item.size = static_cast<std::uint32_t>(span.size);
    bool fits = false;
    switch (span.kind) {
    case SpanKind::Instruction: {
      const CInstruction *definition = instructions.Find(span.instruction);
      fits = definition != nullptr &&
             DecodeAs(*definition, data, item.size, item.instruction) == DecodeStatus::Ok;
      if (!fits)
        fits = decoder.Decode(data, item.instruction) == DecodeStatus::Ok &&
               item.instruction.size == item.size;
      fits = fits && IsWritable(item.instruction);
      item.kind = ItemKind::Instruction;
      break;
    }
    case SpanKind::Data:
    case SpanKind::String:
      item.kind = ItemKind::Values;
      item.valueKind = span.valueKind;
      fits = span.valueKind != 0 && CutValues(data, span.valueKind, 0, item.valueOffsets);
      break;
    case SpanKind::Skip:
      fits = span.valueKind != 0 && CutSkip(data, span.valueKind, span.size, item);
      break;
    case SpanKind::Reserve:
      item.kind = ItemKind::Reserve;
      fits = data.find_first_not_of('\0') == std::string_view::npos;
      break;
    case SpanKind::IncludeBin:
      item.kind = ItemKind::Bytes;
      fits = true;
      break;
    }
    if (!fits) {
      listing.warnings.push_back(SpanName(i) + " at position " + Hex(span.position) +
                                 " does not hold what it names; written as bytes");
      item = BytesItem(data);
    }
    if (item.kind != ItemKind::Reserve)
      item.bytes.assign(data);
    item.address = span.address;
    item.standard = span.file == standardFile;
    add(std::move(item), static_cast<std::int64_t>(i));
  }
  if (position < end)
    gap(end);
  // Reserved bytes reach the file only when written bytes follow them; ones
  // that the map puts last in the file are written as data.
  for (std::size_t i = listing.items.size(); i-- > 0;) {
    CItem &item = listing.items[i];
    if (item.kind != ItemKind::Reserve)
      break;
    if (item.position >= end)
      continue;
    listing.warnings.push_back("the reserved bytes at position " + Hex(item.position) +
                               " end the file; written as data");
    item.kind = ItemKind::Bytes;
    item.bytes.assign(static_cast<std::size_t>(item.size), '\0');
  }
  listing.labels = map.labels;
  listing.bootCommand = map.image.bootCommand;
  return true;
}
