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

#include <cstdint>
#include <string>
#include <string_view>

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

/// Memory that the stored lines of all sources of a build may take with
/// their tokens: a file that would pass it is refused like one too large,
/// so an endless stream of lines cannot fill memory.
inline constexpr std::uint64_t kMaxSourceMemory = std::uint64_t{2} << 30;

/// Loads `path` into g_SourceLines before the cursor. When `firstLine` is
/// given it receives the position of the first stored line, or
/// CLineList::kNoPosition when the file stored none. A file that cannot be
/// read, or would take the sources past kMaxSourceSize or kMaxSourceMemory,
/// reports error 100
/// at `includerFile` (a file number) and `includerLine`, or without a
/// position when `includerFile` is kNoFileId. `includeDepth` is stored with
/// every line.
bool LoadSourceFile(const std::string &path, CLineList::Position *firstLine,
                    std::uint32_t includerFile, std::int32_t includerLine,
                    std::int32_t includeDepth = 0);

/// Lexes one line of text. On success `*position` is the stored line's
/// position, or CLineList::kNoPosition when the line held no token. Fails only when a byte
/// that starts no token comes before the line's first token.
bool TokenizeLine(std::string_view text, std::uint32_t fileId,
                  std::int32_t lineNumber, CLineList::Position *position,
                  std::int32_t includeDepth = 0);

/// Sets the counters back to 0.
void ResetLexer();

#endif // FERROX_SOURCE_LEXER_H
