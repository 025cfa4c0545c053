//===- driver/observer.h - What a build tells the programs around it -*- C++ -*-===//
//
// The companion programs (listing, debug map, language server) run the very
// build that ferrox runs and learn from it as it goes: every error, every
// statement with the bytes it placed, every macro. ferrox itself sets no
// observer, and a build without one does nothing more than it always did.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_DRIVER_OBSERVER_H
#define FERROX_DRIVER_OBSERVER_H

#include "source/token.h"

#include <cstdint>
#include <string_view>

/// What a statement placed in the image.
enum class StatementKind {
  None,        ///< nothing: namespace, end, offset, boot, an empty label line
  Instruction, ///< `detail` is the instruction's name as defined
  Data,        ///< data or array of a number kind; `detail` is the suffix
  String,      ///< data or array of a string kind; `detail` is the suffix
  Reserve,
  Skip,        ///< `detail` is the suffix
  IncludeBin,
};

/// One statement as the assembler saw it.
struct CStatementRecord {
  const CSourceLine *line = nullptr; ///< its tokens, as macros left them
  std::uint32_t fileId = kNoFileId;
  std::int32_t lineNumber = 0;
  StatementKind kind = StatementKind::None;
  std::string_view detail;
  /// The offset counter and the image file position before the statement,
  /// and how far both moved (reserved space included).
  std::int32_t address = 0;
  std::uint64_t position = 0;
  std::int32_t addressAfter = 0;
  std::uint64_t size = 0;
  /// The namespaces open at the statement, as written, joined by ".".
  std::string_view nameSpace;
};

class CBuildObserver {
public:
  virtual ~CBuildObserver() = default;
  /// Every error of the build, also those ferrox only counts. `fileId` is
  /// kNoFileId for an error that names no file.
  virtual void OnError(int code, std::string_view message, std::uint32_t fileId,
                       std::int32_t line) {
    (void)code, (void)message, (void)fileId, (void)line;
  }
  /// A statement, once assembled.
  virtual void OnStatement(const CStatementRecord &record) { (void)record; }
  /// A macro made by "define": its name and its encoded tokens.
  virtual void OnMacro(std::string_view name, std::string_view tokens,
                       std::uint32_t fileId, std::int32_t line) {
    (void)name, (void)tokens, (void)fileId, (void)line;
  }
};

/// Sets the observer of the builds that follow; nullptr for none.
void SetBuildObserver(CBuildObserver *observer);
/// The observer, or nullptr.
CBuildObserver *BuildObserver();

#endif // FERROX_DRIVER_OBSERVER_H
