//===- assembler/namespaces.h - Namespaces and the labels they hold -*- C++ -*-===//
//
// Labels live in nested namespaces that "namespace" and "end" open and
// close. Every namespace holds its labels and the namespaces opened in it by
// name, in any letter case. A name is looked up from a namespace outward to
// the global one, and the innermost namespace that holds it wins; a
// qualified name "c.x" is the label x of the namespace c seen from each
// level in turn.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_ASSEMBLER_NAMESPACES_H
#define FERROX_ASSEMBLER_NAMESPACES_H

#include "source/token.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// The open namespaces as written, outermost first, joined by "."; empty at
/// the top.
extern std::string g_Namespace;
/// Labels defined in this build.
extern std::int32_t g_LabelsDefined;

/// A defined label.
struct CLabel {
  std::int32_t value = 0;
};

/// A namespace of this build; kGlobalNamespace is the top one.
using NamespaceId = std::uint32_t;
inline constexpr NamespaceId kGlobalNamespace = 0;

/// Namespaces nested deeper than this are refused with error 912. Real
/// programs nest a handful of levels; the bound keeps every lookup, which
/// walks the levels outward, to at most 257 probes (a few microseconds).
inline constexpr std::uint32_t kMaxNamespaceDepth = 256;

/// The "namespace" command: opens a named or made-up namespace (912 past
/// the depth bound).
bool BeginNamespace(CSourceLine &line);
/// The "end" command: closes the innermost namespace (error 902).
bool EndNamespace(CSourceLine &line);

/// Defines `name` in the current namespace at the offset counter (904).
bool DefineLabel(std::string_view name);

/// The namespace that label uses are looked up from.
NamespaceId CurrentNamespace();
/// False inside a namespace refused for its depth: it holds nothing, so
/// labels are neither defined nor looked up there.
bool InUsableNamespace();

/// The label that the name `nameTokens` (encoded tokens: an identifier, or
/// identifiers joined by "." symbols) means from namespace `from`, or
/// nullptr. Like FindLabel's, the result is valid until the next label is
/// defined.
const CLabel *LookUpLabel(NamespaceId from, std::string_view nameTokens);
/// The number of that label in the order of ListLabels, or -1; for the
/// programs around a build, which learn a statement's namespace from
/// CurrentNamespace and look its uses up once the build has ended.
std::int64_t LookUpLabelNumber(NamespaceId from, std::string_view nameTokens);
/// Looks `name` (dotted or not) up from the namespace path `nameSpace`
/// outward; nullptr when not found.
const CLabel *FindLabel(std::string_view nameSpace, std::string_view name);

/// A label as the companion programs list it.
struct CLabelInfo {
  std::string name; ///< full name, as written at the definition
  std::int32_t value = 0;
  std::uint32_t fileId = kNoFileId; ///< where it was defined
  std::int32_t line = 0;
};
/// Every label of this build, in the order defined.
std::vector<CLabelInfo> ListLabels();

/// Forgets every namespace and label and the open path, and sets the
/// counter back to 0.
void ResetNamespaces();

#endif // FERROX_ASSEMBLER_NAMESPACES_H
