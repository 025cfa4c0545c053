//===- instructions/instruction_file.cpp - Definition files for tools -----===//

#include "instructions/instruction_file.h"

#include "markup/okl_error.h"
#include "markup/okl_read.h"
#include "util/files.h"
#include "util/paths.h"

#include <algorithm>
#include <map>
#include <optional>

namespace {

/// Bytes compared to recognise the text of a file ahead of the cursor.
constexpr std::size_t kWindow = 64;
/// How far past the cursor the end of markup output is looked for.
constexpr std::size_t kProbeSpan = 4096;
/// Byte comparisons one load may spend looking for such ends, so that a
/// file made of markup output costs no more than a few hundred ms.
constexpr std::int64_t kProbeBudget = std::int64_t{1} << 26;

/// The text of one file read, and where its lines start.
struct CFileText {
  std::string path;
  std::string text;
  std::vector<std::size_t> lineStarts;
};

/// Offsets of the lines of `text`; CR LF, a lone CR and a lone LF each end
/// a line, as for the markup reader's own messages.
std::vector<std::size_t> LineStarts(std::string_view text) {
  std::vector<std::size_t> starts = {0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      ++i;
    if (text[i] == '\r' || text[i] == '\n')
      starts.push_back(i + 1);
  }
  return starts;
}

std::int32_t LineAt(const CFileText &file, std::size_t offset) {
  auto after = std::upper_bound(file.lineStarts.begin(), file.lineStarts.end(), offset);
  return static_cast<std::int32_t>(after - file.lineStarts.begin());
}

/// A file's text copied into the document: which file, and how many bytes
/// of the document follow the copy.
struct CCopy {
  std::size_t file;
  std::size_t endFromEnd;
};

/// The markup reader with a record of the files it has copied into its
/// document. Bytes behind the end of a copy are never edited by the copy's
/// inclusion, so the distance from the end of the document stays a fixed
/// point while the reader edits the text before it.
class CTrackingReader final : public qz::COKLRead {
public:
  CTrackingReader(std::string &document, std::vector<CFileText> &files)
      : COKLRead(document), m_Files(files) {
    m_Copies.push_back({0, 0});
  }

  void OnDirective(const std::string &name, std::string &output) override {
    m_Included = false;
    COKLRead::OnDirective(name, output);
    if (!m_Included)
      return;
    m_Included = false;
    // A well-formed inclusion ends at the bracket under the cursor; one that
    // does not is an error the caller raises next.
    int c = Current();
    if (c != ']' && c != '}')
      return;
    m_Files.push_back({m_IncludedPath, output, LineStarts(output)});
    m_Copies.push_back({m_Files.size() - 1, Length() - m_Pos - 1});
  }

  void ReadIncludedFile(const std::string &baseDirectory,
                        const std::string &fileName,
                        std::string *output) override {
    COKLRead::ReadIncludedFile(baseDirectory, fileName, output);
    if (output == nullptr)
      return;
    m_Included = true;
    m_IncludedPath = ResolvePath(baseDirectory, fileName);
  }

  /// The place of the byte at `position` of the document. Calls must come
  /// in document order.
  CDefinitionPlace PlaceOf(std::size_t position) {
    position = std::min(position, Length());
    std::size_t fromEnd = Length() - position;
    // Innermost copy first. Markup output can stand at the cursor in any
    // copy, and make the cursor look as if it were still inside a copy it
    // has passed; only a match of the copy's own text decides.
    std::optional<CDefinitionPlace> atEndOfCopy;
    for (std::size_t i = m_Copies.size(); i-- > 0;) {
      const CCopy &copy = m_Copies[i];
      if (copy.endFromEnd >= fromEnd && i > 0)
        continue;
      const CFileText &file = m_Files[copy.file];
      std::size_t ahead = fromEnd - copy.endFromEnd;
      std::size_t size = file.text.size();
      CDefinitionPlace place{file.path, 0, false};
      if (ahead <= size &&
          Matches(position, file.text, size - ahead, std::min(ahead, kWindow))) {
        place.line = LineAt(file, size - ahead);
        m_Copies.resize(i + 1);
        return place;
      }
      // Markup output stands at the cursor: the copy's own text resumes
      // where the markup that produced it ended.
      place.fromMarkup = true;
      for (std::size_t skip = 1; skip <= std::min(ahead, kProbeSpan) && m_Budget > 0;
           ++skip) {
        std::size_t rest = ahead - skip;
        if (rest > size)
          continue;
        if (rest == 0) {
          // Only the copy's end: markup at its very end, or after it.
          place.line = LineAt(file, size > 0 ? size - 1 : 0);
          if (!atEndOfCopy)
            atEndOfCopy = place;
          break;
        }
        std::size_t count = std::min(rest, kWindow);
        m_Budget -= static_cast<std::int64_t>(count) + 1;
        if (Matches(position + skip, file.text, size - rest, count)) {
          place.line = LineAt(file, size - rest - 1);
          m_Copies.resize(i + 1);
          return place;
        }
      }
    }
    if (atEndOfCopy)
      return *atEndOfCopy;
    const CFileText &file = m_Files[m_Copies.back().file];
    return CDefinitionPlace{file.path, 0, true};
  }

private:
  bool Matches(std::size_t position, const std::string &text,
               std::size_t offset, std::size_t count) const {
    for (std::size_t i = 0; i < count; ++i)
      if (ByteAt(position + i) != static_cast<unsigned char>(text[offset + i]))
        return false;
    return true;
  }

  std::vector<CFileText> &m_Files;
  std::vector<CCopy> m_Copies;
  bool m_Included = false;
  std::string m_IncludedPath;
  std::int64_t m_Budget = kProbeBudget;
};

/// Keeps every definition with its place; marks the ones a taken name
/// drops.
class CEntrySink final : public CDefinitionSink {
public:
  CEntrySink(CInstructionFile &file, CTrackingReader &reader)
      : m_File(file), m_Reader(reader) {}

  void BeginDefinition(qz::COKLRead &) override {
    m_Place = m_Reader.PlaceOf(m_Reader.m_Pos);
  }

  void Definition(const CInstruction &instruction) override {
    CDefinitionEntry entry{instruction, m_Place, {}, -1};
    auto [kept, added] = m_File.index.emplace(instruction.name, m_File.entries.size());
    if (!added)
      entry.keptIndex = static_cast<std::int32_t>(kept->second);
    m_File.entries.push_back(std::move(entry));
  }

  const CDefinitionPlace &Place() const { return m_Place; }

private:
  CInstructionFile &m_File;
  CTrackingReader &m_Reader;
  CDefinitionPlace m_Place;
};

std::string MarkupFailure(std::int32_t code) {
  switch (code) {
  case qz::COKLError::kLevelMismatch: return "a closing bracket closes nothing";
  case qz::COKLError::kBadCharacter: return "the document is too large";
  case qz::COKLError::kSectionMismatch: return "a closing bracket does not match its opening one";
  case qz::COKLError::kUnexpectedEnd: return "a quoted value or a comment is not closed";
  case qz::COKLError::kEntityError: return "an entity reference is malformed or never ends";
  case qz::COKLError::kDirectiveError: return "a directive is malformed or unknown";
  case qz::COKLError::kSpecialCharError: return "a special character is malformed";
  case qz::COKLError::kIncludeError: return "an included file cannot be read";
  case qz::COKLError::kIncludeLimit: return "more than 100 inclusions";
  default: return "the markup is broken";
  }
}

/// Comments of `file` by the line they begin on. The reader replaces
/// comments wherever they stand, even in quoted values; they do not nest.
std::map<std::int32_t, std::string> CommentsByLine(const CFileText &file) {
  std::map<std::int32_t, std::string> comments;
  const std::string &text = file.text;
  std::size_t i = 0;
  while (i + 1 < text.size()) {
    char open = text[i];
    if (open != '[' && open != '{') {
      ++i;
      continue;
    }
    char close = MirrorBracket(open);
    if (text[i + 1] == '&' && i + 3 < text.size() && text[i + 3] == close) {
      i += 4; // "[&[]" and the like stand for one character
      continue;
    }
    if (text[i + 1] != '/') {
      ++i;
      continue;
    }
    const char mark[] = {'/', close};
    std::size_t end = text.find(std::string_view(mark, 2), i + 2);
    if (end == std::string::npos)
      break;
    std::string body = Trim(CollapseWhitespace(text.substr(i + 2, end - i - 2)));
    if (!body.empty()) {
      std::string &line = comments[LineAt(file, i)];
      line += line.empty() ? body : " " + body;
    }
    i = end + 2;
  }
  return comments;
}

void AttachComments(CInstructionFile &result, const std::vector<CFileText> &files) {
  std::map<std::string, std::map<std::int32_t, std::string>> byFile;
  for (const CFileText &file : files)
    if (byFile.find(file.path) == byFile.end())
      byFile.emplace(file.path, CommentsByLine(file));
  for (CDefinitionEntry &entry : result.entries) {
    auto file = byFile.find(entry.place.file);
    if (entry.place.line == 0 || file == byFile.end())
      continue;
    auto comment = file->second.find(entry.place.line);
    if (comment != file->second.end())
      entry.comment = comment->second;
  }
}

} // namespace

std::vector<CInstruction> CInstructionFile::Instructions() const {
  std::vector<CInstruction> result;
  for (const CDefinitionEntry &entry : entries)
    if (!entry.Dropped())
      result.push_back(entry.instruction);
  return result;
}

const CInstruction *CInstructionFile::Find(std::string_view name) const {
  auto found = index.find(name);
  return found != index.end() ? &entries[found->second].instruction : nullptr;
}

CInstructionFile LoadInstructionFile(const std::string &path) {
  CInstructionFile result;
  result.path = path;
  result.failurePlace.file = path;
  std::vector<CFileText> files(1);
  if (!ReadWholeFile(path, files[0].text)) {
    result.failure = "cannot be read";
    return result;
  }
  result.readable = true;
  files[0].path = path;
  files[0].lineStarts = LineStarts(files[0].text);
  std::string document = files[0].text;
  try {
    CTrackingReader reader(document, files);
    CEntrySink sink(result, reader);
    try {
      reader.Begin(DirectoryPart(path));
      const char *why = "";
      result.loaded = ReadInstructionDocument(reader, sink, &why);
      if (!result.loaded) {
        result.failure = why;
        result.failurePlace = sink.Place();
      }
    } catch (const qz::COKLError &error) {
      result.failure = MarkupFailure(error.m_Type);
      result.failurePlace = reader.PlaceOf(error.m_Position);
    }
  } catch (const qz::CError &) {
    result.failure = MarkupFailure(qz::COKLError::kBadCharacter);
  }
  AttachComments(result, files);
  return result;
}

std::string InstalledInstructionFile() {
  return ProgramDirectory() + "Instructions.okl";
}
