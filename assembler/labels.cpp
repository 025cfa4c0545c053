//===- assembler/labels.cpp - Labels and namespaces -----------------------===//
//
// A label's full name is its namespace path and its name joined by ".". The
// table keys labels by namespace and lower-cased name: every namespace ever
// opened has a number and knows its parent, so looking a name up from a
// namespace outward hashes the name once and probes one slot per level,
// instead of building and hashing "a.b.name", "a.name" and "name" in turn.
// A qualified name "c.x" is looked up as the label x of the namespace
// "<level>.c", for each level outward, exactly like the joined text.
//
//===----------------------------------------------------------------------===//

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

/// The global namespace's number.
constexpr std::uint32_t kGlobal = 0;

struct NamespaceInfo {
  std::string_view lowerPath;
  std::uint32_t parent;
};

/// Every namespace opened so far, by number, and the numbers by lower-cased
/// path.
std::vector<NamespaceInfo> g_Namespaces;
CStringMap<std::uint32_t> g_NamespaceIds;
std::uint32_t g_CurrentNamespace = kGlobal;

/// Label names as written, fix-up names and namespace paths.
CArena g_LabelText;
/// Scratch space for lower-cased names and paths.
std::string g_Lower;
std::string g_Path;

/// Labels by namespace and lower-cased name. Entries stay in place; the
/// index holds a 32-bit tag and the entry number per slot.
class CLabelTable {
public:
  std::size_t Size() const { return m_Entries.size(); }

  CLabel *Find(std::uint32_t nameSpace, std::string_view lowerName,
               const CKeyHash &nameHash) {
    if (m_Slots.empty())
      return nullptr;
    CKeyHash hash = Combine(nameSpace, nameHash);
    std::size_t mask = m_Slots.size() - 1;
    for (std::size_t i = hash.home & mask;; i = (i + 1) & mask) {
      std::uint64_t slot = m_Slots[i];
      if (slot == 0)
        return nullptr;
      if ((slot & kTagMask) == hash.tag) {
        Entry &entry = m_Entries[static_cast<std::size_t>(slot & kIndexMask) - 1];
        if (entry.nameSpace == nameSpace && entry.lowerName == lowerName)
          return &entry.label;
      }
    }
  }

  /// Adds a label known to be absent; returns it and its stored lower name.
  CLabel *Insert(std::uint32_t nameSpace, std::string_view lowerName,
                 const CKeyHash &nameHash, std::string_view &storedName) {
    if ((m_Entries.size() + 1) * 2 > m_Slots.size())
      Grow();
    m_Entries.push_back({m_Names.Store(lowerName), nameSpace, CLabel()});
    Place(Combine(nameSpace, nameHash), m_Entries.size());
    storedName = m_Entries.back().lowerName;
    return &m_Entries.back().label;
  }

  void Clear() {
    m_Slots.clear();
    m_Slots.shrink_to_fit();
    m_Entries.clear();
    m_Entries.shrink_to_fit();
    m_Names.Reset();
  }

private:
  struct Entry {
    std::string_view lowerName;
    std::uint32_t nameSpace;
    CLabel label;
  };

  static constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;
  static constexpr std::uint64_t kIndexMask = 0x00000000FFFFFFFFull;

  /// Numbered names of one namespace keep neighbouring slots; namespaces
  /// are spread apart.
  static CKeyHash Combine(std::uint32_t nameSpace, const CKeyHash &nameHash) {
    std::uint64_t spread = nameSpace * 0x9E3779B97F4A7C15ull;
    return {nameHash.home + spread,
            nameHash.tag ^ ((spread * 0xC2B2AE3D27D4EB4Full) & kTagMask)};
  }

  void Place(const CKeyHash &hash, std::size_t number) {
    std::size_t mask = m_Slots.size() - 1;
    std::size_t i = hash.home & mask;
    while (m_Slots[i] != 0)
      i = (i + 1) & mask;
    m_Slots[i] = hash.tag | number;
  }

  void Grow() {
    m_Slots.assign(m_Slots.empty() ? 64 : m_Slots.size() * 2, 0);
    for (std::size_t index = 0; index < m_Entries.size(); ++index) {
      const Entry &entry = m_Entries[index];
      Place(Combine(entry.nameSpace, HashKey(entry.lowerName)), index + 1);
    }
  }

  std::vector<std::uint64_t> m_Slots;
  std::deque<Entry> m_Entries;
  CArena m_Names{1 << 16};
};

CLabelTable g_Labels;

void CountUse() { CountLabelUses(1); }

std::string_view Lower(std::string_view text, std::string &buffer) {
  buffer.resize(text.size());
  const unsigned char *lower = platform::LowerCaseTable();
  for (std::size_t i = 0; i < text.size(); ++i)
    buffer[i] = static_cast<char>(lower[static_cast<unsigned char>(text[i])]);
  return buffer;
}

/// Removes the last component of a dotted path.
void DropLastComponent(std::string &path) {
  std::size_t dot = path.rfind('.');
  path.erase(dot == std::string::npos ? 0 : dot);
}

/// The number of the namespace with lower-cased path `lowerPath`, or none.
const std::uint32_t *FindNamespace(std::string_view lowerPath) {
  if (lowerPath.empty()) {
    static const std::uint32_t global = kGlobal;
    return &global;
  }
  return g_NamespaceIds.Find(lowerPath);
}

/// Opens the namespace `lowerPath`, a child of the current one.
std::uint32_t EnterNamespace(std::string_view lowerPath) {
  if (const std::uint32_t *known = FindNamespace(lowerPath))
    return *known;
  auto number = static_cast<std::uint32_t>(g_Namespaces.size());
  std::string_view stored;
  g_NamespaceIds.Insert(lowerPath, number, stored);
  g_Namespaces.push_back({stored, g_CurrentNamespace});
  return number;
}

/// The lookup from namespace `from` outward, of a lower-cased name that may
/// be qualified ("c.x").
const CLabel *FindFrom(std::uint32_t from, std::string_view lowerName) {
  std::size_t dot = lowerName.rfind('.');
  if (dot == std::string_view::npos) {
    CKeyHash hash = HashKey(lowerName);
    for (std::uint32_t level = from;; level = g_Namespaces[level].parent) {
      if (CLabel *label = g_Labels.Find(level, lowerName, hash))
        return label;
      if (level == kGlobal)
        return nullptr;
    }
  }
  std::string_view qualifier = lowerName.substr(0, dot);
  std::string_view name = lowerName.substr(dot + 1);
  CKeyHash hash = HashKey(name);
  for (std::uint32_t level = from;; level = g_Namespaces[level].parent) {
    std::string_view prefix = g_Namespaces[level].lowerPath;
    g_Path.assign(prefix);
    if (!prefix.empty())
      g_Path += '.';
    g_Path.append(qualifier);
    if (const std::uint32_t *target = FindNamespace(g_Path))
      if (CLabel *label = g_Labels.Find(*target, name, hash))
        return label;
    if (level == kGlobal)
      return nullptr;
  }
}

void SetNamespace(std::string path, std::uint32_t number) {
  g_Namespace = std::move(path);
  g_CurrentNamespace = number;
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

void EnsureGlobalNamespace() {
  if (g_Namespaces.empty())
    g_Namespaces.push_back({std::string_view(), kGlobal});
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
  EnsureGlobalNamespace();
  std::string_view name;
  std::string madeUp;
  if (!TakeToken(line, TOKEN_IDENTIFIER, &name)) {
    // A made-up name is drawn again if a namespace of that name exists
    // here already: two anonymous namespaces must never share labels.
    do {
      int first = NextRandom();
      int second = NextRandom();
      madeUp = "_" + std::to_string(first) + "_" + std::to_string(second);
    } while (FindNamespace(Lower(JoinName(g_Namespace, madeUp), g_Lower)) !=
             nullptr);
    name = madeUp;
  }
  std::string path = JoinName(g_Namespace, name);
  std::uint32_t number = EnterNamespace(Lower(path, g_Lower));
  SetNamespace(std::move(path), number);
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
  SetNamespace(std::move(path), g_Namespaces[g_CurrentNamespace].parent);
  return true;
}

const CLabel *FindLabel(std::string_view nameSpace, std::string_view name) {
  EnsureGlobalNamespace();
  // The namespace may never have been opened: its nearest opened ancestor
  // gives the same result, since nothing is defined below it.
  std::string path = LowerCopy(nameSpace);
  const std::uint32_t *from = FindNamespace(path);
  while (from == nullptr) {
    DropLastComponent(path);
    from = FindNamespace(path);
  }
  std::string lowerName = LowerCopy(name);
  return FindFrom(*from, lowerName);
}

bool DefineLabel(std::string_view name) {
  EnsureGlobalNamespace();
  std::string_view lowerName = Lower(name, g_Lower);
  CKeyHash hash = HashKey(lowerName);
  if (g_Labels.Find(g_CurrentNamespace, lowerName, hash) != nullptr) {
    ReportLineError(904, "\"" + JoinName(g_Namespace, name) +
                             "\" label already defined");
    return false;
  }
  // A label may not hide one of the same name in an enclosing namespace.
  for (std::uint32_t level = g_CurrentNamespace; level != kGlobal;) {
    level = g_Namespaces[level].parent;
    if (const CLabel *outer = g_Labels.Find(level, lowerName, hash)) {
      ReportLineError(904, "\"" + JoinName(g_Namespace, name) +
                               "\" label conflicts with \"" +
                               std::string(outer->name) + "\"");
      return false;
    }
  }
  std::string_view storedName;
  CLabel *label = g_Labels.Insert(g_CurrentNamespace, lowerName, hash, storedName);
  label->value = GetOffset();
  // Most global names are written in lower case: share the stored bytes.
  if (g_Namespace.empty() && name == storedName) {
    label->name = storedName;
  } else {
    std::string fullName = JoinName(g_Namespace, name);
    label->name = g_LabelText.Store(fullName);
  }
  if (g_LabelsDefined < INT32_MAX)
    ++g_LabelsDefined;
  return true;
}

void CountLabelUses(std::uint64_t count) {
  std::uint64_t total = static_cast<std::uint64_t>(g_LabelsUsed) + count;
  g_LabelsUsed = total > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(total);
}

std::int32_t ReferenceLabel(const CParameter &parameter) {
  EnsureGlobalNamespace();
  CountUse();
  std::string joined;
  std::string_view name = UsedName(parameter, joined);
  if (const CLabel *label = FindFrom(g_CurrentNamespace, Lower(name, g_Lower)))
    return label->value;
  CLabelFixup fixup;
  fixup.nameSpace = g_CurrentNamespace;
  fixup.name = joined.empty() ? name : g_LabelText.Store(joined);
  fixup.position = GetOutputPosition();
  fixup.fileId = g_CurrentLine->FileId();
  fixup.line = g_CurrentLine->GetLineNumber();
  g_LabelFixups.push_back(fixup);
  return 0;
}

bool ReferenceDefinedLabel(const CParameter &parameter, std::int32_t &value) {
  EnsureGlobalNamespace();
  CountUse();
  std::string joined;
  std::string_view name = UsedName(parameter, joined);
  if (const CLabel *label = FindFrom(g_CurrentNamespace, Lower(name, g_Lower))) {
    value = label->value;
    return true;
  }
  ReportLineError(910, "\"" + std::string(name) +
                           "\" label must be defined before it is used here");
  return false;
}

std::string_view NamespaceOf(const CLabelFixup &fixup) {
  return fixup.nameSpace < g_Namespaces.size()
             ? g_Namespaces[fixup.nameSpace].lowerPath
             : std::string_view();
}

void PatchLabels() {
  EnsureGlobalNamespace();
  for (const CLabelFixup &fixup : g_LabelFixups) {
    const CLabel *label = FindFrom(fixup.nameSpace, Lower(fixup.name, g_Lower));
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
}

void ResetLabels() {
  ClearLabels();
  g_Namespaces.clear();
  g_NamespaceIds.Clear();
  g_LabelText.Reset();
  SetNamespace(std::string(), kGlobal);
  g_LabelsDefined = 0;
  g_LabelsUsed = 0;
}
