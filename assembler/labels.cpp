//===- assembler/labels.cpp - Labels and namespaces -----------------------===//

#include "assembler/labels.h"

#include "assembler/statement.h"
#include "driver/diagnostics.h"
#include "image/image_writer.h"
#include "util/arena.h"
#include "util/random.h"
#include "util/string_map.h"
#include "util/text.h"

#include <algorithm>
#include <cstring>

std::string g_Namespace;
std::deque<CLabelFixup> g_LabelFixups;
std::int32_t g_LabelsDefined = 0;
std::int32_t g_LabelsUsed = 0;

namespace {

/// Labels by lower-cased full name.
CStringMap<CLabel> g_Labels;
/// Label names as written, fix-up names and namespace paths.
CArena g_LabelText;
/// g_Namespace lower-cased, kept in step with it.
std::string g_NamespaceLower;
/// Every namespace path fix-ups were recorded in, as written and
/// lower-cased; the last one is refreshed when g_Namespace changes.
struct NamespaceRecord {
  std::string_view path;
  std::string_view lower;
};
std::vector<NamespaceRecord> g_NamespaceRecords;
bool g_NamespaceStored = false;
/// Scratch space for lookup keys.
std::string g_Key;

void CountUse() { CountLabelUses(1); }

/// Builds the lower-cased key `path.name` in g_Key.
std::string_view MakeKey(std::string_view lowerPath, std::string_view name) {
  std::size_t prefix = lowerPath.empty() ? 0 : lowerPath.size() + 1;
  std::size_t size = prefix + name.size();
  if (g_Key.size() < size)
    g_Key.resize(std::max<std::size_t>(size, 2 * g_Key.size()));
  char *out = g_Key.data();
  if (prefix != 0) {
    std::memcpy(out, lowerPath.data(), lowerPath.size());
    out[lowerPath.size()] = '.';
  }
  const unsigned char *lower = platform::LowerCaseTable();
  for (std::size_t i = 0; i < name.size(); ++i)
    out[prefix + i] =
        static_cast<char>(lower[static_cast<unsigned char>(name[i])]);
  return std::string_view(out, size);
}

/// Scratch space for a full name as written.
std::string g_FullName;

std::string_view FullName(std::string_view name) {
  g_FullName.assign(g_Namespace);
  if (!g_Namespace.empty())
    g_FullName += '.';
  g_FullName.append(name);
  return g_FullName;
}

/// Removes the last component of a dotted path.
void DropLastComponent(std::string &path) {
  std::size_t dot = path.rfind('.');
  path.erase(dot == std::string::npos ? 0 : dot);
}

std::string_view DropLastComponent(std::string_view path) {
  std::size_t dot = path.rfind('.');
  return path.substr(0, dot == std::string_view::npos ? 0 : dot);
}

/// The walk from a lower-cased namespace outward.
const CLabel *FindLabelLower(std::string_view lowerPath, std::string_view name) {
  for (;;) {
    if (const CLabel *label = g_Labels.Find(MakeKey(lowerPath, name)))
      return label;
    if (lowerPath.empty())
      return nullptr;
    lowerPath = DropLastComponent(lowerPath);
  }
}

void SetNamespace(std::string path) {
  g_Namespace = std::move(path);
  g_NamespaceLower = LowerCopy(g_Namespace);
  g_NamespaceStored = false;
}

std::uint32_t StoredNamespace() {
  if (!g_NamespaceStored) {
    g_NamespaceRecords.push_back(
        {g_LabelText.Store(g_Namespace), g_LabelText.Store(g_NamespaceLower)});
    g_NamespaceStored = true;
  }
  return static_cast<std::uint32_t>(g_NamespaceRecords.size() - 1);
}

/// A single identifier is its own name; dotted names are joined.
std::string_view UsedName(const CParameter &parameter, std::string &joined) {
  CTokenList tokens(parameter.value);
  tokens.Advance();
  if (tokens.AtEnd())
    return parameter.first.text;
  joined = TokensToPath(parameter.value);
  return joined;
}

} // namespace

std::string JoinName(std::string_view path, std::string_view name) {
  std::string result(path);
  if (!path.empty())
    result += '.';
  result += name;
  return result;
}

std::string TokensToPath(std::string_view encodedTokens) {
  CTokenList tokens(encodedTokens);
  std::string path;
  std::string_view identifier;
  bool wellFormed = TakeToken(tokens, TOKEN_IDENTIFIER, &identifier);
  if (wellFormed) {
    path.assign(identifier);
    while (!tokens.AtEnd()) {
      if (!AcceptToken(tokens, TOKEN_SYMBOL, ".") ||
          !TakeToken(tokens, TOKEN_IDENTIFIER, &identifier)) {
        wellFormed = false;
        break;
      }
      path += '.';
      path += identifier;
    }
  }
  if (!wellFormed)
    ReportLineError(700,
                    "Internal error: cannot convert token list to namespace path");
  return path;
}

bool BeginNamespace(CSourceLine &line) {
  std::string_view name;
  std::string madeUp;
  if (!TakeToken(line, TOKEN_IDENTIFIER, &name)) {
    int first = NextRandom();
    int second = NextRandom();
    madeUp = "_" + std::to_string(first) + "_" + std::to_string(second);
    name = madeUp;
  }
  SetNamespace(JoinName(g_Namespace, name));
  ExpectEndOfLine(line);
  return true;
}

bool EndNamespace(CSourceLine &line) {
  ExpectEndOfLine(line);
  if (g_Namespace.empty()) {
    ReportLineError(902, "No namespace to end");
    return true;
  }
  std::string path = g_Namespace;
  DropLastComponent(path);
  SetNamespace(std::move(path));
  return true;
}

const CLabel *FindLabel(std::string_view nameSpace, std::string_view name) {
  std::string lowerPath = LowerCopy(nameSpace);
  return FindLabelLower(lowerPath, name);
}

bool DefineLabel(std::string_view name) {
  std::string_view key = MakeKey(g_NamespaceLower, name);
  CKeyHash hash = HashKey(key);
  // A label may not hide one of the same name in an enclosing namespace;
  // a label already defined under the full name is the first complaint.
  if (!g_NamespaceLower.empty()) {
    if (g_Labels.Find(key, hash) != nullptr) {
      ReportLineError(904, "\"" + JoinName(g_Namespace, name) +
                               "\" label already defined");
      return false;
    }
    if (const CLabel *outer =
            FindLabelLower(DropLastComponent(std::string_view(g_NamespaceLower)),
                           name)) {
      ReportLineError(904, "\"" + JoinName(g_Namespace, name) +
                               "\" label conflicts with \"" +
                               std::string(outer->name) + "\"");
      return false;
    }
    key = MakeKey(g_NamespaceLower, name);
  }
  CLabel label;
  label.value = GetOffset();
  std::string_view storedKey;
  auto [stored, inserted] = g_Labels.Insert(key, hash, label, storedKey);
  if (!inserted) {
    ReportLineError(904, "\"" + JoinName(g_Namespace, name) +
                             "\" label already defined");
    return false;
  }
  // Most names are written in lower case: share the key's bytes then.
  std::string_view written = FullName(name);
  stored->name = written == storedKey ? storedKey : g_LabelText.Store(written);
  if (g_LabelsDefined < INT32_MAX)
    ++g_LabelsDefined;
  return true;
}

std::string_view NamespaceOf(const CLabelFixup &fixup) {
  return fixup.nameSpace < g_NamespaceRecords.size()
             ? g_NamespaceRecords[fixup.nameSpace].path
             : std::string_view();
}

void CountLabelUses(std::uint64_t count) {
  std::uint64_t total = static_cast<std::uint64_t>(g_LabelsUsed) + count;
  g_LabelsUsed = total > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(total);
}

std::int32_t ReferenceLabel(const CParameter &parameter) {
  CountUse();
  std::string joined;
  std::string_view name = UsedName(parameter, joined);
  if (const CLabel *label = FindLabelLower(g_NamespaceLower, name))
    return label->value;
  CLabelFixup fixup;
  fixup.nameSpace = StoredNamespace();
  fixup.name = joined.empty() ? name : g_LabelText.Store(joined);
  fixup.position = GetOutputPosition();
  fixup.fileId = g_CurrentLine->FileId();
  fixup.line = g_CurrentLine->GetLineNumber();
  g_LabelFixups.push_back(fixup);
  return 0;
}

bool ReferenceDefinedLabel(const CParameter &parameter, std::int32_t &value) {
  CountUse();
  std::string joined;
  std::string_view name = UsedName(parameter, joined);
  if (const CLabel *label = FindLabelLower(g_NamespaceLower, name)) {
    value = label->value;
    return true;
  }
  ReportLineError(910, "\"" + std::string(name) +
                           "\" label must be defined before it is used here");
  return false;
}

void PatchLabels() {
  for (const CLabelFixup &fixup : g_LabelFixups) {
    const CLabel *label =
        FindLabelLower(g_NamespaceRecords[fixup.nameSpace].lower, fixup.name);
    if (label == nullptr) {
      std::string message;
      if (NextErrorIsPrinted())
        message = "\"" + std::string(fixup.name) +
                  "\" label used without being defined";
      ReportRepeatedErrorAt(905, message, FileNameOf(fixup.fileId), fixup.line,
                            fixup.repeat);
      continue;
    }
    if (!IsOutputOpen())
      continue;
    std::uint32_t value = static_cast<std::uint32_t>(label->value);
    unsigned char bytes[4] = {static_cast<unsigned char>(value),
                              static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value >> 16),
                              static_cast<unsigned char>(value >> 24)};
    SeekOutput(fixup.position);
    for (std::uint32_t i = 0; i < fixup.repeat; ++i)
      if (!WriteOutputRaw(bytes, sizeof bytes))
        break;
  }
}

void ClearLabels() {
  g_Labels.Clear();
  g_LabelFixups.clear();
  g_LabelFixups.shrink_to_fit();
  g_NamespaceRecords.clear();
  g_NamespaceStored = false;
}

void ResetLabels() {
  ClearLabels();
  g_LabelText.Reset();
  SetNamespace(std::string());
  g_NamespaceStored = false;
  g_LabelsDefined = 0;
  g_LabelsUsed = 0;
}
