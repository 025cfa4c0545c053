//===- tools/dis/label_places.cpp - Where a listing's labels go -----------===//

#include "tools/dis/label_places.h"

#include "assembler/values.h"
#include "instructions/names.h"
#include "util/text.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>

namespace {

std::uint32_t U(std::int32_t value) { return static_cast<std::uint32_t>(value); }

std::int32_t Advance(std::int32_t address, std::uint64_t count) {
  return static_cast<std::int32_t>(U(address) + static_cast<std::uint32_t>(count));
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

class CPlacer {
public:
  CPlacer(const CListing &listing, const CDebugMap *map)
      : m_Listing(listing), m_Map(map), m_Items(listing.items) {}

  CLabelPlaces Run() {
    FindSegments();
    if (m_Map != nullptr)
      PlaceMapLabels();
    else
      PlaceGeneratedLabels();
    return std::move(m_Places);
  }

private:
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
    m_Places.nameOf.emplace(value, name);
    if (anchor) {
      std::vector<std::string> &names = m_Places.at[anchor->Key()];
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
    m_Places.floating[fallback].push_back({name, value});
  }

  void PlaceMapLabels() {
    // Hints follow the file order of the spans; a prefix maximum of lines
    // per file finds the first span at or after a line quickly.
    std::map<std::int64_t, std::vector<std::pair<std::int64_t, std::size_t>>> byFile;
    for (std::size_t i = 0; i < m_Items.size(); ++i) {
      if (m_Items[i].span < 0)
        continue;
      const CMapSpan &s = m_Map->spans[static_cast<std::size_t>(m_Items[i].span)];
      auto &list = byFile[s.file];
      list.push_back({std::max(s.line, list.empty() ? 0 : list.back().first), i});
    }
    const std::int64_t standardFile = StandardFileOf(*m_Map);
    for (const CMapLabel &label : m_Listing.labels) {
      if (!IsUsableLabelName(label.name) || m_Taken.count(LowerCopy(label.name)) != 0)
        continue;
      // std.tvh defines its labels again; the source only uses them.
      if (label.file == standardFile) {
        m_Taken.insert(LowerCopy(label.name));
        m_Places.nameOf.emplace(label.value, label.name);
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
            m_Map->spans[static_cast<std::size_t>(m_Items[anchor.item].span)];
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
        if (parameter.mode == MODE_VALUE || m_Places.nameOf.count(value) != 0)
          continue;
        std::vector<CAnchor> anchors = AnchorsAt(value);
        for (const CAnchor &anchor : anchors) {
          auto used = m_Places.at.find(anchor.Key());
          bool inside = anchor.item < m_Items.size() && anchor.offset != 0 &&
                        TakesInlineLabels(m_Items[anchor.item]);
          if (inside && used != m_Places.at.end() && !used->second.empty())
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

  const CListing &m_Listing;
  const CDebugMap *m_Map;
  const std::vector<CItem> &m_Items;
  std::vector<CSegment> m_Segments;
  std::vector<std::uint64_t> m_SegmentOffset; ///< Per item, within its segment.
  std::set<std::string> m_Taken;              ///< Lower-cased names.
  CLabelPlaces m_Places;
};

} // namespace

bool TakesInlineLabels(const CItem &item) {
  return item.kind == ItemKind::Instruction || item.kind == ItemKind::Skip;
}

CLabelPlaces PlaceLabels(const CListing &listing, const CDebugMap *map) {
  return CPlacer(listing, map).Run();
}
