//===- markup/okl_read.h - OKL markup reader --------------------*- C++ -*-===//
//
// COKLRead hands an OKL document out one item at a time on request: quoted or
// bare values, name/value pairs, raw text and section brackets. After every
// item it reports the filler that followed it (the last separator, whether a
// line break was passed, whether the text ended). Before it examines any byte
// it lets the markup preprocessor replace comments, entity references and
// directives at the cursor, so it reads the document as edited by them.
//
// Every reading error is thrown as a COKLError by value; nothing else ever
// leaves the reader, whatever the input. Hostile input is bounded: markup
// constructs nest at most kMaxMarkupDepth deep, and the text that replacements
// produce is limited in count and size.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_MARKUP_OKL_READ_H
#define FERROX_MARKUP_OKL_READ_H

#include "markup/gap_text.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

/// Longest document the reader accepts, edits included (2 GiB - 1, the same
/// bound as for files read whole). A longer text is refused with error 1.
inline constexpr std::uint32_t kMaxDocumentSize = 0x7FFFFFFFu;

/// Deepest nesting of markup constructs (directives, entity references and
/// long-form special characters inside one another). Going deeper raises the
/// construct's own error: 5, 4 or 6.
inline constexpr std::int32_t kMaxMarkupDepth = 200;

/// Most entity references replaced by a defined text in one document. Only a
/// definition that leads back to itself comes near it; passing it raises
/// error 4.
inline constexpr std::int64_t kMaxEntityReplacements = 1000000;

/// Most bytes that replacements (entity texts, directive output, included
/// files) may insert into one document (16 MiB). Passing it raises error 4
/// for an entity reference, 7 for an inclusion and 5 for other directives.
inline constexpr std::int64_t kMaxInsertedBytes = std::int64_t{1} << 24;

/// A document under a cursor: the caller's text, the reader's working copy of
/// it and the brackets open at the cursor. It has no virtual operations.
///
/// The working copy is taken at construction and edited as the reader reads
/// (in a gap buffer, so that edits near the cursor are cheap). The caller's
/// text receives the edited document whenever the reader raises an error and
/// when it is destroyed.
class COKLParser {
public:
  /// A parser over `text`, which the caller keeps alive while it works.
  /// Raises error 1 for a text longer than kMaxDocumentSize.
  explicit COKLParser(std::string &text);
  COKLParser(const COKLParser &) = delete;
  COKLParser &operator=(const COKLParser &) = delete;

  /// The document as edited so far.
  std::string CurrentText() const { return m_Buffer.Str(); }

  std::string &m_Text;     ///< The caller's text (see the class comment).
  std::uint32_t m_Pos = 0; ///< Cursor: index of the next byte to examine.
  /// The opening bracket of every open section and markup construct,
  /// innermost last.
  std::vector<char> m_SectionStack;

protected:
  /// Writes the edited document back into m_Text.
  ~COKLParser();

  /// Current length of the document.
  std::size_t Length() const { return m_Buffer.Size(); }
  /// True when the cursor is at or past the end of the document.
  bool AtEnd() const { return m_Pos >= m_Buffer.Size(); }
  /// The byte at `index` as 0..255, or -1 past the end.
  int ByteAt(std::size_t index) const {
    if (index >= m_Buffer.Size())
      return -1;
    return static_cast<unsigned char>(m_Buffer.At(index));
  }
  /// The byte at the cursor as 0..255, or -1 at the end.
  int Current() const { return ByteAt(m_Pos); }

  /// Raises COKLError `code` at the cursor, over the edited document.
  [[noreturn]] void Raise(std::int32_t code);

  CGapText m_Buffer; ///< The working copy of the document.
};

/// The OKL reader. Construct it over a document, call Begin, then request
/// items while m_AtEnd is false, looking at m_Separator and m_NewLineSeen after
/// each request. Requests that find nothing suitable return false.
class COKLRead : public COKLParser {
public:
  /// A reader over `text` with no definitions; it reads nothing yet.
  explicit COKLRead(std::string &text);

  /// Carries out directive `name` (any letter case), reading its arguments at
  /// the cursor and appending its output to `output`. Raises error 5 for a
  /// name that is no directive.
  virtual void OnDirective(const std::string &name, std::string &output);
  /// Puts the whole text of `fileName`, resolved against `baseDirectory`,
  /// into `*output`. Does nothing when `output` is null; raises error 7 when
  /// the file cannot be read or holds more than the document can still take
  /// in (see kMaxInsertedBytes).
  virtual void ReadIncludedFile(const std::string &baseDirectory,
                                const std::string &fileName,
                                std::string *output);
  virtual ~COKLRead();

  /// Starts reading at the beginning of the document: resets the cursor, the
  /// markup depth and the inclusion count, stores `baseDirectory` for
  /// inclusions, and skips leading filler. Definitions and open sections are
  /// kept.
  void Begin(std::string_view baseDirectory);

  /// Reads a quoted or bare value into `*out` (dropped when `out` is null),
  /// then skips filler. False when no value starts at the cursor.
  bool ReadValue(std::string *out);
  /// Reads raw text up to the next bracket into `*out`, then skips filler.
  /// False when there is none.
  bool ReadText(std::string *out);
  /// Reads `name`, a pair mark (`*mark` 1 for ":", 0 for "=") and `value`.
  /// On failure the cursor goes back to where it was. Null outputs are
  /// allowed.
  bool ReadPair(std::string *name, int *mark, std::string *value);
  /// Passes an opening bracket at the cursor, then skips filler.
  bool OpenSection();
  /// Passes the closing partner of the innermost open bracket, then skips
  /// filler when `skipAfter` is true. False when no closing bracket is at the
  /// cursor; raises error 0 when nothing is open and error 2 for a bracket of
  /// the wrong kind.
  bool CloseSection(bool skipAfter);

  /// Skips blanks, separators and markup, and reports them in m_Separator,
  /// m_NewLineSeen and m_AtEnd (only when no markup construct is being read).
  void SkipFiller();
  /// Skips blanks and markup; `*newLine` (may be null) tells whether a CR or
  /// LF was passed. False, with `*newLine` untouched, when no blank was at the
  /// cursor.
  bool SkipBlanks(bool *newLine);
  /// Passes ":" (`*mark` 1) or "=" (`*mark` 0), then skips filler.
  bool ReadPairMark(int *mark);
  /// Reads a special character ("[&" byte "]" or "[&" number "]", likewise
  /// with braces) into `*out` (may be null). False, consuming nothing, when
  /// none is at the cursor.
  bool ReadSpecialChar(char *out);

  /// Replaces every comment, entity reference and directive that begins at
  /// the cursor by its result; the cursor stays where it was.
  void ProcessMarkup();

  /// Defines `name` as `text`, replacing an earlier definition.
  void Define(const std::string &name, const std::string &text);
  /// Removes the definition of `name`; false when there was none.
  bool Undefine(const std::string &name);
  /// Whether `name` is defined (and, when `value` is not empty, defined as
  /// exactly `value`); inverted when `positive` is false.
  bool TestCondition(const std::string &name, const std::string &value,
                     bool positive) const;

  /// Definitions made by "def", by name (letter case matters).
  std::map<std::string, std::string> m_Defines;
  /// Directory that included file names are resolved against.
  std::string m_BaseDirectory;
  /// Most inclusions per document; -1 for no limit.
  std::int32_t m_IncludeLimit = 100;
  /// Inclusions carried out since Begin.
  std::int32_t m_IncludeCount = 0;
  /// Number of markup constructs being read at the moment.
  std::int32_t m_MarkupDepth = 0;

  /// Last separator of the last filler: 0 none, 1 ",", 2 ";".
  std::int32_t m_Separator = 0;
  /// The last filler held a CR or LF.
  bool m_NewLineSeen = false;
  /// The last filler ended at the end of the document.
  bool m_AtEnd = false;

  /// Value option: runs of blanks become one space.
  bool m_CollapseSpaces = false;
  /// Value option: leading and trailing blanks are removed.
  bool m_TrimValues = false;
  /// Value option: line breaks become CR LF (1), LF (2) or CR (3); 0 keeps
  /// them.
  std::int32_t m_NewLineMode = 0;

protected:
  /// The bounds on replacements; kMaxEntityReplacements and kMaxInsertedBytes
  /// unless a derived reader lowers them.
  std::int64_t m_EntityLimit = kMaxEntityReplacements;
  std::int64_t m_InsertLimit = kMaxInsertedBytes;

private:
  /// Applies the value options to `*out`.
  void ApplyValueOptions(std::string *out) const;
  /// Reads the rest of a quoted value whose quote is at the cursor.
  void ReadQuotedValue(std::string &value);
  /// Reads a bare value; false when it would be empty.
  bool ReadBareValue(std::string &value);
  /// Reads the number of a long-form special character.
  char ReadLongSpecialChar();

  /// Enters a markup construct whose two-byte opening is at the cursor;
  /// `code` is raised when constructs nest too deeply.
  void EnterConstruct(std::int32_t code);
  /// Replaces the text from `place` to the cursor by `replacement`, puts the
  /// cursor on `place` and leaves the construct. `code` is raised when the
  /// replacement would pass the limits on inserted text.
  void ReplaceConstruct(std::uint32_t place, std::string_view replacement,
                        std::int32_t code);
  void HandleComment();
  void HandleEntity();
  void HandleDirective();

  /// Reads a condition: a pair, or a single name with an empty value.
  void ReadCondition(std::string &name, std::string &value);
  /// Reads a branch of a conditional; appends an entity reference for each
  /// of its values to `output` when `take` is true.
  void ReadBranch(bool take, std::string &output);
  void RunConditional(bool positive, std::string &output);

  std::int64_t m_EntityReplacements = 0; ///< Since Begin.
  std::int64_t m_InsertedBytes = 0;      ///< Since Begin.
};

} // namespace qz

#endif // FERROX_MARKUP_OKL_READ_H
