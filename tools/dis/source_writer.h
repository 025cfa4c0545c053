//===- tools/dis/source_writer.h - The source of a listing ------*- C++ -*-===//
//
// Writes a listing as ferrox source that assembles back to the same bytes:
// labels at the places whose addresses they name, "offset" wherever the
// address counter jumps, the boot command, and a comment on every line with
// its address and its position in the image.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_DIS_SOURCE_WRITER_H
#define FERROX_TOOLS_DIS_SOURCE_WRITER_H

#include "tools/dis/debug_map.h"
#include "tools/dis/listing.h"

#include <string>

struct CSourceOptions {
  std::string title;          ///< The first comment line.
  /// The debug map the listing was made with, or nullptr: its labels are
  /// named and used for the values that are their addresses. Without one,
  /// addresses in modes 2 and 3 that point at a statement or parameter get
  /// generated labels.
  const CDebugMap *map = nullptr;
};

/// The source text of `listing`.
std::string WriteSource(const CListing &listing, const CSourceOptions &options);

#endif // FERROX_TOOLS_DIS_SOURCE_WRITER_H
