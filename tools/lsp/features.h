//===- tools/lsp/features.h - The answers to the editor's requests -*- C++ -*-===//
//
// Each feature reads one program's results and the index of the file the
// request is about, and answers in the protocol's JSON. Positions arrive
// and leave in the client's units; the index counts bytes.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_FEATURES_H
#define FERROX_TOOLS_LSP_FEATURES_H

#include "tools/lsp/index.h"
#include "tools/lsp/jsonrpc.h"
#include "tools/lsp/program.h"
#include "tools/lsp/text.h"

#include <functional>
#include <string>
#include <vector>

namespace lsp {

/// What a feature may look at.
struct CFeatureContext {
  const CProgram &program;
  std::string path; ///< of the file asked about
  const CText &text;
  const CFileIndex &index;
  Encoding encoding = Encoding::Utf16;
  /// The text and the index of any file of the program (nullptr when it
  /// cannot be read), and the URI to name a file by.
  std::function<const CText *(const std::string &)> textOf;
  std::function<const CFileIndex *(const std::string &)> indexOf;
  std::function<std::string(const std::string &)> uriOf;

  /// The protocol range of bytes [start, end) of line `line` of `path`.
  json Range(const std::string &path, std::uint32_t line, std::uint32_t start,
             std::uint32_t end) const;
  json Location(const std::string &path, std::uint32_t line, std::uint32_t start,
                std::uint32_t end) const;
  /// The occurrence at a protocol position of the file, or nullptr.
  const COccurrence *At(CPosition position) const;
};

json Hover(const CFeatureContext &context, CPosition position);
json Definition(const CFeatureContext &context, CPosition position);
json References(const CFeatureContext &context, CPosition position, bool declaration);
json PrepareRename(const CFeatureContext &context, CPosition position);
/// A WorkspaceEdit, or null with `error` set.
json Rename(const CFeatureContext &context, CPosition position, const std::string &name,
            std::string &error);
json Completion(const CFeatureContext &context, CPosition position);
json DocumentSymbols(const CFeatureContext &context);
json FoldingRanges(const CFeatureContext &context);
json SemanticTokens(const CFeatureContext &context);
/// Symbols of `programs` whose names hold `query` (any letter case).
json WorkspaceSymbols(const std::vector<const CProgram *> &programs, const std::string &query,
                      const std::function<const CText *(const std::string &)> &textOf,
                      const std::function<std::string(const std::string &)> &uriOf,
                      Encoding encoding);

/// The legend of SemanticTokens.
json SemanticTokensLegend();

} // namespace lsp

#endif // FERROX_TOOLS_LSP_FEATURES_H
