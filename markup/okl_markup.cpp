//===- markup/okl_markup.cpp - OKL markup preprocessor --------------------===//
//
// Comments, entity references and directives of OKL documents. They are
// replaced in the reader's text at the cursor before the reader examines a
// byte, so their results are read as if they had been written there.
//
//===----------------------------------------------------------------------===//

#include "markup/okl_error.h"
#include "markup/okl_read.h"

#include "util/files.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <limits>

namespace qz {

void COKLRead::ProcessMarkup() {
  // A replacement may itself begin with a construct, so look again at the
  // same place after each one.
  while (std::size_t{m_Pos} + 1 < Length()) {
    int open = Current();
    if (open != '[' && open != '{')
      return;
    int kind = ByteAt(std::size_t{m_Pos} + 1);
    if (kind == '#')
      HandleDirective();
    else if (kind == '$')
      HandleEntity();
    else if (kind == '/')
      HandleComment();
    else
      return;
  }
}

void COKLRead::EnterConstruct(std::int32_t code) {
  if (m_MarkupDepth >= kMaxMarkupDepth)
    Raise(code);
  ++m_MarkupDepth;
  m_SectionStack.push_back(static_cast<char>(Current()));
  m_Pos += 2;
}

void COKLRead::ReplaceConstruct(std::uint32_t place,
                                std::string_view replacement,
                                std::int32_t code) {
  std::size_t end = std::min<std::size_t>(m_Pos, Length());
  std::size_t erased = end > place ? end - place : 0;
  if (!replacement.empty()) {
    std::int64_t inserted =
        m_InsertedBytes + static_cast<std::int64_t>(replacement.size());
    std::size_t newLength = Length() - erased + replacement.size();
    if (inserted > m_InsertLimit || newLength > kMaxDocumentSize)
      Raise(code);
    m_InsertedBytes = inserted;
  }
  m_Buffer.Erase(place, erased);
  m_Buffer.Insert(place, replacement);
  m_Pos = place;
  --m_MarkupDepth;
}

// comment: "[/" { any byte } "/]"
void COKLRead::HandleComment() {
  char open = static_cast<char>(Current());
  const char endMark[] = {'/', MirrorBracket(open)};
  std::size_t end =
      m_Buffer.Find(std::string_view(endMark, 2), std::size_t{m_Pos} + 2);
  if (end == std::string::npos)
    Raise(COKLError::kUnexpectedEnd);
  m_Buffer.Erase(m_Pos, end + 2 - m_Pos);
}

// entity: "[$" name "]"
void COKLRead::HandleEntity() {
  std::uint32_t place = m_Pos;
  EnterConstruct(COKLError::kEntityError);
  SkipFiller();
  std::string name;
  if (!ReadValue(&name))
    Raise(COKLError::kEntityError);
  if (!CloseSection(false))
    Raise(COKLError::kEntityError);
  auto found = m_Defines.find(name);
  if (found == m_Defines.end()) {
    ReplaceConstruct(place, {}, COKLError::kEntityError);
    return;
  }
  // A definition that leads back to itself would expand forever.
  if (++m_EntityReplacements > m_EntityLimit)
    Raise(COKLError::kEntityError);
  ReplaceConstruct(place, found->second, COKLError::kEntityError);
}

// directive: "[#" name { argument } "]"
//   def, undef, if/ifn with elseif/elseifn/else branches, inc, okl
void COKLRead::HandleDirective() {
  std::uint32_t place = m_Pos;
  EnterConstruct(COKLError::kDirectiveError);
  SkipFiller();
  std::string name;
  if (!ReadValue(&name))
    Raise(COKLError::kDirectiveError);
  std::string output;
  OnDirective(name, output);
  if (!CloseSection(false))
    Raise(COKLError::kDirectiveError);
  ReplaceConstruct(place, output, COKLError::kDirectiveError);
}

void COKLRead::OnDirective(const std::string &name, std::string &output) {
  std::string directive = LowerCopy(name);
  if (directive == "inc") {
    std::string file;
    if (!ReadValue(&file))
      Raise(COKLError::kDirectiveError);
    if (m_IncludeLimit != -1 && m_IncludeCount >= m_IncludeLimit)
      Raise(COKLError::kIncludeLimit);
    if (m_IncludeCount < std::numeric_limits<std::int32_t>::max())
      ++m_IncludeCount;
    ReadIncludedFile(m_BaseDirectory, file, &output);
    // An inclusion that would pass the bound on inserted text is reported as
    // a file that cannot be included.
    if (m_InsertedBytes + static_cast<std::int64_t>(output.size()) >
            m_InsertLimit ||
        output.size() > kMaxDocumentSize)
      Raise(COKLError::kIncludeError);
    return;
  }
  if (directive == "def") {
    std::string defName;
    if (!ReadValue(&defName))
      Raise(COKLError::kDirectiveError);
    std::string text;
    if (!ReadText(&text))
      text.clear();
    Define(defName, text);
    return;
  }
  if (directive == "undef") {
    std::string defName;
    if (!ReadValue(&defName))
      Raise(COKLError::kDirectiveError);
    Undefine(defName);
    return;
  }
  if (directive == "if" || directive == "ifn") {
    RunConditional(directive == "if", output);
    return;
  }
  if (directive == "okl") {
    while (ReadPair(nullptr, nullptr, nullptr)) {
    }
    return;
  }
  Raise(COKLError::kDirectiveError);
}

// condition: name [ ( "=" | ":" ) value ]
void COKLRead::ReadCondition(std::string &name, std::string &value) {
  int mark = 0;
  if (ReadPair(&name, &mark, &value))
    return;
  value.clear();
  if (!ReadValue(&name))
    Raise(COKLError::kDirectiveError);
}

// branch: "[" text "]"
void COKLRead::ReadBranch(bool take, std::string &output) {
  if (!OpenSection())
    Raise(COKLError::kDirectiveError);
  // The output names definitions: every value of the chosen branch becomes an
  // entity reference, which the reader replaces right after the directive.
  std::string value;
  while (ReadValue(&value)) {
    if (!take)
      continue;
    output += "[$";
    output += value;
    output += ']';
  }
  if (!CloseSection(true))
    Raise(COKLError::kDirectiveError);
}

// conditional: condition branch { ("elseif" | "elseifn") condition branch } [ "else" branch ]
void COKLRead::RunConditional(bool positive, std::string &output) {
  std::string condName;
  std::string condValue;
  ReadCondition(condName, condValue);
  bool taken = TestCondition(condName, condValue, positive);
  ReadBranch(taken, output);

  std::string word;
  while (ReadValue(&word)) {
    std::string keyword = LowerCopy(word);
    if (keyword == "elseif" || keyword == "elseifn") {
      ReadCondition(condName, condValue);
      bool take =
          !taken && TestCondition(condName, condValue, keyword == "elseif");
      taken = taken || take;
      ReadBranch(take, output);
    } else if (keyword == "else") {
      ReadBranch(!taken, output);
    } else {
      Raise(COKLError::kDirectiveError);
    }
  }
}

void COKLRead::ReadIncludedFile(const std::string &baseDirectory,
                                const std::string &fileName,
                                std::string *output) {
  if (!output)
    return;
  // A zero byte would cut the name short and open a different file.
  if (fileName.find('\0') != std::string::npos)
    Raise(COKLError::kIncludeError);
  // Read no more than the document can still take in, so that a huge file
  // or an endless device fails early instead of filling memory.
  std::int64_t room = m_InsertLimit - m_InsertedBytes;
  std::int64_t documentRoom = static_cast<std::int64_t>(kMaxDocumentSize) -
                              static_cast<std::int64_t>(Length());
  room = std::max<std::int64_t>(0, std::min(room, documentRoom));
  if (!ReadWholeFileUpTo(ResolvePath(baseDirectory, fileName), *output,
                         static_cast<std::size_t>(room)))
    Raise(COKLError::kIncludeError);
}

void COKLRead::Define(const std::string &name, const std::string &text) {
  m_Defines.insert_or_assign(name, text);
}

bool COKLRead::Undefine(const std::string &name) {
  return m_Defines.erase(name) > 0;
}

bool COKLRead::TestCondition(const std::string &name, const std::string &value,
                             bool positive) const {
  auto definition = m_Defines.find(name);
  bool found = definition != m_Defines.end();
  if (found && !value.empty())
    found = definition->second == value;
  return positive ? found : !found;
}

} // namespace qz
