//===- tools/dis/source_writer.cpp - The source of a listing --------------===//

#include "tools/dis/source_writer.h"

#include "assembler/values.h"
#include "instructions/names.h"
#include "tools/dis/value_text.h"
#include "util/text.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>

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

/// Whether a label can be defined and used under `name`: identifiers
/// joined by dots, none of them taken by a directive or macro first.
bool IsUsableLabelName(std::string_view name) {
  std::size_t start = 0;
  for (;;) {
    std::size_t dot = name.find('.', start);
    std::string_view part = name.substr(start, dot - start);
    if (!IsIdentifierName(part) || OwnerOfWord(part) == NameOwner::Directive ||
        OwnerOfWord(part) == NameOwner::Macro)
      return false;
    if (dot == std::string_view::npos)
      return true;
    start = dot + 1;
  }
}

/// A place for a label: inside item `item` at `offset` (0: before it), or,
/// with `beforeJump`, before the address jump in front of it.
struct CAnchor {
  std::size_t item = 0;
  std::uint32_t offset = 0;
  bool beforeJump = false;
  auto Key() const { return std::make_tuple(item, offset, beforeJump); }
};

/// A run of items whose addresses follow one another.
struct CSegment {
  std::size_t first = 0;
  std::size_t last = 0;
  std::int32_t start = 0;
  std::uint64_t length = 0;
};

class CWriter {
public:
  CWriter(const CListing &listing, const CSourceOptions &options)
      : m_Listing(listing), m_Options(options), m_Items(listing.items) {}

  std::string Run() {
    FindSegments();
    if (m_Options.map != nullptr)
      PlaceMapLabels();
    else
      PlaceGeneratedLabels();
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
      LabelLinesAt({i, 0, true}, address, position);
      Floating(i, address, position);
      if (!atEnd && m_Items[i].address != address) {
        address = m_Items[i].address;
        Line(kIndent + "offset " + HexText(U(address)), address, position);
      }
      LabelLinesAt({i, 0, false}, address, position);
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
  // --- Where labels can stand ----------------------------------------------

  void FindSegments() {
    for (std::size_t i = 0; i < m_Items.size(); ++i) {
      const CItem &item = m_Items[i];
      if (m_Segments.empty() ||
          Advance(m_Items[i - 1].address, m_Items[i - 1].size) != item.address)
        m_Segments.push_back({i, i, item.address, 0});
      CSegment &segment = m_Segments.back();
      m_SegmentOffset.push_back(segment.length);
      segment.last = i;
      segment.length += item.size;
    }
  }

  bool IsAnchor(const CItem &item, std::uint32_t offset) const {
    if (offset == 0 || item.kind == ItemKind::Bytes || item.kind == ItemKind::Reserve ||
        (item.kind == ItemKind::Values && item.valueKind == KIND_NS))
      return true;
    if (item.kind == ItemKind::Instruction) {
      for (std::int32_t p = 0; p < item.instruction.count; ++p)
        if (item.instruction.parameters[static_cast<std::size_t>(p)].offset == offset)
          return true;
      return false;
    }
    return std::binary_search(item.valueOffsets.begin(), item.valueOffsets.end(), offset);
  }

  /// Whether a label inside the item is a parameter label rather than a line
  /// of its own between two parts of it.
  static bool TakesInlineLabels(const CItem &item) {
    return item.kind == ItemKind::Instruction || item.kind == ItemKind::Skip;
  }

  /// Whether item `index` is one the source writes (the end included).
  bool IsWritten(std::size_t index) const {
    return index >= m_Items.size() || !m_Items[index].standard;
  }

  std::vector<CAnchor> AnchorsAt(std::int32_t address) const {
    std::vector<CAnchor> anchors;
    for (const CSegment &segment : m_Segments) {
      std::uint64_t relative = U(address) - U(segment.start);
      if (relative > segment.length)
        continue;
      if (relative == segment.length) {
        std::size_t next = segment.last + 1;
        if (IsWritten(next))
          anchors.push_back({next, 0, next < m_Items.size()});
        continue;
      }
      auto first = m_SegmentOffset.begin() + static_cast<std::ptrdiff_t>(segment.first);
      auto last = m_SegmentOffset.begin() + static_cast<std::ptrdiff_t>(segment.last) + 1;
      auto found = std::upper_bound(first, last, relative) - 1;
      auto index = static_cast<std::size_t>(found - m_SegmentOffset.begin());
      auto offset = static_cast<std::uint32_t>(relative - *found);
      if (IsWritten(index) && IsAnchor(m_Items[index], offset))
        anchors.push_back({index, offset, false});
    }
    return anchors;
  }

  /// Defines `name` at `anchor`, or by moving the address counter before
  /// item `fallback` when the anchor cannot take it.
  void Place(const std::string &name, std::int32_t value,
             const std::optional<CAnchor> &anchor, std::size_t fallback) {
    m_Taken.insert(LowerCopy(name));
    m_NameOf.emplace(value, name);
    if (anchor) {
      std::vector<std::string> &names = m_At[anchor->Key()];
      bool inside = anchor->item < m_Items.size() && anchor->offset != 0 &&
                    TakesInlineLabels(m_Items[anchor->item]);
      // A parameter takes one label, and only an undotted one.
      if (!inside || (names.empty() && name.find('.') == std::string::npos)) {
        names.push_back(name);
        return;
      }
      fallback = anchor->item;
    }
    while (!IsWritten(fallback))
      ++fallback;
    m_Floating[fallback].push_back({name, value});
  }

  void PlaceMapLabels() {
    // Hints follow the file order of the spans; a prefix maximum of lines
    // per file finds the first span at or after a line quickly.
    std::map<std::int64_t, std::vector<std::pair<std::int64_t, std::size_t>>> byFile;
    for (std::size_t i = 0; i < m_Items.size(); ++i) {
      if (m_Items[i].span < 0)
        continue;
      const CMapSpan &s = m_Options.map->spans[static_cast<std::size_t>(m_Items[i].span)];
      auto &list = byFile[s.file];
      list.push_back({std::max(s.line, list.empty() ? 0 : list.back().first), i});
    }
    const std::int64_t standardFile = StandardFileOf(*m_Options.map);
    for (const CMapLabel &label : m_Listing.labels) {
      if (!IsUsableLabelName(label.name) || m_Taken.count(LowerCopy(label.name)) != 0)
        continue;
      // std.tvh defines its labels again; the source only uses them.
      if (label.file == standardFile) {
        m_Taken.insert(LowerCopy(label.name));
        m_NameOf.emplace(label.value, label.name);
        continue;
      }
      std::size_t hint = m_Items.size();
      auto file = byFile.find(label.file);
      if (file != byFile.end()) {
        auto found = std::lower_bound(
            file->second.begin(), file->second.end(), label.line,
            [](const auto &entry, std::int64_t line) { return entry.first < line; });
        if (found != file->second.end())
          hint = found->second;
      }
      std::vector<CAnchor> anchors = AnchorsAt(label.value);
      std::optional<CAnchor> chosen;
      for (const CAnchor &anchor : anchors) {
        if (anchor.item >= m_Items.size() || m_Items[anchor.item].span < 0)
          continue;
        const CMapSpan &s =
            m_Options.map->spans[static_cast<std::size_t>(m_Items[anchor.item].span)];
        if (s.file == label.file && s.line == label.line && !anchor.beforeJump) {
          chosen = anchor;
          break;
        }
      }
      for (const CAnchor &anchor : anchors)
        if (!chosen && anchor.item >= hint)
          chosen = anchor;
      if (!chosen && !anchors.empty())
        chosen = anchors.front();
      Place(label.name, label.value, chosen, hint);
    }
  }

  void PlaceGeneratedLabels() {
    for (const CItem &item : m_Items) {
      if (item.kind != ItemKind::Instruction)
        continue;
      for (std::int32_t p = 0; p < item.instruction.count; ++p) {
        const CDecodedParameter &parameter = item.instruction.parameters[static_cast<std::size_t>(p)];
        auto value = static_cast<std::int32_t>(parameter.bits);
        if (parameter.mode == MODE_VALUE || m_NameOf.count(value) != 0)
          continue;
        std::vector<CAnchor> anchors = AnchorsAt(value);
        for (const CAnchor &anchor : anchors) {
          auto used = m_At.find(anchor.Key());
          bool inside = anchor.item < m_Items.size() && anchor.offset != 0 &&
                        TakesInlineLabels(m_Items[anchor.item]);
          if (inside && used != m_At.end() && !used->second.empty())
            continue;
          Place(GeneratedName(value), value, anchor, 0);
          break;
        }
      }
    }
  }

  std::string GeneratedName(std::int32_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "L_%08x", U(value));
    std::string name = buffer;
    for (int n = 2; m_Taken.count(LowerCopy(name)) != 0; ++n)
      name = std::string(buffer) + "_" + std::to_string(n);
    return name;
  }

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

  void LabelLinesAt(const CAnchor &anchor, std::int32_t address, std::int64_t position) {
    auto found = m_At.find(anchor.Key());
    if (found == m_At.end())
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
    auto found = m_Floating.find(item);
    if (found == m_Floating.end())
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
        if (IsWritten(i) && position - m_Listing.start == boot)
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
      auto found = m_NameOf.find(static_cast<std::int32_t>(bits));
      if (found != m_NameOf.end())
        return "&" + found->second;
    }
    return NumberText(kind, bits).value_or("0");
  }

  /// The label text in front of a value at `offset` of item `index`.
  std::string InlineLabel(std::size_t index, std::uint32_t offset) const {
    if (offset == 0)
      return "";
    auto found = m_At.find(std::make_tuple(index, offset, false));
    return found != m_At.end() && !found->second.empty() ? found->second[0] + ": " : "";
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
      text += InlineLabel(index, parameter.offset);
      if (parameter.mode != MODE_VALUE) {
        text += parameter.mode == MODE_CARET ? "^" : "*";
        auto found = m_NameOf.find(static_cast<std::int32_t>(parameter.bits));
        text += found != m_NameOf.end() ? found->second
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
    for (auto it = m_At.lower_bound(std::make_tuple(index, std::uint32_t{1}, false));
         it != m_At.end() && std::get<0>(it->first) == index; ++it)
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
  std::vector<CSegment> m_Segments;
  std::vector<std::uint64_t> m_SegmentOffset; ///< Per item, within its segment.
  std::map<std::tuple<std::size_t, std::uint32_t, bool>, std::vector<std::string>> m_At;
  std::map<std::size_t, std::vector<std::pair<std::string, std::int32_t>>> m_Floating;
  std::unordered_map<std::int32_t, std::string> m_NameOf;
  std::set<std::string> m_Taken; ///< Lower-cased names and name parts.
  std::int64_t m_BootEndAt = -1;
  std::string m_Out;
};

} // namespace

std::string WriteSource(const CListing &listing, const CSourceOptions &options) {
  return CWriter(listing, options).Run();
}
