//===- tools/list/collector.h - What one build did, for its outputs -*- C++ -*-===//
//
// Watches a build as its observer and keeps what the listing, the map and
// the symbols are made of: every statement with the bytes it placed, every
// error with the statement it belongs to, the files, the labels, the image
// in memory and its layout. The outputs are made from this record alone.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LIST_COLLECTOR_H
#define FERROX_TOOLS_LIST_COLLECTOR_H

#include "driver/observer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// One error of the build.
struct CBuildError {
  int code = 0;
  std::string message;
  std::uint32_t fileId = kNoFileId; ///< kNoFileId when it names no file
  std::int32_t line = 0;
  /// The statement reported while it was assembled, or -1: an error of
  /// another stage, placed by its file and line.
  std::int64_t statement = -1;
};

/// One statement that reached the assembler.
struct CBuildStatement {
  std::uint32_t fileId = 0;
  std::int32_t line = 0;
  /// Include directives between the line and the top-level files.
  std::int32_t depth = 0;
  StatementKind kind = StatementKind::None;
  std::string detail; ///< instruction name or kind suffix
  std::int32_t address = 0;
  std::uint64_t position = 0;
  std::uint64_t size = 0;
  /// The tokens as macros left them, when macros changed the line.
  std::string expansion;
};

struct CBuildFile {
  std::string path; ///< as the build opened it
  std::string fullPath;
  std::string name; ///< last component, as messages show it
};

struct CBuildLabel {
  std::string name;
  std::int32_t value = 0;
  std::uint32_t fileId = 0;
  std::int32_t line = 0;
};

/// Everything the outputs are made of.
struct CBuildRecord {
  bool succeeded = false;
  std::string destination; ///< as given; empty for none
  bool header = true;
  bool bootInfo = true;
  std::uint32_t boot = 0xFFFFFFFFu;
  std::string bootCommand; ///< the command that set `boot`, or empty
  std::uint32_t start = 0; ///< file position of the first assembled byte
  std::string image;       ///< the whole image, header and boot field included
  std::vector<CBuildFile> files;
  std::vector<CBuildStatement> statements;
  std::vector<CBuildError> errors;
  std::vector<CBuildLabel> labels;
};

/// The observer that fills a CBuildRecord.
class CCollector : public CBuildObserver {
public:
  explicit CCollector(CBuildRecord &record) : m_Record(record) {}
  void OnError(int code, std::string_view message, std::uint32_t fileId,
               std::int32_t line) override;
  void OnStatement(const CStatementRecord &statement) override;
  /// Copies the files, labels and image layout once the build has ended.
  void Finish();

private:
  CBuildRecord &m_Record;
  /// Errors reported since the last statement: those of the statement
  /// being assembled, or of the stages before assembly.
  std::size_t m_Pending = 0;
  bool m_BootSeen = false;
};

/// The tokens of an encoded line, written back as source text.
std::string RenderTokens(std::string_view encoded);

/// Runs ferrox's build of `source` into `destination` (empty: memory only)
/// and records it. Returns the exit status ferrox would return (0, 255).
int RunRecordedBuild(const std::string &source, const std::string &destination,
                     bool noDisk, bool noBootInfo, CBuildRecord &record);

#endif // FERROX_TOOLS_LIST_COLLECTOR_H
