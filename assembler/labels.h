//===- assembler/labels.h - Label uses and patching -------------*- C++ -*-===//
//
// A label used before its definition reads as 0: the use writes four zero
// bytes and records a fix-up, and once every line is assembled PatchLabels
// looks the name up again, from the namespace of the use, and writes the
// label's value over those bytes.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_ASSEMBLER_LABELS_H
#define FERROX_ASSEMBLER_LABELS_H

#include "assembler/namespaces.h"
#include "assembler/values.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

/// One use of a label that was not defined at the time.
struct CLabelFixup {
  /// The encoded tokens of the name as written (an identifier, or
  /// identifiers joined by "." symbols); they live as long as the lines.
  std::string_view tokens;
  std::uint64_t position = 0; ///< Where the 4-byte value belongs.
  NamespaceId nameSpace = kGlobalNamespace; ///< The namespace of the use.
  std::uint32_t fileId = 0;
  std::int32_t line = 0;
  /// Uses of the same label at `position`, `position + 4`, ... (an array
  /// of label values).
  std::uint32_t repeat = 1;
};

/// The fix-ups in the order recorded.
extern std::deque<CLabelFixup> g_LabelFixups;

extern std::int32_t g_LabelsUsed;

/// The value of a label use, or 0 with a fix-up recorded at the current
/// output position.
std::int32_t ReferenceLabel(const CParameter &parameter);
/// Counts `count` further uses of a label that a command repeats.
void CountLabelUses(std::uint64_t count);
/// The value of a label use that must already be defined (error 910).
bool ReferenceDefinedLabel(const CParameter &parameter, std::int32_t &value);
/// `path` + "." + `name`, or `name` alone when the path is empty.
std::string JoinName(std::string_view path, std::string_view name);
/// The dotted name of a parameter's value tokens (error 700 if malformed).
std::string TokensToPath(std::string_view encodedTokens);

/// Writes every recorded fix-up's label value (error 905 for unknown ones).
void PatchLabels();

/// Forgets the fix-ups, the namespaces and their labels, and sets the
/// counters back to 0.
void ResetLabels();

#endif // FERROX_ASSEMBLER_LABELS_H
