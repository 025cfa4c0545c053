//===- tools/dis/source_writer.cpp - The source of a listing --------------===//

#include "tools/dis/source_writer.h"

#include "assembler/values.h"
#include "tools/dis/label_places.h"
#include "tools/dis/value_text.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::size_t kCommentColumn = 40;
constexpr std::size_t kBytesPerLine = 16;
constexpr std::size_t kNumbersPerLine = 8;
constexpr std::size_t kStringBytesPerLine = 64;
const std::string kIndent = "        ";

std::uint32_t U(std::int32_t value) { return static_cast<std::uint32_t>(value); }

/// Addresses wrap at 32 bits, as the assembler's counter does.
std::int32_t Advance(std::int32_t address, std::uint64_t count) {
  return static_cast<std::int32_t>(U(address) + static_cast<std::uint32_t>(count));
}

std::uint64_t LittleEndian(std::string_view bytes, std::size_t at, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i)
    value |= std::uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return value;
}



class CWriter {
public:
  CWriter(const CListing &listing, const CSourceOptions &options)
      : m_Listing(listing), m_Options(options), m_Items(listing.items) {}

  std::string Run() {
    m_Places = PlaceLabels(m_Listing, m_Options.map);
    WriteHeader();
    std::int32_t address = 0;
    std::int64_t position = m_Listing.start;
    for (std::size_t i = 0; i <= m_Items.size(); ++i) {
      bool atEnd = i == m_Items.size();
      if (!atEnd && m_Items[i].standard) {
        address = Advance(m_Items[i].address, m_Items[i].size);
        position = m_Items[i].position + m_Items[i].size;
        continue;
      }
      LabelLinesAt({i, 0u, true}, address, position);
      Floating(i, address, position);
      if (!atEnd && m_Items[i].address != address) {
        address = m_Items[i].address;
        Line(kIndent + "offset " + HexText(U(address)), address, position);
      }
      LabelLinesAt({i, 0u, false}, address, position);
      if (m_BootEndAt == static_cast<std::int64_t>(i))
        Line(kIndent + "bootend", address, position);
      if (atEnd)
        break;
      WriteItem(i);
      address = Advance(m_Items[i].address, m_Items[i].size);
      position = m_Items[i].position + m_Items[i].size;
    }
    return m_Out;
  }

private:
  // --- Lines -----------------------------------------------------------------

  void Line(std::string text, std::int32_t address, std::int64_t position) {
    if (text.size() < kCommentColumn)
      text.resize(kCommentColumn, ' ');
    else
      text += ' ';
    char comment[40];
    std::snprintf(comment, sizeof comment, "; %08x @ %08x", U(address),
                  static_cast<std::uint32_t>(position));
    m_Out += text;
    m_Out += comment;
    m_Out += '\n';
  }

  /// A label on a line of its own, inside the namespaces its name gives.
  void LabelLine(const std::string &name, std::int32_t address, std::int64_t position) {
    std::size_t depth = 0;
    std::size_t start = 0;
    for (std::size_t dot; (dot = name.find('.', start)) != std::string::npos; start = dot + 1) {
      Line("namespace " + name.substr(start, dot - start), address, position);
      ++depth;
    }
    Line(name.substr(start) + ":", address, position);
    for (; depth > 0; --depth)
      Line("end", address, position);
  }

  void LabelLinesAt(const CPlaceKey &place, std::int32_t address, std::int64_t position) {
    auto found = m_Places.at.find(place);
    if (found == m_Places.at.end())
      return;
    // Labels in deeper namespaces first: a label may not take a name an
    // enclosing namespace already shows, but the outer one may follow.
    std::vector<std::string> names = found->second;
    std::stable_sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
      return std::count(a.begin(), a.end(), '.') > std::count(b.begin(), b.end(), '.');
    });
    for (const std::string &name : names)
      LabelLine(name, address, position);
  }

  /// Labels whose address no statement starts at: the counter is moved to
  /// it and back.
  void Floating(std::size_t item, std::int32_t address, std::int64_t position) {
    auto found = m_Places.floating.find(item);
    if (found == m_Places.floating.end())
      return;
    for (const auto &[name, value] : found->second) {
      Line(kIndent + "offset " + HexText(U(value)), address, position);
      LabelLine(name, value, position);
      Line(kIndent + "offset " + HexText(U(address)), value, position);
    }
  }

  void WriteHeader() {
    m_Out += "; " + m_Options.title + "\n";
    std::string command = "; Assemble with: ferrox SOURCE DESTINATION";
    if (!m_Listing.header)
      command += " -nodisk";
    if (!m_Listing.bootInfo)
      command += " -nobootinfo";
    m_Out += command + "\n";
    m_Out += "; Comments: each line's address, then @ and its position in the image.\n";
    if (!m_Listing.bootInfo)
      return;
    std::uint32_t boot = m_Listing.boot;
    std::int64_t total = m_Listing.start;
    if (!m_Items.empty())
      total = m_Items.back().position + m_Items.back().size;
    bool wantEnd = m_Listing.bootCommand == "bootend" ||
                   (m_Options.map == nullptr && boot != 0 && boot != 0xFFFFFFFFu &&
                    boot == total - m_Listing.start);
    if (wantEnd) {
      for (std::size_t i = 0; i <= m_Items.size() && m_BootEndAt < 0; ++i) {
        std::int64_t position = i < m_Items.size() ? m_Items[i].position : total;
        if ((i == m_Items.size() || !m_Items[i].standard) &&
            position - m_Listing.start == boot)
          m_BootEndAt = static_cast<std::int64_t>(i);
      }
      if (m_BootEndAt >= 0)
        return;
    }
    std::string text = boot == 0              ? "bootnone"
                       : boot == 0xFFFFFFFFu ? "bootall"
                                             : "boot &" + HexText(boot);
    Line(kIndent + text, 0, m_Listing.start);
  }

  // --- Items -----------------------------------------------------------------

  /// The text of a number value; a "4i" that is a map label's address is
  /// written as that label.
  std::string Number(std::int32_t kind, std::uint64_t bits) const {
    if (kind == KIND_4I && m_Options.map != nullptr) {
      auto found = m_Places.nameOf.find(static_cast<std::int32_t>(bits));
      if (found != m_Places.nameOf.end())
        return "&" + found->second;
    }
    return NumberText(kind, bits).value_or("0");
  }

  /// The label text in front of a value at `offset` of item `index`.
  std::string InlineLabel(std::size_t index, std::uint32_t offset) const {
    if (offset == 0)
      return "";
    auto found = m_Places.at.find(std::make_tuple(index, offset, false));
    return found != m_Places.at.end() && !found->second.empty() ? found->second[0] + ": " : "";
  }

  /// The string value of a string kind that starts at `at` and ends before
  /// `end`, without its length or zero byte.
  static std::string_view StringValue(const CItem &item, std::uint32_t at, std::uint32_t end) {
    const CValueKind &info = KindInfo(item.valueKind);
    std::string_view bytes = std::string_view(item.bytes).substr(at, end - at);
    bytes.remove_prefix(info.width);
    if (info.terminated)
      bytes.remove_suffix(1);
    return bytes;
  }

  void WriteInstruction(std::size_t index) {
    const CItem &item = m_Items[index];
    const CDecodedInstruction &instruction = item.instruction;
    std::string text = kIndent + instruction.definition->name;
    for (std::int32_t p = 0; p < instruction.count; ++p) {
      const CDecodedParameter &parameter = instruction.parameters[static_cast<std::size_t>(p)];
      text += p == 0 ? " " : ", ";
      // An empty "ns" string shares its offset with the next parameter:
      // the label goes on the first of them only, or it is defined twice.
      const CDecodedParameter *previous =
          p == 0 ? nullptr : &instruction.parameters[static_cast<std::size_t>(p - 1)];
      if (previous == nullptr || previous->offset != parameter.offset)
        text += InlineLabel(index, parameter.offset);
      if (parameter.mode != MODE_VALUE) {
        text += parameter.mode == MODE_CARET ? "^" : "*";
        auto found = m_Places.nameOf.find(static_cast<std::int32_t>(parameter.bits));
        text += found != m_Places.nameOf.end() ? found->second
                                        : HexText(static_cast<std::uint32_t>(parameter.bits));
      } else if (KindInfo(parameter.kind).form == CValueKind::String) {
        text += "&" + QuotedText(parameter.text);
      } else {
        std::string number = Number(parameter.kind, parameter.bits);
        text += number[0] == '&' ? number : "&" + number;
      }
    }
    Line(text, item.address, item.position);
  }

  void WriteSkip(std::size_t index) {
    const CItem &item = m_Items[index];
    const CValueKind &info = KindInfo(item.valueKind);
    std::string text = kIndent + "skip" + std::string(info.name);
    for (std::size_t v = 0; v < item.valueOffsets.size(); ++v) {
      std::uint32_t at = item.valueOffsets[v];
      std::uint32_t end = v + 1 < item.valueOffsets.size() ? item.valueOffsets[v + 1] : item.size;
      text += v == 0 ? " " : ", ";
      text += InlineLabel(index, at);
      if (info.form == CValueKind::String)
        text += QuotedText(StringValue(item, at, end));
      else
        text += Number(item.valueKind, LittleEndian(item.bytes, at, info.width));
    }
    Line(text, item.address, item.position);
  }

  /// Part [from, to) of a Bytes, Values or Reserve item.
  void WritePiece(const CItem &item, std::uint32_t from, std::uint32_t to) {
    auto where = [&](std::uint32_t at) {
      return std::make_pair(Advance(item.address, at), item.position + at);
    };
    if (item.kind == ItemKind::Reserve) {
      auto [address, position] = where(from);
      Line(kIndent + "reserve " + std::to_string(to - from), address, position);
      return;
    }
    const CValueKind &info = KindInfo(item.valueKind);
    if (item.kind == ItemKind::Bytes || item.valueKind == KIND_NS) {
      for (std::uint32_t at = from; at < to;) {
        auto [address, position] = where(at);
        if (item.kind == ItemKind::Bytes) {
          std::uint32_t end = std::min<std::uint32_t>(to, at + kBytesPerLine);
          std::string text = kIndent + "data1u ";
          for (std::uint32_t b = at; b < end; ++b) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "%s0x%02x", b == at ? "" : ", ",
                          static_cast<unsigned char>(item.bytes[b]));
            text += buffer;
          }
          Line(text, address, position);
          at = end;
        } else {
          std::uint32_t end = std::min<std::uint32_t>(to, at + kStringBytesPerLine);
          Line(kIndent + "datans " + QuotedText(std::string_view(item.bytes).substr(at, end - at)),
               address, position);
          at = end;
        }
      }
      return;
    }
    auto first = std::lower_bound(item.valueOffsets.begin(), item.valueOffsets.end(), from);
    auto last = std::lower_bound(item.valueOffsets.begin(), item.valueOffsets.end(), to);
    std::size_t perLine = info.form == CValueKind::String ? 1 : kNumbersPerLine;
    for (auto value = first; value < last;) {
      auto [address, position] = where(*value);
      std::string text = kIndent + "data" + std::string(info.name) + " ";
      for (std::size_t n = 0; n < perLine && value < last; ++n, ++value) {
        std::uint32_t end = value + 1 < item.valueOffsets.end() ? *(value + 1) : item.size;
        if (n != 0)
          text += ", ";
        text += info.form == CValueKind::String
                    ? QuotedText(StringValue(item, *value, end))
                    : Number(item.valueKind, LittleEndian(item.bytes, *value, info.width));
      }
      Line(text, address, position);
    }
  }

  void WriteItem(std::size_t index) {
    const CItem &item = m_Items[index];
    if (item.kind == ItemKind::Instruction)
      return WriteInstruction(index);
    if (item.kind == ItemKind::Skip)
      return WriteSkip(index);
    // Labels inside the item split it into parts, each a statement of its
    // own that begins with its labels.
    std::vector<std::uint32_t> cuts;
    for (auto it = m_Places.at.lower_bound(std::make_tuple(index, std::uint32_t{1}, false));
         it != m_Places.at.end() && std::get<0>(it->first) == index; ++it)
      if (!std::get<2>(it->first) && std::get<1>(it->first) < item.size)
        cuts.push_back(std::get<1>(it->first));
    cuts.push_back(item.size);
    std::uint32_t from = 0;
    for (std::uint32_t cut : cuts) {
      if (from != 0)
        LabelLinesAt({index, from, false}, Advance(item.address, from), item.position + from);
      WritePiece(item, from, cut);
      from = cut;
    }
  }

  const CListing &m_Listing;
  const CSourceOptions &m_Options;
  const std::vector<CItem> &m_Items;
  CLabelPlaces m_Places;
  std::int64_t m_BootEndAt = -1;
  std::string m_Out;
};

} // namespace

std::string WriteSource(const CListing &listing, const CSourceOptions &options) {
  return CWriter(listing, options).Run();
}
