//===- source/lexer.h - Source loading and the lexer ------------*- C++ -*-===//
//
// Reads a source file, cuts it into lines at CR, LF, CR LF (LF CR ends two
// lines) and turns every line with at least one token into a CSourceLine
// inserted before the cursor of g_SourceLines.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_SOURCE_LEXER_H
#define FERROX_SOURCE_LEXER_H

#include "source/token.h"
#include "util/arena.h"
#include "util/platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// File name and line number of the line being lexed.
extern std::string_view g_LexFile;
extern std::int32_t g_LexLine;

/// Lines stored by the lexer, files loaded to their end, bytes read.
extern std::int32_t g_SourceLineCount;
extern std::int32_t g_SourceFileCount;
extern std::int32_t g_SourceSize;

/// Bytes that all source files of a build may hold together, the same as
/// one file may (2 GiB - 1).
inline constexpr std::uint64_t kMaxSourceSize = 0x7FFFFFFF;

/// Loads `path` into g_SourceLines before the cursor. When `firstLine` is
/// given it receives the position of the first stored line, or
/// CLineList::kNoPosition when the file stored none. A file that cannot be
/// read, or would take the sources past kMaxSourceSize, reports error 100
/// at `includerFile` and `includerLine`, or without a position when
/// `includerFile` is empty. `includeDepth` is stored with every line.
bool LoadSourceFile(const std::string &path, CLineList::Position *firstLine,
                    std::string_view includerFile, std::int32_t includerLine,
                    std::int32_t includeDepth = 0);

/// Starts faulting in memory ahead when the file at `path` is large enough
/// to need it, so that is under way before its first lines are stored.
/// Reports nothing: LoadSourceFile reports a file it cannot read.
void PrepareForSourceFile(const std::string &path);

/// Lexes one line of text. On success `*position` is the stored line's
/// position, or CLineList::kNoPosition when the line held no token. Fails only when a byte
/// that starts no token comes before the line's first token.
bool TokenizeLine(std::string_view text, std::uint32_t fileId,
                  std::int32_t lineNumber, CLineList::Position *position,
                  std::int32_t includeDepth = 0);

/// When set, LoadSourceFile calls it with the file name of every line it
/// stores at include depth 0 that reads `include "name"`: the files the
/// build is likely to include.
extern void (*g_NoteInclude)(std::string_view name);

/// A file lexed ahead of the directive that includes it, into storage of
/// its own; AdoptLexedFile puts its lines into the program.
struct CLexedFile {
  struct Line {
    const std::uint8_t *tokens;
    std::uint32_t size;
    std::int32_t number;
    std::uint32_t identifiers;
  };
  std::string path;
  /// Read and lexed to its end, and no line would report a message.
  bool ok = false;
  std::uint64_t size = 0; ///< Bytes read.
  platform::FileIdentity identity;
  std::vector<Line, CHugePageAllocator<Line>> lines;
  std::unique_ptr<CArena> tokens;
};

/// Block size of a lexed-ahead file's token storage: larger than the blocks
/// of the block supply, which serves the main thread only, so they come
/// straight from the heap, still aligned for huge pages.
inline constexpr std::size_t kAheadTokenBlock = 2 * CMemoryBlock::kLargeBlock;

/// Reads and lexes `file.path` without touching the program, the counters
/// or the diagnostics, so any thread may run it for any file. `file.ok`
/// tells whether the result can stand in for LoadSourceFile.
void LexFileAhead(CLexedFile &file);

/// LoadSourceFile for a file LexFileAhead lexed: the same lines, counters
/// and protection of the file, without reading it again. False, with nothing
/// stored, when the file cannot stand in (not ok, or past the size limit of
/// the sources); the caller then loads it the usual way, which reports why.
bool AdoptLexedFile(CLexedFile &file, CLineList::Position *firstLine,
                    std::int32_t includeDepth);

/// Sets the counters back to 0.
void ResetLexer();

#endif // FERROX_SOURCE_LEXER_H
