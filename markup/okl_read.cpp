//===- markup/okl_read.cpp - OKL markup reader ----------------------------===//
//
// The reading requests of COKLRead. The markup constructs that ProcessMarkup
// replaces live in okl_markup.cpp.
//
//===----------------------------------------------------------------------===//

#include "markup/okl_read.h"

#include "markup/okl_error.h"
#include "util/numbers.h"
#include "util/text.h"

namespace qz {

namespace {

bool IsBlank(int c) { return c >= 0 && IsSpace(static_cast<char>(c)); }

bool IsOpeningBracket(int c) { return c == '[' || c == '{'; }

bool IsClosingBracket(int c) { return c == ']' || c == '}'; }

bool IsBracket(int c) { return IsOpeningBracket(c) || IsClosingBracket(c); }

bool IsQuote(int c) { return c == '"' || c == '\''; }

/// The bytes that end a bare value.
bool IsValueDelimiter(int c) {
  return IsBlank(c) || c == ',' || c == ';' || c == ':' || c == '=' ||
         IsQuote(c) || IsBracket(c);
}

/// The partner of bracket byte `c` as 0..255.
int PartnerOf(int c) {
  return static_cast<unsigned char>(MirrorBracket(static_cast<char>(c)));
}

} // namespace

//===----------------------------------------------------------------------===//
// COKLParser
//===----------------------------------------------------------------------===//

COKLParser::COKLParser(std::string &text) : m_Text(text) {
  // The cursor is 32 bits wide; refuse a text it could not address.
  if (text.size() > kMaxDocumentSize)
    throw COKLError(COKLError::kBadCharacter, text, kMaxDocumentSize);
  m_Buffer = CGapText(text);
}

COKLParser::~COKLParser() { m_Text = m_Buffer.Release(); }

void COKLParser::Raise(std::int32_t code) {
  m_Text = m_Buffer.Str();
  throw COKLError(code, m_Text, m_Pos);
}

//===----------------------------------------------------------------------===//
// COKLRead: filler and requests
//===----------------------------------------------------------------------===//

COKLRead::COKLRead(std::string &text) : COKLParser(text) {}

COKLRead::~COKLRead() = default;

void COKLRead::Begin(std::string_view baseDirectory) {
  m_Pos = 0;
  m_MarkupDepth = 0;
  m_IncludeCount = 0;
  m_EntityReplacements = 0;
  m_InsertedBytes = 0;
  m_BaseDirectory.assign(baseDirectory);
  SkipFiller();
}

bool COKLRead::SkipBlanks(bool *newLine) {
  if (AtEnd())
    return false;
  ProcessMarkup();
  if (!IsBlank(Current()))
    return false;
  bool sawNewLine = false;
  while (!AtEnd()) {
    ProcessMarkup();
    int c = Current();
    if (!IsBlank(c))
      break;
    if (c == '\r' || c == '\n')
      sawNewLine = true;
    ++m_Pos;
  }
  if (newLine)
    *newLine = sawNewLine;
  return true;
}

void COKLRead::SkipFiller() {
  // Filler read inside a markup construct belongs to the construct and must
  // not disturb the report of the caller's last item.
  if (m_MarkupDepth == 0) {
    m_NewLineSeen = false;
    m_Separator = 0;
  }
  for (;;) {
    bool newLine = false;
    if (SkipBlanks(&newLine)) {
      if (newLine && m_MarkupDepth == 0)
        m_NewLineSeen = true;
      continue;
    }
    if (AtEnd())
      break;
    ProcessMarkup();
    int c = Current();
    if (c != ',' && c != ';')
      break;
    ++m_Pos;
    if (m_MarkupDepth == 0)
      m_Separator = c == ',' ? 1 : 2;
  }
  if (m_MarkupDepth == 0)
    m_AtEnd = AtEnd();
}

// special-char: "[&" byte "]" | "{&" byte "}"
bool COKLRead::ReadSpecialChar(char *out) {
  std::size_t pos = m_Pos;
  if (pos + 1 >= Length())
    return false;
  int open = Current();
  if (!IsOpeningBracket(open) || ByteAt(pos + 1) != '&')
    return false;
  char result;
  if (ByteAt(pos + 3) == PartnerOf(open)) {
    // Short form: the byte between "[&" and "]" stands for itself.
    result = static_cast<char>(ByteAt(pos + 2));
    m_Pos += 4;
  } else {
    result = ReadLongSpecialChar();
  }
  if (out)
    *out = result;
  return true;
}

// long-special-char: ("[&" | "{&") filler ( digits | "x" hex-digits ) ("]" | "}")
char COKLRead::ReadLongSpecialChar() {
  EnterConstruct(COKLError::kSpecialCharError);
  SkipFiller();
  std::string number;
  if (!ReadValue(&number))
    Raise(COKLError::kSpecialCharError);
  if (!CloseSection(false))
    Raise(COKLError::kSpecialCharError);
  if (number.empty())
    Raise(COKLError::kSpecialCharError);
  // A leading lower-case "x" marks hexadecimal; anything else is decimal.
  std::uint32_t value = number[0] == 'x'
                            ? ParseHex(std::string_view(number).substr(1))
                            : static_cast<std::uint32_t>(ParseLong(number));
  --m_MarkupDepth;
  return static_cast<char>(static_cast<unsigned char>(value & 0xFFu));
}

void COKLRead::ApplyValueOptions(std::string *out) const {
  if (m_CollapseSpaces)
    *out = CollapseWhitespace(*out);
  if (m_TrimValues)
    *out = Trim(*out);
  if (m_NewLineMode != 0)
    *out = ConvertNewlines(*out, m_NewLineMode);
}

// quoted-value: quote { any byte but that quote } quote
void COKLRead::ReadQuotedValue(std::string &value) {
  int quote = Current();
  ++m_Pos;
  while (!AtEnd()) {
    ProcessMarkup();
    char special;
    if (ReadSpecialChar(&special)) {
      value += special;
      continue;
    }
    ProcessMarkup();
    int c = Current();
    if (c < 0)
      break;
    ++m_Pos;
    if (c == quote)
      return;
    value += static_cast<char>(c);
  }
  Raise(COKLError::kUnexpectedEnd);
}

// bare-value: { byte other than blank "," ";" ":" "=" quote bracket }
bool COKLRead::ReadBareValue(std::string &value) {
  for (;;) {
    char special;
    if (ReadSpecialChar(&special)) {
      value += special;
      continue;
    }
    ProcessMarkup();
    int c = Current();
    if (c < 0 || IsValueDelimiter(c))
      break;
    value += static_cast<char>(c);
    ++m_Pos;
  }
  return !value.empty();
}

// value: filler ( quoted-value | bare-value | special-char ) filler
bool COKLRead::ReadValue(std::string *out) {
  if (AtEnd())
    return false;
  if (out)
    out->clear();
  ProcessMarkup();
  std::string value;
  if (IsQuote(Current()))
    ReadQuotedValue(value);
  else if (!ReadBareValue(value))
    return false;
  if (out) {
    *out = std::move(value);
    ApplyValueOptions(out);
  }
  SkipFiller();
  return true;
}

// text: { byte up to the next bracket }
bool COKLRead::ReadText(std::string *out) {
  if (AtEnd())
    return false;
  if (out)
    out->clear();
  std::string text;
  for (;;) {
    ProcessMarkup();
    char special;
    if (ReadSpecialChar(&special)) {
      text += special;
      continue;
    }
    ProcessMarkup();
    int c = Current();
    if (c < 0 || IsBracket(c))
      break;
    text += static_cast<char>(c);
    ++m_Pos;
  }
  if (text.empty())
    return false;
  if (out) {
    *out = std::move(text);
    ApplyValueOptions(out);
  }
  SkipFiller();
  return true;
}

bool COKLRead::ReadPairMark(int *mark) {
  if (AtEnd())
    return false;
  ProcessMarkup();
  int c = Current();
  if (c != ':' && c != '=')
    return false;
  if (mark)
    *mark = c == ':' ? 1 : 0;
  ++m_Pos;
  SkipFiller();
  return true;
}

// pair: value ( "=" | ":" ) value
bool COKLRead::ReadPair(std::string *name, int *mark, std::string *value) {
  std::uint32_t start = m_Pos;
  if (ReadValue(name) && ReadPairMark(mark) && ReadValue(value))
    return true;
  // Markup replaced in the meantime stays replaced; only the cursor goes back.
  m_Pos = start;
  return false;
}

// section: ( "[" | "{" ) { value | section } ( "]" | "}" )
bool COKLRead::OpenSection() {
  if (AtEnd())
    return false;
  ProcessMarkup();
  int c = Current();
  if (!IsOpeningBracket(c))
    return false;
  m_SectionStack.push_back(static_cast<char>(c));
  ++m_Pos;
  SkipFiller();
  return true;
}

bool COKLRead::CloseSection(bool skipAfter) {
  if (AtEnd())
    return false;
  ProcessMarkup();
  int c = Current();
  if (!IsClosingBracket(c))
    return false;
  if (m_SectionStack.empty())
    Raise(COKLError::kLevelMismatch);
  if (c != PartnerOf(static_cast<unsigned char>(m_SectionStack.back())))
    Raise(COKLError::kSectionMismatch);
  m_SectionStack.pop_back();
  ++m_Pos;
  if (skipAfter)
    SkipFiller();
  return true;
}

} // namespace qz
