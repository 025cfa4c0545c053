//===- source/token.h - Tokens, token lists and the line list ---*- C++ -*-===//
//
// The whole program is one list of source lines, and every line is a list of
// tokens. A token list is stored as a compact byte stream, so a line costs
// about as much memory as its source text and reading a token needs no
// allocation; the encoding is this folder's own, and other modules read
// tokens only through CTokenList. Lines come from a pool and are linked, so
// removing and inserting lines at the cursor is O(1).
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_SOURCE_TOKEN_H
#define FERROX_SOURCE_TOKEN_H

#include "source/token_encoding.h"
#include "source/token_kind.h"
#include "util/arena.h"
#include "util/compiler.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

/// Builds an encoded token stream.
class CTokenWriter {
public:
  void Append(TokenKind kind, std::string_view text);
  /// Appends already encoded tokens.
  void AppendEncoded(std::string_view encoded) { m_Bytes.append(encoded); }
  void Clear() { m_Bytes.clear(); }
  bool Empty() const { return m_Bytes.empty(); }
  std::string_view Bytes() const { return m_Bytes; }

private:
  std::string m_Bytes;
};

/// A token list with a read cursor over an encoded token stream that it does
/// not own.
class CTokenList {
public:
  /// A cursor position; a parser that looks ahead saves and restores it.
  using Cursor = std::uint32_t;

  CTokenList() = default;
  explicit CTokenList(std::string_view encoded) { SetTokens(encoded); }

  void SetTokens(std::string_view encoded) {
    m_Data = reinterpret_cast<const std::uint8_t *>(encoded.data());
    m_Size = static_cast<std::uint32_t>(encoded.size());
    m_Cursor = 0;
  }
  /// The encoded stream.
  std::string_view Encoded() const {
    return std::string_view(reinterpret_cast<const char *>(m_Data), m_Size);
  }
  bool Empty() const { return m_Size == 0; }

  void Rewind() { m_Cursor = 0; }
  bool AtEnd() const { return m_Cursor >= m_Size; }
  /// The token under the cursor; only valid when not AtEnd().
  CToken Current() const {
    Cursor next;
    return tokencode::Decode(m_Data, m_Cursor, next);
  }
  /// The kind of the token under the cursor; only valid when not AtEnd().
  TokenKind CurrentKind() const { return static_cast<TokenKind>(m_Data[m_Cursor] >> 6); }
  /// True when the token under the cursor is the symbol `c`.
  bool AtSymbol(char c) const {
    return m_Cursor < m_Size && m_Data[m_Cursor] == tokencode::SymbolHeader(c);
  }
  /// Moves the cursor to the next token.
  void Advance() { tokencode::Decode(m_Data, m_Cursor, m_Cursor); }
  /// The token under the cursor, moving past it; only valid when not AtEnd().
  CToken Next() { return tokencode::Decode(m_Data, m_Cursor, m_Cursor); }
  /// Takes an identifier directly followed by the symbol `c` (a label and
  /// its ":"), both of them, giving the identifier's text; otherwise the
  /// cursor stays.
  bool TakeIdentifierBefore(char c, std::string_view &text) {
    if (AtEnd() || CurrentKind() != TOKEN_IDENTIFIER)
      return false;
    Cursor next;
    CToken identifier = tokencode::Decode(m_Data, m_Cursor, next);
    if (next >= m_Size || m_Data[next] != tokencode::SymbolHeader(c))
      return false;
    text = identifier.text;
    m_Cursor = next + 1;
    return true;
  }
  Cursor GetCursor() const { return m_Cursor; }
  void SetCursor(Cursor cursor) { m_Cursor = cursor; }
  /// The encoded tokens from `from` up to the end.
  std::string_view EncodedFrom(Cursor from) const {
    return Encoded().substr(from < m_Size ? from : m_Size);
  }

private:
  const std::uint8_t *m_Data = nullptr;
  std::uint32_t m_Size = 0;
  std::uint32_t m_Cursor = 0;
};

/// One line of the program: its tokens, its file and its line number. Lines
/// are 32 bytes: a program of a million lines keeps them all in memory.
class CSourceLine : public CTokenList {
public:
  /// The file name (last path component) the line was loaded from.
  std::string GetFileName() const { return std::string(FileName()); }
  std::string_view FileName() const;
  std::int32_t GetLineNumber() const { return m_Line; }

  std::uint32_t FileId() const { return m_File & kFileMask; }
  /// How many include directives lie between this line and the main file.
  std::int32_t IncludeDepth() const {
    return static_cast<std::int32_t>((m_File & ~kExpanded) >> kDepthShift);
  }
  void SetIncludeDepth(std::int32_t depth) {
    std::uint32_t clamped = depth < 0 ? 0u : depth > 127 ? 127u
                                                        : static_cast<std::uint32_t>(depth);
    m_File = (m_File & (kFileMask | kExpanded)) | (clamped << kDepthShift);
  }
  /// Whether macros changed the line's tokens.
  bool IsExpanded() const { return (m_File & kExpanded) != 0; }
  void MarkExpanded() { m_File |= kExpanded; }

  /// IdentifierMask() of the first letter of every identifier in the line,
  /// or all ones when unknown: lets most lines skip macro expansion.
  std::uint32_t m_Identifiers = ~0u;

private:
  friend class CLineList;
  static constexpr std::uint32_t kFileMask = 0x00FFFFFF;
  static constexpr unsigned kDepthShift = 24;
  static constexpr std::uint32_t kExpanded = 0x80000000u;

  /// Index of the next line in the list; 0 after the last line.
  std::uint32_t m_Next = 0;
  /// File id (low 24 bits), include depth (7 bits) and whether macros
  /// changed the line (the top bit).
  std::uint32_t m_File = 0;
  std::int32_t m_Line = 0;
};

/// The ordered list of all source lines, with one cursor. The list is linked
/// forward only; the cursor is the line before the current one, so
/// inserting before the cursor and removing the current line are O(1).
class CLineList {
public:
  /// A line's number in the list's storage; 0 is no line.
  using LineIndex = std::uint32_t;
  /// A place in the list: the line that follows line `Position` (0 is the
  /// start of the list).
  using Position = std::uint32_t;
  static constexpr Position kNoPosition = 0xFFFFFFFFu;

  CLineList() = default;
  CLineList(const CLineList &) = delete;
  CLineList &operator=(const CLineList &) = delete;

  void Rewind() { m_Cursor = 0; }
  bool AtEnd() const { return NextOf(m_Cursor) == 0; }
  /// The line under the cursor; only valid when not AtEnd().
  CSourceLine *Current() const { return &Line(NextOf(m_Cursor)); }
  void Advance() { m_Cursor = NextOf(m_Cursor); }
  Position GetCursor() const { return m_Cursor; }
  void SetCursor(Position position) { m_Cursor = position; }
  /// The line standing at `position`, or nullptr at the end.
  CSourceLine *LineAt(Position position) const {
    LineIndex line = NextOf(position);
    return line != 0 ? &Line(line) : nullptr;
  }

  /// A new line, not yet in the list, with no tokens. Inline: the lexer
  /// makes one for every line of the program.
  LineIndex NewLine(std::uint32_t fileId, std::int32_t lineNumber) {
    LineIndex index;
    if (m_Free == 0 && (m_Allocated >> kBlockShift) < m_BlockLines.size()) [[likely]]
      index = m_Allocated++;
    else
      index = TakeLineSlot();
    // Lines need no destruction: a block is freed as raw memory.
    CSourceLine *line = new (&Line(index)) CSourceLine();
    line->m_File = fileId & CSourceLine::kFileMask;
    line->m_Line = lineNumber;
    return index;
  }
  CSourceLine &Line(LineIndex line) const {
    return m_BlockLines[line >> kBlockShift][line & kBlockMask];
  }
  /// Links `line` (from NewLine) before the cursor; the cursor stays on the
  /// same line. Returns the new line's position.
  Position InsertBeforeCursor(LineIndex line) {
    Position position = m_Cursor;
    Line(line).m_Next = NextOf(m_Cursor);
    SetNext(m_Cursor, line);
    m_Cursor = line;
    ++m_Size;
    return position;
  }
  /// Destroys the line under the cursor; the cursor moves to the next line.
  void RemoveCurrent();
  /// Returns a line from NewLine that was never inserted.
  void DiscardLine(LineIndex line);

  std::size_t Size() const { return m_Size; }
  /// Destroys every line and frees all storage.
  void Clear();

private:
  /// Lines come in blocks of 2 MiB.
  static constexpr unsigned kBlockShift = 16;
  static constexpr LineIndex kBlockMask = (LineIndex{1} << kBlockShift) - 1;

  /// A slot for NewLine from the free list or a new block.
  LineIndex TakeLineSlot();

  LineIndex NextOf(LineIndex line) const {
    return line == 0 ? m_First : Line(line).m_Next;
  }
  void SetNext(LineIndex line, LineIndex next) {
    if (line == 0)
      m_First = next;
    else
      Line(line).m_Next = next;
  }

  LineIndex m_First = 0;
  Position m_Cursor = 0;
  std::size_t m_Size = 0;
  std::vector<std::unique_ptr<CMemoryBlock>> m_Blocks;
  /// The lines of each block: one load fewer than through m_Blocks.
  std::vector<CSourceLine *> m_BlockLines;
  /// Lines handed out so far; index 0 is never used.
  LineIndex m_Allocated = 1;
  LineIndex m_Free = 0;
};

/// The program.
extern CLineList g_SourceLines;

/// A bit standing for the lower-cased first letter of an identifier
/// (letters and "_"), for quick tests of which names a line may hold.
inline std::uint32_t IdentifierMask(char first) {
  return std::uint32_t{1} << (static_cast<unsigned char>(first) & 31);
}

/// Copies an encoded token stream into storage that lives as long as the
/// program's lines.
std::string_view StoreTokens(std::string_view encoded);
/// Room for `size` bytes of tokens in that storage; CommitTokens keeps the
/// first `used` of them. Nothing else may be stored in between.
std::uint8_t *ReserveTokens(std::size_t size);
std::string_view CommitTokens(std::uint8_t *start, std::size_t used);

/// Shares one copy of every file name among all lines.
/// The number of the file at `path`, the same for every line of it; lines
/// name their file by it.
std::uint32_t InternFile(std::string_view path);
/// The last path component of a file, which messages show.
std::string_view FileNameOf(std::uint32_t id);
/// The path a file was read from.
std::string_view FilePathOf(std::uint32_t id);
/// How many files have numbers.
std::uint32_t FileCount();
/// The file number of an error that names no file.
inline constexpr std::uint32_t kNoFileId = 0xFFFFFFFFu;

/// Empties the line list, the token storage and the file name pool.
void ResetSourceLines();

/// Takes the current token if it has `kind`, copying its text to `*text`
/// when given.
inline bool TakeToken(CTokenList &list, TokenKind kind, std::string_view *text = nullptr) {
  if (list.AtEnd() || list.CurrentKind() != kind)
    return false;
  CToken token = list.Next();
  if (text != nullptr)
    *text = token.text;
  return true;
}
/// Takes the current token if it has `kind` and exactly `text`.
bool AcceptToken(CTokenList &list, TokenKind kind, std::string_view text);
/// Takes the current token if it is the symbol `c`.
inline bool AcceptSymbol(CTokenList &list, char c) {
  if (!list.AtSymbol(c))
    return false;
  list.Advance();
  return true;
}
/// True at the end of the line; otherwise reports error 502 for it.
bool ExpectEndOfLine(CSourceLine &line);
/// Reports the "expected" error `code` (500 to 504) at `line`.
void Expected(int code, const CSourceLine &line);

#endif // FERROX_SOURCE_TOKEN_H
