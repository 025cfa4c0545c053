//===- tools/dis/listing.h - An image cut into statements -------*- C++ -*-===//
//
// The assembled bytes of an image as a sequence of items, each of which one
// statement (or a few, where labels split it) writes back: instructions,
// data values of one kind, skip blocks, reserved space and plain bytes.
// Without a debug map a linear sweep finds them; with one, the map's spans
// say what every byte is.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_DIS_LISTING_H
#define FERROX_TOOLS_DIS_LISTING_H

#include "instructions/decoder.h"
#include "instructions/instruction_file.h"
#include "tools/dis/debug_map.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class ItemKind {
  Instruction,
  Bytes,   ///< data1u, for bytes nothing else explains
  Values,  ///< data of one kind
  Skip,    ///< a skip block of one kind
  Reserve, ///< reserved zeros, possibly past the end of the file
};

struct CItem {
  ItemKind kind = ItemKind::Bytes;
  std::int64_t position = 0; ///< File position of the first byte.
  std::int32_t address = 0;  ///< Address of the first byte.
  std::uint32_t size = 0;
  std::int32_t valueKind = 0; ///< Values and Skip.
  CDecodedInstruction instruction;
  /// The item's bytes (none for Reserve).
  std::string bytes;
  /// Values and Skip: where each value starts, from the item's first byte.
  std::vector<std::uint32_t> valueOffsets;
  /// The map span that the item comes from, or -1.
  std::int64_t span = -1;
  /// Placed by std.tvh, which every build assembles first: it places the
  /// item again, so the source leaves it out.
  bool standard = false;
};

/// What the source must reproduce besides the items.
struct CListing {
  std::vector<CItem> items; ///< In image order.
  std::int64_t start = 0;   ///< File position of the first assembled byte.
  bool header = true;
  bool bootInfo = true;
  std::uint32_t boot = 0xFFFFFFFFu;
  /// The boot command to prefer ("bootend" ...); empty to choose by value.
  std::string bootCommand;
  std::vector<CMapLabel> labels; ///< Labels to define, from a map.
  std::vector<std::string> warnings;
};

/// Whether the decoded instruction can be written as a statement that
/// assembles to its bytes: a usable name and values that text can give.
bool IsWritable(const CDecodedInstruction &instruction);

/// The index in the map's files of std.tvh, which every build assembles
/// before its source, or -1.
std::int64_t StandardFileOf(const CDebugMap &map);

/// Cuts `bytes` (the assembled bytes, which start at file position `start`)
/// with a linear sweep: instructions where the bytes fit a definition, skip
/// blocks, and plain bytes elsewhere, resynchronising at the next byte.
/// Addresses count from 0.
void SweepImage(std::string_view bytes, std::int64_t start,
                const CInstructionDecoder &decoder, CListing &listing);

/// Cuts `bytes` as the spans of `map` say; spans whose bytes are not what
/// they claim become plain bytes with a warning. False with `error` when
/// the map does not describe this image.
bool ListWithMap(std::string_view bytes, std::int64_t start, const CDebugMap &map,
                 const CInstructionFile &instructions,
                 const CInstructionDecoder &decoder, CListing &listing,
                 std::string &error);

#endif // FERROX_TOOLS_DIS_LISTING_H
