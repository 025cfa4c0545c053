//===- assembler/labels.h - Labels and namespaces ---------------*- C++ -*-===//
//
// Labels name addresses and live in nested namespaces. A use before the
// definition writes 0 and records a fix-up; PatchLabels writes the values
// over those bytes once every line is assembled. Names are not
// case-sensitive.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_ASSEMBLER_LABELS_H
#define FERROX_ASSEMBLER_LABELS_H

#include "assembler/values.h"
#include "util/chunked_vector.h"
#include "source/token.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// The open namespaces, outermost first, joined by "."; empty at the top.
extern std::string g_Namespace;

/// A defined label.
struct CLabel {
  std::int32_t value = 0;
};

/// One use of a label that was not defined at the time.
struct CLabelFixup {
  /// The encoded tokens of the name as written (an identifier, or
  /// identifiers joined by "." symbols); they live as long as the lines.
  std::string_view tokens;
  std::uint64_t position = 0;  ///< Where the 4-byte value belongs.
  std::uint32_t nameSpace = 0; ///< The namespace of the use.
  std::uint32_t fileId = 0;
  std::int32_t line = 0;
  /// Uses of the same label at `position`, `position + 4`, ... (an array
  /// of label values).
  std::uint32_t repeat = 1;
};

/// The fix-ups in the order recorded; the list grows without copying.
extern CChunkedVector<CLabelFixup> g_LabelFixups;

extern std::int32_t g_LabelsDefined;
extern std::int32_t g_LabelsUsed;

/// The "namespace" command: opens a named or made-up namespace.
bool BeginNamespace(CSourceLine &line);
/// The "end" command: closes the innermost namespace (error 902).
bool EndNamespace(CSourceLine &line);

/// Defines `name` in the current namespace at the offset counter (904).
bool DefineLabel(std::string_view name);
/// Looks `name` up from `nameSpace` outward; nullptr when not found.
const CLabel *FindLabel(std::string_view nameSpace, std::string_view name);
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

/// Empties the label table and the fix-up list.
void ClearLabels();
/// Resets all label state, the namespace path and the counters.
void ResetLabels();

#endif // FERROX_ASSEMBLER_LABELS_H
