//===- source/token.cpp - Tokens, token lists and the line list -----------===//

#include "source/token.h"

#include "source/token_encoding.h"
#include "util/compiler.h"

#include "driver/diagnostics.h"
#include "util/arena.h"
#include "util/paths.h"

#include <cstring>
#include <new>
#include <type_traits>
#include <deque>
#include <unordered_map>

CLineList g_SourceLines;

namespace {

/// The storage of the program's tokens and file names.
struct CTokenStorage {
  CArena tokens;
  /// Every file's path and name. A deque keeps them at their addresses,
  /// so views of them stay valid.
  struct CFile {
    std::string path;
    std::string name;
  };
  std::deque<CFile> files;
  std::unordered_map<std::string_view, std::uint32_t> fileIds;

  void Reset() {
    tokens.Reset();
    fileIds.clear();
    files.clear();
  }
};

CTokenStorage g_Storage;

} // namespace

void CTokenWriter::Append(TokenKind kind, std::string_view text) {
  if (kind == TOKEN_SYMBOL && text.size() == 1 && text[0] != '\0' &&
      std::strchr(tokencode::kSymbols, text[0]) != nullptr) {
    m_Bytes += static_cast<char>(tokencode::SymbolHeader(text[0]));
    return;
  }
  // Symbols are always one of the six characters; anything else would be a
  // programming error, so keep the stream well-formed as an identifier.
  if (kind == TOKEN_SYMBOL)
    kind = TOKEN_IDENTIFIER;
  std::size_t used = m_Bytes.size();
  m_Bytes.resize(used + text.size() + tokencode::kMaxOverhead);
  std::size_t written = tokencode::EncodeText(
      reinterpret_cast<std::uint8_t *>(m_Bytes.data() + used), kind, text);
  m_Bytes.resize(used + written);
}

std::string_view CSourceLine::FileName() const { return FileNameOf(FileId()); }

static_assert(sizeof(CSourceLine) == 32, "a million lines must stay small");
static_assert(std::is_trivially_destructible_v<CSourceLine>,
              "line blocks are freed without destroying their lines");

CLineList::LineIndex CLineList::TakeLineSlot() {
  if (m_Free != 0) {
    LineIndex index = m_Free;
    m_Free = Line(index).m_Next;
    return index;
  }
  LineIndex index = m_Allocated++;
  if ((index >> kBlockShift) >= m_Blocks.size()) {
    m_Blocks.push_back(std::make_unique<CMemoryBlock>(CMemoryBlock::kLargeBlock));
    m_BlockLines.push_back(reinterpret_cast<CSourceLine *>(m_Blocks.back()->Data()));
  }
  return index;
}

void CLineList::RemoveCurrent() {
  LineIndex line = NextOf(m_Cursor);
  if (line == 0)
    return;
  SetNext(m_Cursor, Line(line).m_Next);
  --m_Size;
  DiscardLine(line);
}

void CLineList::DiscardLine(LineIndex line) {
  Line(line).SetTokens(std::string_view());
  Line(line).m_Next = m_Free;
  m_Free = line;
}

void CLineList::Clear() {
  m_Blocks.clear();
  m_BlockLines.clear();
  m_Allocated = 1;
  m_Free = 0;
  m_First = 0;
  m_Cursor = 0;
  m_Size = 0;
}

std::string_view StoreTokens(std::string_view encoded) {
  return g_Storage.tokens.Store(encoded);
}

std::uint8_t *ReserveTokens(std::size_t size) {
  return g_Storage.tokens.Reserve(size);
}

std::string_view CommitTokens(std::uint8_t *start, std::size_t used) {
  g_Storage.tokens.Commit(used);
  return std::string_view(reinterpret_cast<const char *>(start), used);
}

std::uint32_t InternFile(std::string_view path) {
  auto found = g_Storage.fileIds.find(path);
  if (found != g_Storage.fileIds.end())
    return found->second;
  auto id = static_cast<std::uint32_t>(g_Storage.files.size());
  g_Storage.files.push_back({std::string(path), FileNamePart(path)});
  g_Storage.fileIds.emplace(g_Storage.files.back().path, id);
  return id;
}

std::string_view FileNameOf(std::uint32_t id) {
  return id < g_Storage.files.size() ? std::string_view(g_Storage.files[id].name)
                                     : std::string_view();
}

std::string_view FilePathOf(std::uint32_t id) {
  return id < g_Storage.files.size() ? std::string_view(g_Storage.files[id].path)
                                     : std::string_view();
}

std::uint32_t FileCount() { return static_cast<std::uint32_t>(g_Storage.files.size()); }

void ResetSourceLines() {
  g_SourceLines.Clear();
  g_Storage.Reset();
}

bool AcceptToken(CTokenList &list, TokenKind kind, std::string_view text) {
  if (list.AtEnd())
    return false;
  CToken token = list.Current();
  if (token.kind != kind || token.text != text)
    return false;
  list.Advance();
  return true;
}

bool ExpectEndOfLine(CSourceLine &line) {
  if (line.AtEnd())
    return true;
  Expected(502, line);
  return false;
}

void Expected(int code, const CSourceLine &line) {
  std::string_view message;
  switch (code) {
  case 500:
    message = "String expected";
    break;
  case 501:
    message = "Identifier expected";
    break;
  case 502:
    message = "End of line expected";
    break;
  case 503:
    message = "Parameter expected";
    break;
  case 504:
    message = "Number expected";
    break;
  default:
    ReportErrorAt(700, "Internal error in Expected()", line.FileId(),
                  line.GetLineNumber());
    return;
  }
  ReportErrorAt(code, message, line.FileId(), line.GetLineNumber());
}
