//===- tools/dis/debug_map.h - The debug map of a build ---------*- C++ -*-===//
//
// Reads the debug map that ferrox-list --map writes (docs/map.schema.json):
// the image's layout, the source files, every label and every span of bytes
// with the statement kind that placed it. The reader holds to the schema: a
// missing required property, one it does not define, a value of the wrong
// type or out of its range is an error.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_DIS_DEBUG_MAP_H
#define FERROX_TOOLS_DIS_DEBUG_MAP_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CMapImage {
  std::optional<std::string> file;
  std::int64_t size = 0;
  bool header = false;
  bool bootInfo = false;
  std::uint32_t boot = 0;
  std::string bootCommand; ///< Empty when none set the value.
  std::int64_t start = 0;
};

struct CMapFile {
  std::string path;
  std::string name;
};

struct CMapLabel {
  std::string name; ///< Full name, namespaces joined by ".".
  std::int32_t value = 0;
  std::int64_t file = 0;
  std::int64_t line = 0;
};

enum class SpanKind { Instruction, Data, String, Reserve, Skip, IncludeBin };

struct CMapSpan {
  std::int32_t address = 0;
  std::int64_t position = 0;
  std::int64_t size = 0;
  SpanKind kind = SpanKind::Data;
  std::string instruction;    ///< For an instruction; may be empty.
  std::int32_t valueKind = 0; ///< ValueKind of data, strings, skips; 0 if none.
  std::int64_t file = 0;
  std::int64_t line = 0;
};

struct CDebugMap {
  CMapImage image;
  std::vector<CMapFile> files;
  std::vector<CMapLabel> labels;
  std::vector<CMapSpan> spans; ///< In source order.
};

/// Reads the map in `text`. False with a message (naming the property at
/// fault, such as "spans[3].kind") when it is no such map.
bool ParseDebugMap(const std::string &text, CDebugMap &map, std::string &error);

#endif // FERROX_TOOLS_DIS_DEBUG_MAP_H
