//===- tools/list/map.h - The JSON debug map and the symbol list -*- C++ -*-===//
//
// The map is the document docs/map.schema.json describes and docs/map.md
// explains field by field. Texts that are not UTF-8 (a path, say) have
// their stray bytes replaced by U+FFFD: JSON holds Unicode text only.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LIST_MAP_H
#define FERROX_TOOLS_LIST_MAP_H

#include "tools/list/collector.h"

#include <string>

/// The debug map of a build.
std::string RenderMap(const CBuildRecord &build);

/// Every label, "full.name = 0x0000001a" a line, ordered by value (as an
/// unsigned 32-bit address) and then by name.
std::string RenderSymbols(const CBuildRecord &build);

#endif // FERROX_TOOLS_LIST_MAP_H
