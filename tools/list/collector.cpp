//===- tools/list/collector.cpp - What one build did, for its outputs -----===//

#include "tools/list/collector.h"

#include "assembler/image_commands.h"
#include "assembler/namespaces.h"
#include "driver/build.h"
#include "image/image_writer.h"
#include "util/paths.h"
#include "util/text.h"

#include <cstdio>

namespace {

/// The command word of a statement: the first identifier after an
/// optional label, in lower case.
std::string CommandWord(const CSourceLine &line) {
  CTokenList tokens(line.Encoded());
  std::string_view label;
  tokens.TakeIdentifierBefore(':', label);
  std::string_view word;
  if (!TakeToken(tokens, TOKEN_IDENTIFIER, &word))
    return std::string();
  std::string lower(word);
  for (char &c : lower)
    c = platform::LowerChar(c);
  return lower;
}

/// A string token as a double-quoted string the lexer reads back.
void AppendQuoted(std::string &out, std::string_view text) {
  out += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

} // namespace

std::string RenderTokens(std::string_view encoded) {
  std::string out;
  // Whether the next token follows without a blank: after "." and the
  // mode symbols.
  bool glue = true;
  for (CTokenList tokens(encoded); !tokens.AtEnd(); tokens.Advance()) {
    CToken token = tokens.Current();
    bool symbol = token.kind == TOKEN_SYMBOL;
    char c = symbol && !token.text.empty() ? token.text[0] : '\0';
    bool attachLeft = symbol && (c == ',' || c == ':' || c == '.');
    if (!glue && !attachLeft)
      out += ' ';
    if (token.kind == TOKEN_STRING)
      AppendQuoted(out, token.text);
    else
      out += token.text;
    glue = symbol && (c == '.' || c == '&' || c == '^' || c == '*');
  }
  return out;
}

void CCollector::OnError(int code, std::string_view message, std::uint32_t fileId,
                         std::int32_t line) {
  m_Record.errors.push_back({code, std::string(message), fileId, line, -1});
}

void CCollector::OnStatement(const CStatementRecord &statement) {
  CBuildStatement row;
  row.fileId = statement.fileId;
  row.line = statement.lineNumber;
  row.depth = statement.line != nullptr ? statement.line->IncludeDepth() : 0;
  row.kind = statement.kind;
  row.detail = statement.detail;
  row.address = statement.address;
  row.position = statement.position;
  row.size = statement.size;
  if (statement.line != nullptr && statement.line->IsExpanded())
    row.expansion = RenderTokens(statement.line->Encoded());
  // The first statement after which a boot command has set the value is
  // the one that set it; a refused second one (error 909) is not.
  if (!m_BootSeen && g_BootInfoDefined && statement.line != nullptr) {
    m_BootSeen = true;
    m_Record.bootCommand = CommandWord(*statement.line);
  }
  std::int64_t index = static_cast<std::int64_t>(m_Record.statements.size());
  for (; m_Pending < m_Record.errors.size(); ++m_Pending) {
    CBuildError &error = m_Record.errors[m_Pending];
    if (error.fileId == row.fileId && error.line == row.line)
      error.statement = index;
  }
  m_Record.statements.push_back(std::move(row));
}

void CCollector::Finish() {
  std::string folder = platform::CurrentDirectory();
  for (std::uint32_t id = 0; id < FileCount(); ++id)
    m_Record.files.push_back({std::string(FilePathOf(id)),
                              ResolvePath(folder, FilePathOf(id)),
                              std::string(FileNameOf(id))});
  for (const CLabelInfo &label : ListLabels())
    m_Record.labels.push_back({label.name, label.value, label.fileId, label.line});
  m_Record.boot = g_BootInfo;
  m_Record.start = ImageStart();
}

int RunRecordedBuild(const std::string &source, const std::string &destination,
                     bool noDisk, bool noBootInfo, CBuildRecord &record) {
  record = CBuildRecord();
  record.destination = destination;
  record.header = !noDisk;
  record.bootInfo = !noBootInfo;
  CCollector collector(record);
  SetBuildObserver(&collector);
  KeepImageInMemory(&record.image);
  int status = RunBuild(source, destination, noDisk, noBootInfo);
  KeepImageInMemory(nullptr);
  SetBuildObserver(nullptr);
  collector.Finish();
  record.succeeded = status == 0;
  return status == 0 ? 0 : 255;
}
