//===- tools/list/listing.cpp - The annotated listing of a build ----------===//

#include "tools/list/listing.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <unordered_map>

namespace {

/// Bytes shown on one row.
constexpr std::size_t kBytesPerRow = 8;
constexpr std::size_t kBytesWidth = kBytesPerRow * 3 - 1;

/// A row of the listing: a statement, or a line that reached no statement
/// but has errors.
struct CRow {
  const CBuildStatement *statement = nullptr;
  std::uint32_t fileId = kNoFileId;
  std::int32_t line = 0;
  std::int32_t depth = 0;
  std::vector<const CBuildError *> errors;
  /// A row after all statements: of a file none of whose lines reached
  /// the assembler, or of errors that name no line.
  bool tail = false;
};

std::string Hex(std::uint64_t value, int width) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*llx", width, static_cast<unsigned long long>(value));
  return text;
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width)
    text.append(width - text.size(), ' ');
  return text;
}

/// Places every error: under its statement, under a row of its own for a
/// line that reached none, or after all rows.
class CLayout {
public:
  explicit CLayout(const CBuildRecord &build) : m_Build(build) {
    const auto &statements = build.statements;
    m_Rows.resize(statements.size());
    m_Before.resize(statements.size());
    m_After.resize(statements.size());
    for (std::size_t i = 0; i < statements.size(); ++i) {
      const CBuildStatement &s = statements[i];
      m_Rows[i] = {&s, s.fileId, s.line, s.depth, {}, false};
      m_First.emplace(Key(s.fileId, s.line), i);
      Statements &ofFile = m_ByFile[s.fileId];
      ofFile.indices.push_back(i);
      ofFile.highest.push_back(ofFile.highest.empty() ? s.line
                                                      : std::max(ofFile.highest.back(), s.line));
    }
    for (const CBuildError &error : build.errors)
      Place(error);
  }

  /// Calls `emit` for every row in listing order.
  template <typename Emit> void ForEach(Emit emit) const {
    for (std::size_t i = 0; i < m_Rows.size(); ++i) {
      for (const auto &[line, row] : m_Before[i])
        emit(row);
      emit(m_Rows[i]);
      for (const auto &[line, row] : m_After[i])
        emit(row);
    }
    for (const CRow &row : m_Tail)
      emit(row);
  }

private:
  struct Statements {
    std::vector<std::size_t> indices;
    /// The highest line number among the file's first n statements.
    std::vector<std::int32_t> highest;
  };

  static std::uint64_t Key(std::uint32_t fileId, std::int32_t line) {
    return (std::uint64_t{fileId} << 32) | static_cast<std::uint32_t>(line);
  }

  static void AddTo(std::map<std::int32_t, CRow> &rows, const CBuildError &error,
                    const CBuildStatement &neighbour) {
    CRow &row = rows[error.line];
    row.fileId = error.fileId;
    row.line = error.line;
    row.depth = neighbour.depth;
    row.errors.push_back(&error);
  }

  void Place(const CBuildError &error) {
    if (error.statement >= 0) {
      m_Rows[static_cast<std::size_t>(error.statement)].errors.push_back(&error);
      return;
    }
    auto exact = m_First.find(Key(error.fileId, error.line));
    if (exact != m_First.end()) {
      m_Rows[exact->second].errors.push_back(&error);
      return;
    }
    auto file = m_ByFile.find(error.fileId);
    if (error.fileId == kNoFileId || file == m_ByFile.end()) {
      // Errors of the same line stay together on one row.
      if (m_Tail.empty() || m_Tail.back().fileId != error.fileId ||
          m_Tail.back().line != error.line || error.fileId == kNoFileId)
        m_Tail.push_back({nullptr, error.fileId, error.line, 0, {}, true});
      m_Tail.back().errors.push_back(&error);
      return;
    }
    // Before the file's first statement of a later line; after its last
    // statement when it has none.
    const Statements &ofFile = file->second;
    auto later = std::upper_bound(ofFile.highest.begin(), ofFile.highest.end(), error.line);
    if (later != ofFile.highest.end()) {
      std::size_t index = ofFile.indices[static_cast<std::size_t>(later - ofFile.highest.begin())];
      AddTo(m_Before[index], error, m_Build.statements[index]);
    } else {
      std::size_t index = ofFile.indices.back();
      AddTo(m_After[index], error, m_Build.statements[index]);
    }
  }

  const CBuildRecord &m_Build;
  std::vector<CRow> m_Rows;
  std::vector<std::map<std::int32_t, CRow>> m_Before;
  std::vector<std::map<std::int32_t, CRow>> m_After;
  std::vector<CRow> m_Tail;
  std::unordered_map<std::uint64_t, std::size_t> m_First;
  std::unordered_map<std::uint32_t, Statements> m_ByFile;
};

/// Writes the rows with the marks of the files they come from.
class CWriter {
public:
  CWriter(const CBuildRecord &build, const SourceTextOf &sourceText)
      : m_Build(build), m_SourceText(sourceText) {}

  void Measure(const CRow &row) {
    m_LocationWidth = std::max(m_LocationWidth, Location(row).size());
    if (row.statement != nullptr)
      m_PositionWidth = std::max(m_PositionWidth, Hex(row.statement->position, 8).size());
  }

  void Heading() {
    Line(Padded("LOCATION", m_LocationWidth) + "  " + Padded("ADDRESS", 8) + "  " +
         Padded("POSITION", m_PositionWidth) + "  " + Padded("BYTES", kBytesWidth) +
         "  SOURCE");
  }

  void Emit(const CRow &row) {
    if (row.tail)
      CloseFiles(0);
    else
      EnterFile(row);
    if (row.fileId != kNoFileId)
      EmitLine(row);
    for (const CBuildError *error : row.errors)
      Line("!! error " + std::to_string(error->code) + ": " + error->message);
  }

  /// Ends the marks still open.
  void Finish() { CloseFiles(0); }

  std::string Take() { return std::move(m_Out); }

private:
  struct COpenFile {
    std::uint32_t fileId;
    std::int32_t lastLine;
    bool marked; ///< false for a level that showed no row of its own
  };

  std::string Location(const CRow &row) const {
    if (row.fileId == kNoFileId || row.fileId >= m_Build.files.size())
      return std::string();
    return m_Build.files[row.fileId].name + ":" + std::to_string(row.line);
  }

  void Line(std::string text) {
    while (!text.empty() && text.back() == ' ')
      text.pop_back();
    m_Out += text;
    m_Out += '\n';
  }

  void CloseFiles(std::size_t depth) {
    while (m_Open.size() > depth) {
      if (m_Open.back().marked)
        Line("<< end " + m_Build.files[m_Open.back().fileId].name);
      m_Open.pop_back();
    }
  }

  /// Opens and closes marks so that `row` stands in its file at its depth.
  /// Within one inclusion a file's lines only grow: a line that does not
  /// starts the file's next inclusion.
  void EnterFile(const CRow &row) {
    std::size_t level = static_cast<std::size_t>(std::max(row.depth, 0));
    CloseFiles(level + 1);
    if (m_Open.size() == level + 1 &&
        (m_Open.back().fileId != row.fileId || row.line <= m_Open.back().lastLine))
      CloseFiles(level);
    while (m_Open.size() < level)
      m_Open.push_back({kNoFileId, 0, false});
    if (m_Open.size() == level) {
      // Only included files are marked: the top-level ones (std.tvh and
      // the source) are where the listing starts.
      const CBuildFile &file = m_Build.files[row.fileId];
      if (level > 0)
        Line(">> begin " + file.name + " (" + file.fullPath + ")");
      m_Open.push_back({row.fileId, row.line, level > 0});
    }
    m_Open.back().lastLine = row.line;
  }

  void EmitLine(const CRow &row) {
    std::string location = Padded(Location(row), m_LocationWidth);
    std::string blank(m_LocationWidth + 2 + 8 + 2 + m_PositionWidth, ' ');
    std::string_view text = m_SourceText(row.fileId, row.line);
    const CBuildStatement *s = row.statement;
    if (s == nullptr) {
      Line(location + "  " + std::string(8 + 2 + m_PositionWidth + 2 + kBytesWidth, ' ') +
           "  " + std::string(text));
      return;
    }
    std::string head = location + "  " + Hex(static_cast<std::uint32_t>(s->address), 8) +
                       "  " + Padded(Hex(s->position, 8), m_PositionWidth);
    std::vector<std::string> byteRows;
    if (s->kind == StatementKind::Reserve || s->kind == StatementKind::IncludeBin) {
      if (s->size != 0)
        byteRows.push_back("(" + std::to_string(s->size) + (s->size == 1 ? " byte)" : " bytes)"));
    } else {
      std::uint64_t end = std::min<std::uint64_t>(s->position + s->size, m_Build.image.size());
      for (std::uint64_t at = s->position; at < end; at += kBytesPerRow) {
        std::string bytes;
        for (std::uint64_t i = at; i < end && i < at + kBytesPerRow; ++i) {
          if (!bytes.empty())
            bytes += ' ';
          bytes += Hex(static_cast<unsigned char>(m_Build.image[i]), 2);
        }
        byteRows.push_back(bytes);
      }
    }
    std::size_t rows = std::max<std::size_t>(byteRows.size(), s->expansion.empty() ? 1 : 2);
    for (std::size_t r = 0; r < rows; ++r) {
      std::string bytes = r < byteRows.size() ? byteRows[r] : std::string();
      std::string source = r == 0   ? std::string(text)
                           : r == 1 && !s->expansion.empty() ? "=> " + s->expansion
                                                             : std::string();
      std::string line = r == 0 ? head : blank;
      line += "  ";
      line += bytes;
      line.append(kBytesWidth + 2 - std::min(bytes.size(), kBytesWidth), ' ');
      line += source;
      Line(std::move(line));
    }
  }

  const CBuildRecord &m_Build;
  const SourceTextOf &m_SourceText;
  std::string m_Out;
  std::vector<COpenFile> m_Open;
  std::size_t m_LocationWidth = 8;
  std::size_t m_PositionWidth = 8;
};

} // namespace

std::string RenderListing(const CBuildRecord &build, const SourceTextOf &sourceText) {
  CLayout layout(build);
  CWriter writer(build, sourceText);
  layout.ForEach([&](const CRow &row) { writer.Measure(row); });
  writer.Heading();
  layout.ForEach([&](const CRow &row) { writer.Emit(row); });
  writer.Finish();
  return writer.Take();
}

std::vector<std::string_view> SplitSourceLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r')
      continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      ++i;
    start = i + 1;
  }
  if (start < text.size())
    lines.push_back(text.substr(start));
  return lines;
}

std::string_view CSourceTexts::Line(std::uint32_t fileId, std::int32_t line) {
  if (fileId >= m_Build.files.size() || line < 1)
    return std::string_view();
  if (m_Texts.size() < m_Build.files.size())
    m_Texts.resize(m_Build.files.size());
  CText &text = m_Texts[fileId];
  if (!text.loaded) {
    text.loaded = true;
    std::ifstream in(m_Build.files[fileId].path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    text.content = content.str();
    text.lines = SplitSourceLines(text.content);
  }
  std::size_t index = static_cast<std::size_t>(line) - 1;
  return index < text.lines.size() ? text.lines[index] : std::string_view();
}
