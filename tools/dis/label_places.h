//===- tools/dis/label_places.h - Where a listing's labels go ---*- C++ -*-===//
//
// Chooses for every label of the source a place whose address is the
// label's value: before a statement, inside one at a parameter or value
// (as a parameter label, or cutting a data statement in two), or, where no
// byte has that address, on a line of its own between two "offset"
// commands that move the address counter there and back.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_DIS_LABEL_PLACES_H
#define FERROX_TOOLS_DIS_LABEL_PLACES_H

#include "tools/dis/debug_map.h"
#include "tools/dis/listing.h"

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

/// A place: item `item`, `offset` bytes into it (0: before it); with
/// `beforeJump`, before the address jump in front of the item.
using CPlaceKey = std::tuple<std::size_t, std::uint32_t, bool>;

struct CLabelPlaces {
  /// Labels by place, in the order they are defined there.
  std::map<CPlaceKey, std::vector<std::string>> at;
  /// Labels defined by moving the address counter, with their values, by
  /// the item they precede (the number of items for the end).
  std::map<std::size_t, std::vector<std::pair<std::string, std::int32_t>>> floating;
  /// The name that stands for each value in the source.
  std::unordered_map<std::int32_t, std::string> nameOf;
};

/// Whether a label inside `item` is a parameter label (instructions and
/// skip blocks) rather than a line between two parts of the item.
bool TakesInlineLabels(const CItem &item);

/// Where the labels of `listing` go: those of `map` when there is one
/// (labels std.tvh defines are only used), else generated labels for the
/// addresses in modes 2 and 3 that a statement or parameter starts at.
CLabelPlaces PlaceLabels(const CListing &listing, const CDebugMap *map);

#endif // FERROX_TOOLS_DIS_LABEL_PLACES_H
