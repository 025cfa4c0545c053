//===- source/lexer.cpp - Source loading and the lexer --------------------===//

#include "source/lexer.h"

#include "source/token_encoding.h"

#include "driver/diagnostics.h"
#include "util/files.h"
#include "util/compiler.h"
#include "util/numbers.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

std::string_view g_LexFile;
std::int32_t g_LexLine = 0;
std::int32_t g_SourceLineCount = 0;
std::int32_t g_SourceFileCount = 0;
std::int32_t g_SourceSize = 0;

namespace {

/// The bytes a file is read into. They are not cleared when allocated: only
/// the pages that reads fill are ever touched, so a small file costs no
/// more than its own size.
class CReadBuffer {
public:
  char *Data() { return m_Data.get(); }
  std::size_t Size() const { return m_Size; }

  /// Makes room for at least `size` bytes, keeping the first `keep`.
  void Grow(std::size_t size, std::size_t keep) {
    if (size <= m_Size)
      return;
    std::unique_ptr<char[]> bigger = std::make_unique_for_overwrite<char[]>(size);
    if (keep != 0)
      std::memcpy(bigger.get(), m_Data.get(), keep);
    m_Data = std::move(bigger);
    m_Size = size;
  }

private:
  std::unique_ptr<char[]> m_Data;
  std::size_t m_Size = 0;
};

/// Everything the lexer keeps between lines and files.
struct CLexerState {
  /// The file whose name g_LexFile holds.
  std::uint32_t lexFileId = ~0u;
  /// Encoded tokens of the line being lexed, written straight into the
  /// token storage. The room reserved always covers the worst case of the
  /// line (every byte a one-byte token with its header), so appending
  /// needs no capacity checks.
  std::uint8_t *lineOut = nullptr;
  std::uint8_t *lineStart = nullptr;
  /// IdentifierMask of the identifiers of the line being lexed.
  std::uint32_t lineIdentifiers = 0;
  /// Decoded text of a string with escapes.
  std::string stringText;
  /// Memory taken by the stored lines of all sources and their tokens.
  std::uint64_t sourceMemory = 0;
  /// The bytes files are read into, kept between files: included files
  /// are many and small.
  CReadBuffer block;
  /// A line given to TokenizeLine, with the terminator the scanners need.
  std::string line;
};

CLexerState g_Lexer;

} // namespace

namespace {

enum CharClass : std::uint8_t {
  kBlank = 1 << 0,
  kSymbol = 1 << 1,
  kIdentifierStart = 1 << 2,
  kIdentifierPart = 1 << 3,
  kNumberStart = 1 << 4,
  kNumberPart = 1 << 5,
  kQuote = 1 << 6,
};

constexpr std::array<std::uint8_t, 256> MakeClasses() {
  std::array<std::uint8_t, 256> classes{};
  classes[' '] = classes['\t'] = kBlank;
  for (char c : {',', ':', '&', '^', '*', '.'})
    classes[static_cast<unsigned char>(c)] = kSymbol;
  for (int c = 'a'; c <= 'z'; ++c) {
    classes[c] = kIdentifierStart | kIdentifierPart | kNumberPart;
    classes[c - 'a' + 'A'] = kIdentifierStart | kIdentifierPart | kNumberPart;
  }
  classes['_'] = kIdentifierStart | kIdentifierPart | kNumberPart;
  for (int c = '0'; c <= '9'; ++c)
    classes[c] = kIdentifierPart | kNumberStart | kNumberPart;
  classes['+'] = classes['-'] = kNumberStart | kNumberPart;
  classes['.'] |= kNumberPart;
  classes['\''] = classes['"'] = kQuote;
  return classes;
}

constexpr std::array<std::uint8_t, 256> kClasses = MakeClasses();

bool Is(char c, std::uint8_t cls) {
  return (kClasses[static_cast<unsigned char>(c)] & cls) != 0;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
         (c >= 'A' && c <= 'F');
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

void BeginLine(std::size_t length) {
  std::size_t room = 2 * length + tokencode::kMaxOverhead;
  g_Lexer.lineStart = g_Lexer.lineOut = ReserveTokens(room);
  g_Lexer.lineIdentifiers = 0;
}

bool LineEmpty() { return g_Lexer.lineOut == g_Lexer.lineStart; }

/// The token header of every symbol byte.
constexpr std::array<std::uint8_t, 256> MakeSymbolHeaders() {
  std::array<std::uint8_t, 256> headers{};
  for (char c : {',', ':', '&', '^', '*', '.'})
    headers[static_cast<unsigned char>(c)] = tokencode::SymbolHeader(c);
  return headers;
}
constexpr std::array<std::uint8_t, 256> kSymbolHeaders = MakeSymbolHeaders();

void EmitSymbol(char c) {
  *g_Lexer.lineOut++ = kSymbolHeaders[static_cast<unsigned char>(c)];
}

/// Copies `n` bytes with a few fixed-size moves: tokens are short.
FERROX_ALWAYS_INLINE void CopyShort(std::uint8_t *out, const char *in, std::size_t n) {
  if (n >= 8) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8)
      std::memcpy(out + i, in + i, 8);
    if (i < n)
      std::memcpy(out + n - 8, in + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(out, in, 4);
    std::memcpy(out + n - 4, in + n - 4, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i)
      out[i] = static_cast<std::uint8_t>(in[i]);
  }
}

FERROX_ALWAYS_INLINE void EmitText(TokenKind kind, std::string_view text) {
  if (text.size() < tokencode::kLongLength) {
    g_Lexer.lineOut[0] = static_cast<std::uint8_t>((kind << 6) | text.size());
    CopyShort(g_Lexer.lineOut + 1, text.data(), text.size());
    g_Lexer.lineOut += 1 + text.size();
    return;
  }
  g_Lexer.lineOut += tokencode::EncodeText(g_Lexer.lineOut, kind, text);
}

void ReportLexError(int code, std::string_view message) {
  ReportErrorAt(code, message, g_Lexer.lexFileId, g_LexLine);
}

/// Decodes the escape whose backslash is at `text[at]`, appending its byte to
/// g_Lexer.stringText. Returns the index of the first byte after the escape.
// escape: "\\" ( one of b f n r t v a \\ ' " 0 ? | ("x" | "X") hex-digits | digits )
std::size_t DecodeEscape(std::string_view text, std::size_t at) {
  std::size_t i = at + 1;
  if (i >= text.size()) {
    ReportLexError(402, "Syntax error in escape character");
    g_Lexer.stringText += '\\';
    return i;
  }
  char simple = 0;
  switch (text[i]) {
  case 'b': simple = '\b'; break;
  case 'f': simple = '\f'; break;
  case 'n': simple = '\n'; break;
  case 'r': simple = '\r'; break;
  case 't': simple = '\t'; break;
  case 'v': simple = '\v'; break;
  case 'a': simple = '\a'; break;
  case '\\': simple = '\\'; break;
  case '\'': simple = '\''; break;
  case '"': simple = '"'; break;
  case '0': simple = '\0'; break;
  case '?': simple = '?'; break;
  default:
    break;
  }
  if (simple != 0 || text[i] == '0') {
    g_Lexer.stringText += simple;
    return i + 1;
  }

  bool hex = text[i] == 'x' || text[i] == 'X';
  std::size_t digitsStart = hex ? i + 1 : i;
  std::size_t end = digitsStart;
  while (end < text.size() &&
         (hex ? IsHexDigit(text[end]) : IsDecimalDigit(text[end])))
    ++end;
  if (end > digitsStart) {
    std::string_view digits = text.substr(digitsStart, end - digitsStart);
    // Hexadecimal digits are read in wrapping 32-bit arithmetic, so a long
    // run could wrap back into range: more than two significant digits are
    // too many. Decimal digits saturate.
    std::size_t significant = digits.size() - std::min(digits.size(), digits.find_first_not_of('0'));
    std::int64_t value = hex ? (significant > 2 ? 256 : static_cast<std::int64_t>(ParseHex(digits)))
                             : static_cast<std::int64_t>(ParseLong(digits));
    if (value >= 0 && value <= 255) {
      g_Lexer.stringText += static_cast<char>(value);
      return end;
    }
  }
  // Unknown: keep the backslash and read what follows as plain text.
  ReportLexError(403, "Unknown escape character");
  g_Lexer.stringText += '\\';
  return i;
}

/// Scans the string whose delimiter is at `text[at]` and appends its token.
/// Returns the index after the string.
// string: quote { escape | byte other than that quote } quote
std::size_t ScanString(std::string_view text, std::size_t at) {
  char delimiter = text[at];
  std::size_t i = at + 1;
  // Fast path: no escape before the closing delimiter.
  std::size_t end = i;
  while (end < text.size() && text[end] != delimiter && text[end] != '\\')
    ++end;
  if (end < text.size() && text[end] == delimiter) {
    EmitText(TOKEN_STRING, text.substr(i, end - i));
    return end + 1;
  }
  g_Lexer.stringText.assign(text.substr(i, end - i));
  i = end;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\\') {
      i = DecodeEscape(text, i);
    } else if (c == delimiter) {
      EmitText(TOKEN_STRING, g_Lexer.stringText);
      return i + 1;
    } else {
      g_Lexer.stringText += c;
      ++i;
    }
  }
  ReportLexError(401, "Unexpected end of string");
  EmitText(TOKEN_STRING, g_Lexer.stringText);
  return i;
}

/// Skips bytes of class `cls`. The line is followed by a byte of no class
/// (its CR or LF, or a stand-in), so the scan needs no bounds check.
FERROX_ALWAYS_INLINE std::size_t SkipRun(const char *bytes, std::size_t i,
                                         std::uint8_t cls) {
  while (Is(bytes[i], cls))
    ++i;
  return i;
}

/// Adds `delta` to a 32-bit counter, wrapping instead of overflowing.
void AddWrapping(std::int32_t &counter, std::uint64_t delta) {
  counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) +
                                      static_cast<std::uint32_t>(delta));
}

} // namespace

namespace {

enum class Scan { kNoTokens, kTokens, kBadStart };

/// Lexes `text` into new room in the token storage, from g_Lexer.lineStart to
/// g_Lexer.lineOut. The byte after the end, text[text.size()], must be readable
/// and start no token (a CR, an LF or a stand-in). kBadStart: a byte that
/// starts no token comes before the first token.
// line:       { blank } { token { blank } } [ ";" comment ]
// token:      symbol | identifier | number | string
// identifier: letter-or-"_" { letter | digit | "_" }
// number:     ( digit | "+" | "-" ) { letter | digit | "_" | "+" | "-" | "." }
Scan ScanLine(std::string_view text) {
  BeginLine(text.size());

  const char *bytes = text.data();
  std::size_t size = text.size();
  std::size_t i = SkipRun(bytes, 0, kBlank);
  while (i < size) {
    std::uint8_t cls = kClasses[static_cast<unsigned char>(bytes[i])];
    if (cls & kSymbol) {
      EmitSymbol(bytes[i]);
      ++i;
    } else if (cls & kIdentifierStart) {
      std::size_t end = SkipRun(bytes, i + 1, kIdentifierPart);
      EmitText(TOKEN_IDENTIFIER, text.substr(i, end - i));
      g_Lexer.lineIdentifiers |= IdentifierMask(bytes[i]);
      i = end;
    } else if (cls & kNumberStart) {
      std::size_t end = SkipRun(bytes, i + 1, kNumberPart);
      EmitText(TOKEN_NUMBER, text.substr(i, end - i));
      i = end;
    } else if (cls & kQuote) {
      i = ScanString(text, i);
    } else if (bytes[i] == ';') {
      break;
    } else {
      ReportLexError(400, "General syntax error");
      // A line that has tokens keeps them and loading goes on; a line that
      // starts with the bad byte ends the file.
      if (LineEmpty())
        return Scan::kBadStart;
      break;
    }
    i = SkipRun(bytes, i, kBlank);
  }
  return LineEmpty() ? Scan::kNoTokens : Scan::kTokens;
}

/// Makes a line of `tokens` and links it in before the cursor of
/// g_SourceLines; `position` receives its position.
FERROX_ALWAYS_INLINE const CSourceLine &
StoreLine(std::uint32_t fileId, std::int32_t number, std::string_view tokens,
          std::uint32_t identifiers, std::int32_t includeDepth,
          CLineList::Position *position) {
  CLineList::LineIndex index = g_SourceLines.NewLine(fileId, number);
  CSourceLine &line = g_SourceLines.Line(index);
  line.SetTokens(tokens);
  line.SetIncludeDepth(includeDepth);
  line.m_Identifiers = identifiers;
  *position = g_SourceLines.InsertBeforeCursor(index);
  return line;
}

/// TokenizeLine for a line whose byte after the end, text[text.size()], is
/// readable and starts no token (a CR, an LF or a stand-in).
bool LexLine(std::string_view text, std::uint32_t fileId,
             std::int32_t lineNumber, CLineList::Position *position,
             std::int32_t includeDepth) {
  if (fileId != g_Lexer.lexFileId) {
    g_LexFile = FileNameOf(fileId);
    g_Lexer.lexFileId = fileId;
  }
  g_LexLine = lineNumber;
  *position = CLineList::kNoPosition;
  Scan scan = ScanLine(text);
  if (scan != Scan::kTokens)
    return scan == Scan::kNoTokens;
  std::string_view tokens = CommitTokens(
      g_Lexer.lineStart, static_cast<std::size_t>(g_Lexer.lineOut - g_Lexer.lineStart));
  StoreLine(fileId, lineNumber, tokens,
                                      g_Lexer.lineIdentifiers, includeDepth, position);
  g_Lexer.sourceMemory += sizeof(CSourceLine) + tokens.size();
  AddWrapping(g_SourceLineCount, 1);
  return true;
}

} // namespace

bool TokenizeLine(std::string_view text, std::uint32_t fileId,
                  std::int32_t lineNumber, CLineList::Position *position,
                  std::int32_t includeDepth) {
  // Give the line the terminator the scanners rely on.
  std::string &line = g_Lexer.line;
  line.assign(text);
  line.push_back('\n');
  return LexLine(std::string_view(line.data(), text.size()), fileId,
                 lineNumber, position, includeDepth);
}

namespace {

/// Files are read and lexed a block at a time, so the whole file never has
/// to be in memory at once. The block stays in the core's cache while the
/// system copies the file into it and the lexer reads it back: a 64 KiB
/// block reads a file about three times as fast as a 256 KiB one, whose
/// copy pushes itself out of a 512 KiB cache.
constexpr std::size_t kReadBlock = std::size_t{64} << 10;

/// Stores lines into the program, before the cursor of g_SourceLines, as
/// long as the lines of all sources fit kMaxSourceMemory.
class CProgramSink {
public:
  CProgramSink(std::uint32_t fileId, std::int32_t depth,
               CLineList::Position *firstLine)
      : m_FileId(fileId), m_Depth(depth), m_FirstLine(firstLine) {}

  bool Line(std::string_view text, std::int32_t number) {
    CLineList::Position position;
    if (!LexLine(text, m_FileId, number, &position, m_Depth))
      return false;
    if (position == CLineList::kNoPosition)
      return true;
    if (m_First == CLineList::kNoPosition)
      m_First = position;
    ++m_Stored;
    if (m_FirstLine != nullptr && *m_FirstLine == CLineList::kNoPosition)
      *m_FirstLine = position;
    if (g_Lexer.sourceMemory <= kMaxSourceMemory)
      return true;
    m_TooLarge = true;
    return false;
  }

  CLineList::Position First() const { return m_First; }
  std::int32_t Stored() const { return m_Stored; }
  /// Whether the file stopped because its lines did not fit.
  bool TooLarge() const { return m_TooLarge; }

private:
  std::uint32_t m_FileId;
  std::int32_t m_Depth;
  CLineList::Position *m_FirstLine;
  CLineList::Position m_First = CLineList::kNoPosition;
  std::int32_t m_Stored = 0;
  bool m_TooLarge = false;
};

/// Splits a file's bytes into lines, block after block, and hands each line
/// with its number to the sink, which returns false to stop.
class CLineSplitter {
public:
  explicit CLineSplitter(CProgramSink &sink) : m_Sink(sink) {}

  /// Lexes the complete lines of `bytes[0, size)`, all of them at the end of
  /// the file; returns how many bytes were used (the rest is an unfinished
  /// line), or false through `ok` when lexing failed.
  std::size_t Lex(const char *bytes, std::size_t size, bool atEnd, bool &ok) {
    ok = true;
    std::size_t start = 0;
    // The next LF and the next CR are remembered between lines: a file of
    // CR line breaks does not search to its end for an LF on every line,
    // and a file of LF line breaks searches for a CR once per block.
    std::size_t nextLF = 0;
    bool haveLF = false;
    std::size_t nextCR = 0;
    bool haveCR = false;
    auto next = [&](char c, std::size_t &position, bool &known) {
      if (known && position >= start)
        return;
      known = true;
      const void *found = std::memchr(bytes + start, c, size - start);
      position = found != nullptr ? static_cast<std::size_t>(
                                        static_cast<const char *>(found) - bytes)
                                  : size;
    };
    while (start < size) {
      // The LF of a CR LF pair split between two blocks.
      if (m_AfterCR && bytes[start] == '\n') {
        m_AfterCR = false;
        ++start;
        continue;
      }
      m_AfterCR = false;
      next('\n', nextLF, haveLF);
      next('\r', nextCR, haveCR);
      std::size_t end = nextCR < nextLF ? nextCR : nextLF;
      if (end == size && !atEnd)
        return Unfinished(bytes, start, size, ok);
      if (m_InComment) {
        m_InComment = false; // the rest of a comment line dropped earlier
      } else if (end > start &&
                 !m_Sink.Line(std::string_view(bytes + start, end - start),
                              static_cast<std::int32_t>(m_LineNumber))) {
        ok = false;
        return start;
      }
      if (end == size)
        return size;
      // CR LF, a lone CR and a lone LF each end one line (LF CR ends two).
      ++m_LineNumber;
      if (bytes[end] == '\r') {
        if (end + 1 < size && bytes[end + 1] == '\n')
          ++end;
        else if (end + 1 == size)
          m_AfterCR = true;
      }
      start = end + 1;
    }
    return start;
  }

private:
  /// The start of a line whose end has not been read yet: it waits for the
  /// next block unless what it holds so far decides it. Blanks and a comment
  /// add nothing and are dropped, so an endless line of them takes no
  /// memory; a byte that starts no token ends the file at once, however
  /// much follows it. Returns the bytes used, like Lex.
  std::size_t Unfinished(const char *bytes, std::size_t start, std::size_t size,
                         bool &ok) {
    if (m_InComment)
      return size;
    std::size_t first = SkipRun(bytes, start, kBlank);
    if (first >= size)
      return size;
    if (bytes[first] == ';') {
      m_InComment = true;
      return size;
    }
    if (kClasses[static_cast<unsigned char>(bytes[first])] != 0)
      return start;
    // The byte after the bytes is readable and starts no token (see
    // ReadAndLex), as ScanLine needs.
    ok = m_Sink.Line(std::string_view(bytes + first, size - first),
                     static_cast<std::int32_t>(m_LineNumber));
    return start;
  }

  CProgramSink &m_Sink;
  // Line numbers are counted in 32 bits and wrap rather than overflow.
  std::uint32_t m_LineNumber = 1;
  bool m_AfterCR = false;
  /// The line read so far is a comment, dropped up to its end.
  bool m_InComment = false;
};

enum class ReadEnd { kDone, kLexFailed, kReadFailed };

/// Reads `file` into `block` and hands the bytes to `splitter`, until the
/// end of the file or until lexing stops. kReadFailed: the file could not
/// be read, or holds more than `room` bytes. `total` receives the bytes
/// read.
/// Where a source's bytes come from: an open file, or a text that stands
/// in for it (an editor's buffer, see util/files.h).
struct CSourceBytes {
  platform::FileHandle file = platform::kNoFile;
  const std::string *text = nullptr;
  std::size_t taken = 0;

  bool Read(char *buffer, std::size_t capacity, std::size_t *got) {
    if (text == nullptr)
      return platform::ReadBytes(file, buffer, capacity, got);
    *got = std::min(capacity, text->size() - taken);
    std::memcpy(buffer, text->data() + taken, *got);
    taken += *got;
    return true;
  }
};

ReadEnd ReadAndLex(CSourceBytes &file, std::uint64_t room,
                   CReadBuffer &block, CLineSplitter &splitter,
                   std::uint64_t &total) {
  // One byte more than the data: a stand-in line end after the last line.
  block.Grow(kReadBlock + 1, 0);
  std::size_t used = 0;
  total = 0;
  for (;;) {
    if (used == block.Size() - 1)
      block.Grow(block.Size() * 2, used); // a line longer than a block
    std::size_t got = 0;
    bool read = file.Read(block.Data() + used, block.Size() - 1 - used, &got);
    total += got;
    if (!read || total > room)
      return ReadEnd::kReadFailed;
    bool atEnd = got == 0;
    used += got;
    block.Data()[used] = '\n';
    bool ok;
    std::size_t done = splitter.Lex(block.Data(), used, atEnd, ok);
    if (!ok)
      return ReadEnd::kLexFailed;
    std::memmove(block.Data(), block.Data() + done, used - done);
    used -= done;
    if (atEnd)
      return ReadEnd::kDone;
  }
}

/// Takes back the lines a failed read stored, as if the file was never read;
/// the cursor ends where it was before the file.
void RemoveLines(CLineList::Position first, std::int32_t count) {
  g_SourceLines.SetCursor(first);
  for (std::int32_t i = 0; i < count; ++i)
    g_SourceLines.RemoveCurrent();
  AddWrapping(g_SourceLineCount, 0u - static_cast<std::uint32_t>(count));
}

/// The room left for sources in this build.
std::uint64_t SourceRoom() {
  return kMaxSourceSize - static_cast<std::uint32_t>(g_SourceSize);
}

} // namespace

bool LoadSourceFile(const std::string &path, CLineList::Position *firstLine,
                    std::uint32_t includerFile, std::int32_t includerLine,
                    std::int32_t includeDepth) {
  if (firstLine != nullptr)
    *firstLine = CLineList::kNoPosition;
  auto fail = [&]() {
    std::string message = "Cannot load source file \"" + path + "\"";
    if (includerFile == kNoFileId)
      ReportError(100, message);
    else
      ReportErrorAt(100, message, includerFile, includerLine);
    return false;
  };
  // The sources of a build may add up to no more than one file may hold,
  // however often files are included.
  std::uint64_t room = SourceRoom();
  std::uint64_t memoryBefore = g_Lexer.sourceMemory;
  CSourceBytes source;
  source.text = OverlayOf(path);
  platform::FileHandle file =
      source.text != nullptr ? platform::kNoFile : platform::OpenForRead(path);
  source.file = file;
  std::uint64_t size = source.text != nullptr ? source.text->size()
                       : file == platform::kNoFile ? 0
                                                   : platform::FileSizeOf(file);
  if ((source.text == nullptr && file == platform::kNoFile) || size > room) {
    platform::CloseFile(file);
    return fail();
  }
  NoteFileRead(path, file);

  CProgramSink sink(InternFile(path), includeDepth,
                    firstLine);
  CLineSplitter splitter(sink);
  std::uint64_t total = 0;
  ReadEnd end = ReadAndLex(source, room, g_Lexer.block, splitter, total);
  // An ordinary file counts its whole size even when lexing stopped early;
  // a device or pipe counts what was read of it.
  if (source.text != nullptr || platform::IsRegularFile(file))
    total = std::max(total, size);
  platform::CloseFile(file);
  if (end == ReadEnd::kReadFailed || sink.TooLarge()) {
    // As if the file could not be read at all: nothing of it stays.
    if (sink.First() != CLineList::kNoPosition)
      RemoveLines(sink.First(), sink.Stored());
    g_Lexer.sourceMemory = memoryBefore;
    if (firstLine != nullptr)
      *firstLine = CLineList::kNoPosition;
    return fail();
  }
  // A file whose lexing failed still counts its size.
  AddWrapping(g_SourceSize, total);
  if (end == ReadEnd::kLexFailed)
    return false;
  AddWrapping(g_SourceFileCount, 1);
  return true;
}

void ResetLexer() {
  g_Lexer = CLexerState();
  g_LexFile = std::string_view();
  g_LexLine = 0;
  g_SourceLineCount = 0;
  g_SourceFileCount = 0;
  g_SourceSize = 0;
}
