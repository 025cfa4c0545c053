//===- fuzz/markup_fuzzer.cpp - The markup reader on arbitrary text -------===//
//
// Input layout: one byte of reader options, one byte giving the length of a
// request script, the script, then the document. The script's bytes are
// replayed in a loop as requests to the reader (values, pairs, sections,
// text, special characters, filler, definitions, restarts, and the request
// sequences of the instruction set and directory list loaders) until the
// document ends, a markup error is raised or the request budget is spent.
//
// Only qz::CError may leave the reader. After every request that returns,
// the reader must be consistent: cursor inside the document, no markup
// construct left open, the section stack as the requests left it.
//
//===----------------------------------------------------------------------===//

#include "fuzz/fuzz_support.h"

#include "markup/okl_error.h"
#include "markup/okl_read.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string g_Folder;

/// Files the document may include: a fixed one, one that includes itself,
/// and the document itself (written per run as "self.okl").
constexpr std::string_view kIncludedFile =
    "[#def inc included] value [$inc] {&65} [/ note /]\r\n";
constexpr std::string_view kEndlessFile = "[#inc endless.okl] x";

/// The reader with lower bounds on replacements: the same checks, reached
/// in a few thousand steps instead of a million, so that runaway documents
/// stay fast under the sanitizers.
class FuzzReader : public qz::COKLRead {
public:
  explicit FuzzReader(std::string &text) : COKLRead(text) {
    m_EntityLimit = 10000;
    m_InsertLimit = 1 << 20;
  }
  using COKLParser::Length;
};

/// The instruction set loader's requests for one definition.
void ReadDefinitionLike(FuzzReader &reader) {
  std::string value;
  if (!reader.ReadValue(&value) || !reader.ReadValue(&value) ||
      !reader.ReadValue(&value))
    return;
  if (reader.OpenSection()) {
    for (int kinds = 0; kinds < 4 && !reader.CloseSection(true); ++kinds)
      if (!reader.ReadValue(&value))
        return;
  }
}

struct Options {
  bool keepText;     // outputs given (true) or null (false)
  bool writeReports; // errors are written to an error log
};

/// Runs one request. Only the section requests change the open sections:
/// markup constructs close every bracket they open.
void RunRequest(FuzzReader &reader, std::uint8_t op, const Options &options,
                std::string &name, std::string &value) {
  std::string *out = options.keepText ? &value : nullptr;
  int mark = -1;
  char special = 0;
  bool newLine = false;
  std::size_t before = reader.m_SectionStack.size();
  switch (op % 18) {
  case 0:
    reader.ReadValue(out);
    break;
  case 1:
    reader.ReadValue(&name);
    break;
  case 2:
    reader.ReadText(out);
    break;
  case 3:
    if (reader.ReadPair(&name, &mark, out))
      FUZZ_CHECK(mark == 0 || mark == 1);
    break;
  case 4:
    reader.ReadPair(nullptr, nullptr, nullptr);
    break;
  case 5:
    if (reader.OpenSection())
      FUZZ_CHECK(reader.m_SectionStack.size() == before + 1);
    else
      FUZZ_CHECK(reader.m_SectionStack.size() == before);
    return;
  case 6:
  case 7:
    if (reader.CloseSection(op % 18 == 6))
      FUZZ_CHECK(reader.m_SectionStack.size() + 1 == before);
    else
      FUZZ_CHECK(reader.m_SectionStack.size() == before);
    return;
  case 8:
    reader.SkipFiller();
    break;
  case 9:
    reader.SkipBlanks(&newLine);
    break;
  case 10:
    if (reader.ReadPairMark(&mark))
      FUZZ_CHECK(mark == 0 || mark == 1);
    break;
  case 11:
    reader.ReadSpecialChar(op & 0x80 ? &special : nullptr);
    break;
  case 12:
    reader.ProcessMarkup();
    break;
  case 13:
    if (op & 0x80)
      reader.Undefine(name);
    else
      reader.Define(name, value);
    break;
  case 14:
    reader.TestCondition(name, value, (op & 0x80) != 0);
    break;
  case 15:
    reader.Begin(g_Folder);
    break;
  case 16:
    ReadDefinitionLike(reader);
    return;
  case 17:
    // The directory list loader: values until the end.
    for (int i = 0; i < 16 && !reader.m_AtEnd; ++i)
      if (!reader.ReadValue(&value))
        break;
    break;
  }
  FUZZ_CHECK(reader.m_SectionStack.size() == before);
}

void CheckConsistent(FuzzReader &reader) {
  FUZZ_CHECK(reader.m_Pos <= reader.Length());
  FUZZ_CHECK(reader.m_MarkupDepth == 0);
  FUZZ_CHECK(reader.Length() <= qz::kMaxDocumentSize);
  FUZZ_CHECK(reader.m_Separator >= 0 && reader.m_Separator <= 2);
}

void CheckError(const qz::CError &error, const Options &options) {
  if (const auto *okl = dynamic_cast<const qz::COKLError *>(&error)) {
    FUZZ_CHECK(okl->m_Type >= qz::COKLError::kLevelMismatch &&
               okl->m_Type <= qz::COKLError::kIncludeLimit);
    FUZZ_CHECK(okl->m_Line >= 1 && okl->m_Column >= 1);
  }
  if (!options.writeReports)
    return;
  std::string logPath = g_Folder + "errors.log";
  {
    qz::CErrorLog log(logPath);
    error.WriteReport(log);
  }
  fuzz::Remove(logPath);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  g_Folder = fuzz::MakeScratchFolder("markup");
  fuzz::WriteFile(g_Folder + "included.okl", kIncludedFile);
  fuzz::WriteFile(g_Folder + "endless.okl", kEndlessFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  if (size < 2)
    return 0;
  std::uint8_t flags = data[0];
  std::size_t scriptSize = std::size_t{data[1]} % 32 + 1;
  if (size < 2 + scriptSize)
    return 0;
  std::string_view script(reinterpret_cast<const char *>(data + 2), scriptSize);
  std::string document(reinterpret_cast<const char *>(data + 2 + scriptSize),
                       size - 2 - scriptSize);
  fuzz::WriteFile(g_Folder + "self.okl", document);

  Options options{(flags & 0x40) == 0, (flags & 0x80) != 0};
  // Enough requests to walk the document a few times, few enough to stay
  // fast when requests make no progress.
  std::size_t budget = 64 + 4 * document.size();
  qz::ResetErrorNumber();
  try {
    FuzzReader reader(document);
    reader.m_CollapseSpaces = (flags & 1) != 0;
    reader.m_TrimValues = (flags & 2) != 0;
    reader.m_NewLineMode = (flags >> 2) & 3;
    reader.m_IncludeLimit = (flags & 0x10) ? 3 : 100;
    reader.Begin(g_Folder);
    CheckConsistent(reader);
    std::string name;
    std::string value;
    for (std::size_t step = 0; step < budget && !reader.m_AtEnd; ++step) {
      RunRequest(reader, static_cast<std::uint8_t>(script[step % scriptSize]),
                 options, name, value);
      CheckConsistent(reader);
    }
  } catch (const qz::CError &error) {
    CheckError(error, options);
  }
  return 0;
}
