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
#include "util/chunked_vector.h"
#include "util/compiler.h"
#include "util/platform.h"
#include "util/random.h"
#include "util/string_map.h"
#include "util/text.h"

#include <algorithm>
#include <cstring>
#include <utility>

std::string g_Namespace;
CChunkedVector<CLabelFixup> g_LabelFixups;
std::int32_t g_LabelsDefined = 0;
std::int32_t g_LabelsUsed = 0;

namespace {

/// The global namespace's number.
constexpr std::uint32_t kGlobal = 0;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

/// Slot arrays of small indexes: most namespaces hold a few names, and
/// their indexes grow a few times while they fill. Arrays of up to
/// kSmallSlots slots come from here and are never freed one by one (a
/// grown index leaves at most as much behind as it now holds); larger ones
/// are owned by their index. Reset with the namespaces. A program with
/// few namespaces takes small blocks; one with thousands goes on to large
/// blocks, faulted in ahead.
CArena g_IndexSlots(std::size_t{64} << 10, CMemoryBlock::kLargeBlock);
constexpr std::uint32_t kSmallSlots = 64;

/// Slot arrays of kGrownSlotBytes up to a quarter of a large block, the
/// steps by which a namespace with thousands of labels grows (all of them
/// fit one block together). They share large blocks, faulted in ahead,
/// instead of being faulted in page by page and handed back to the system
/// one by one; like the small ones they are never freed one by one, and a
/// grown index leaves behind less than it now holds. Reset with the
/// namespaces.
CArena g_GrownIndexSlots;
constexpr std::size_t kGrownSlotBytes = std::size_t{32} << 10;

/// A small open-addressing index of one namespace: from a name's hash to a
/// number (a label or a child namespace). Each namespace has its own, so the
/// names of one namespace share a few cache lines however many there are.
class CNameIndex {
public:
  CNameIndex() = default;
  CNameIndex(CNameIndex &&other) noexcept { *this = std::move(other); }
  CNameIndex &operator=(CNameIndex &&other) noexcept {
    if (this != &other) {
      Release();
      m_Slots = std::exchange(other.m_Slots, nullptr);
      m_Size = std::exchange(other.m_Size, 0);
      m_Count = std::exchange(other.m_Count, 0);
    }
    return *this;
  }
  CNameIndex(const CNameIndex &) = delete;
  CNameIndex &operator=(const CNameIndex &) = delete;
  ~CNameIndex() { Release(); }

  bool Empty() const { return m_Count == 0; }

  /// The number whose entry `matches`, or kNone.
  template <class Matches>
  std::uint32_t Find(const CKeyHash &hash, Matches matches) const {
    if (m_Size == 0)
      return kNone;
    std::size_t mask = m_Size - 1;
    for (std::size_t i = hash.home & mask;; i = (i + 1) & mask) {
      std::uint64_t slot = m_Slots[i];
      if (slot == 0)
        return kNone;
      if ((slot & kTagMask) == hash.tag) {
        auto number = static_cast<std::uint32_t>(slot & kIndexMask) - 1;
        if (matches(number))
          return number;
      }
    }
  }

  /// Adds `number` under `hash`; `homeOf(n)` gives the home of an earlier
  /// number when the index grows (its tag stays in the slot).
  template <class HomeOf>
  void Insert(const CKeyHash &hash, std::uint32_t number, HomeOf homeOf) {
    if ((std::uint64_t{m_Count} + 1) * 2 > m_Size) {
      std::uint64_t *old = m_Slots;
      std::uint32_t oldSize = m_Size;
      m_Size = oldSize == 0 ? 4 : oldSize * 2;
      m_Slots = NewSlots(m_Size);
      std::fill(m_Slots, m_Slots + m_Size, std::uint64_t{0});
      for (std::uint32_t i = 0; i < oldSize; ++i)
        if (old[i] != 0)
          Place(homeOf(static_cast<std::uint32_t>(old[i] & kIndexMask) - 1), old[i]);
      FreeSlots(old, oldSize);
    }
    Place(hash.home, hash.tag | (std::uint64_t{number} + 1));
    ++m_Count;
  }

private:
  static constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;
  static constexpr std::uint64_t kIndexMask = 0x00000000FFFFFFFFull;

  void Place(std::uint64_t home, std::uint64_t slot) {
    std::size_t mask = m_Size - 1;
    std::size_t i = home & mask;
    while (m_Slots[i] != 0)
      i = (i + 1) & mask;
    m_Slots[i] = slot;
  }

  /// Slot arrays of more than a quarter of a large block up to a whole one
  /// take a large block, faulted in ahead by the block supply's helper and
  /// given back to it when the index grows; larger ones are aligned for
  /// huge pages. The index of a namespace with many
  /// labels (a flat program's global one) is faulted in a few pages instead
  /// of thousands.
  static constexpr std::size_t kBlockSlotBytes = CMemoryBlock::kLargeBlock / 4;

  static std::uint64_t *NewSlots(std::uint32_t size) {
    std::size_t bytes = std::size_t{size} * sizeof(std::uint64_t);
    // Arena storage is aligned for slots: every array is a multiple of
    // eight bytes, from blocks that start aligned.
    if (size <= kSmallSlots)
      return reinterpret_cast<std::uint64_t *>(g_IndexSlots.Allocate(bytes));
    if (bytes < kGrownSlotBytes)
      return new std::uint64_t[size];
    if (bytes <= kBlockSlotBytes)
      return reinterpret_cast<std::uint64_t *>(g_GrownIndexSlots.Allocate(bytes));
    return new std::uint64_t[size];
  }

  static void FreeSlots(std::uint64_t *slots, std::uint32_t size) {
    std::size_t bytes = std::size_t{size} * sizeof(std::uint64_t);
    if (size <= kSmallSlots)
      return;
    if (bytes < kGrownSlotBytes)
      delete[] slots;
    else if (bytes <= kBlockSlotBytes)
      return;
    else
      delete[] slots;
  }

  void Release() {
    FreeSlots(m_Slots, m_Size);
    m_Slots = nullptr;
    m_Size = 0;
    m_Count = 0;
  }

  std::uint64_t *m_Slots = nullptr;
  std::uint32_t m_Size = 0;
  std::uint32_t m_Count = 0;
};

/// A namespace keeps only its own name: a path is rebuilt from the parents
/// when a message needs it, so deep nesting costs no memory per level.
struct NamespaceInfo {
  std::string_view lowerName; ///< The last component of the path.
  std::uint32_t parent;
  std::uint32_t depth; ///< 0 for the global namespace.
  /// An ancestor farther up (skew-binary jump pointers): any ancestor is
  /// reached in a logarithmic number of steps.
  std::uint32_t jump;
  /// The nearest enclosing namespace that holds a label (the global one
  /// when none does), so walks outward pass over the empty levels. Only
  /// the current namespace gains labels: the link is set whenever the
  /// namespace is opened, which keeps it right for every open namespace,
  /// and RefreshLabeledLinks sets it for all of them before lookups from
  /// closed ones.
  std::uint32_t labeledUp;
  CNameIndex labels;
  CNameIndex children;
};

/// One "namespace" command as written: the path a label defined inside it
/// shows in messages keeps the case each component had when it was opened.
struct ScopeInfo {
  std::string_view name;
  std::uint32_t parent;
};

struct LabelEntry {
  /// As written at the definition; lookups compare it without case.
  std::string_view name;
  std::uint32_t scope;    ///< The open scope at the definition.
  std::uint32_t nameSpace;
  /// The next label of the same name in a namespace other than the global
  /// one (see g_NestedNames), or kNone.
  std::uint32_t nextNested;
  /// The low bits of the name's home slot: indexes grow without hashing
  /// their names again (no index has 2^32 slots).
  std::uint32_t home;
  CLabel label;
};

/// Every namespace opened so far, by number; the global one is number 0.
CChunkedVector<NamespaceInfo> g_Namespaces;
std::uint32_t g_CurrentNamespace = kGlobal;
/// Every label, by number.
CChunkedVector<LabelEntry> g_Labels;
/// Every "namespace" command carried out; scope 0 is the top level.
CChunkedVector<ScopeInfo> g_Scopes;
std::uint32_t g_CurrentScope = 0;
/// The first label of each name defined in a namespace other than the
/// global one; the others of that name follow through nextNested. A name
/// missing here is found, from any depth, in the global namespace or
/// nowhere; one defined in a few namespaces is found by testing which of
/// them encloses the lookup's. Either way deep nesting needs no walk
/// through all its levels.
CNameIndex g_NestedNames;
/// Lookups from namespaces deeper than this consult g_NestedNames first.
constexpr std::uint32_t kShallowDepth = 8;
/// Names held by at most this many nested namespaces are looked up by
/// testing those namespaces.
constexpr std::uint32_t kFewHolders = 8;

/// Label names, namespace paths and fix-up names.
CArena g_LabelText;
/// Scratch space for lower-cased names.
std::string g_Lower;

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

void AddGlobalNamespace() {
  g_Namespaces.push_back(
      {std::string_view(), kGlobal, 0, kGlobal, kGlobal, CNameIndex(), CNameIndex()});
  g_Scopes.push_back({std::string_view(), 0});
}

/// The global namespace and the top scope exist from the first use on;
/// ResetLabels removes both.
FERROX_ALWAYS_INLINE void EnsureGlobalNamespace() {
  if (g_Scopes.empty()) [[unlikely]]
    AddGlobalNamespace();
}

/// Short names compared without a library call.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i])
      return false;
  return true;
}

/// Whether the system lower-cases the bytes of identifiers (letters,
/// digits and "_") the ASCII way, as nearly every system does: names of up
/// to 8 bytes are then lower-cased and compared as whole words.
bool ComputeAsciiLowerCase() {
  const unsigned char *lower = platform::LowerCaseTable();
  for (int c = 0; c < 128; ++c) {
    bool letter = c >= 'A' && c <= 'Z';
    bool part = letter || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (part && lower[c] != (letter ? c + ('a' - 'A') : c))
      return false;
  }
  return true;
}
const bool g_AsciiLowerCase = ComputeAsciiLowerCase();

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

/// The bytes of a word lower-cased, for bytes below 0x80: each byte from
/// 'A' to 'Z' gains 0x20 (no carry crosses a byte).
std::uint64_t LowerWord(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  std::uint64_t atLeastA = word + kOnes * (0x80 - 'A');
  std::uint64_t aboveZ = word + kOnes * (0x80 - 'Z' - 1);
  return word | ((atLeastA & ~aboveZ & kHighBits) >> 2);
}

/// Loads an ASCII name of 1 to 8 bytes into `word`, lower-cased, when the
/// system lower-cases identifiers the ASCII way; false otherwise (the
/// caller then uses the lower-case table).
FERROX_ALWAYS_INLINE bool LowerAsciiWord(const char *bytes, std::size_t size,
                                         std::uint64_t &word) {
  if (size == 0 || size > 8 || !g_AsciiLowerCase)
    return false;
  word = LoadShortKey(bytes, size);
  if ((word & kHighBits) != 0)
    return false;
  word = LowerWord(word);
  return true;
}

/// Lower-cases `name` into `buffer` and hashes it in registers when it is
/// an ASCII name of 1 to 8 bytes, as most label names are; false otherwise.
bool LowerShortName(std::string_view name, char (&buffer)[8],
                    std::string_view &lowerName, CKeyHash &hash) {
  std::uint64_t word;
  if (!LowerAsciiWord(name.data(), name.size(), word))
    return false;
  // The hosts are little-endian: the word's bytes are the name's in order.
  std::memcpy(buffer, &word, sizeof buffer);
  lowerName = std::string_view(buffer, name.size());
  hash = HashShortKey(word, name.size());
  return true;
}

/// Whether the `size` bytes at `a` and `b` are the same, a word at a time:
/// the names compared are short and a library call would cost more.
bool SameBytes(const char *a, const char *b, std::size_t size) {
  if (size < 8)
    return size == 0 || LoadShortKey(a, size) == LoadShortKey(b, size);
  std::uint64_t x;
  std::uint64_t y;
  for (std::size_t i = 0; i + 8 < size; i += 8) {
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y)
      return false;
  }
  std::memcpy(&x, a + size - 8, 8);
  std::memcpy(&y, b + size - 8, 8);
  return x == y;
}

/// Whether `name` lower-cased is `lowerName`.
FERROX_ALWAYS_INLINE bool SameNameNoCase(std::string_view name, std::string_view lowerName) {
  if (name.size() != lowerName.size())
    return false;
  // Label names are identifiers, ASCII; anything else takes the table.
  std::uint64_t word;
  if (LowerAsciiWord(name.data(), name.size(), word))
    return word == LoadShortKey(lowerName.data(), lowerName.size());
  const unsigned char *lower = platform::LowerCaseTable();
  for (std::size_t i = 0; i < name.size(); ++i)
    if (lower[static_cast<unsigned char>(name[i])] != static_cast<unsigned char>(lowerName[i]))
      return false;
  return true;
}

/// The number of the label `lowerName` defined directly in namespace
/// `nameSpace`, or kNone.
std::uint32_t FindNumberIn(std::uint32_t nameSpace, std::string_view lowerName,
                           const CKeyHash &hash) {
  return g_Namespaces[nameSpace].labels.Find(
      hash, [&](std::uint32_t n) { return SameNameNoCase(g_Labels[n].name, lowerName); });
}

/// The label `lowerName` defined directly in namespace `nameSpace`.
CLabel *FindIn(std::uint32_t nameSpace, std::string_view lowerName,
               const CKeyHash &hash) {
  std::uint32_t number = FindNumberIn(nameSpace, lowerName, hash);
  return number != kNone ? &g_Labels[number].label : nullptr;
}

/// A label's full name as written at its definition: the names of the
/// open namespaces and its own, joined by ".".
std::string FullName(std::uint32_t scope, std::string_view name) {
  std::size_t size = name.size();
  for (std::uint32_t s = scope; s != 0; s = g_Scopes[s].parent)
    size += g_Scopes[s].name.size() + 1;
  std::string result(size, '.');
  std::size_t end = size - name.size();
  result.replace(end, name.size(), name);
  for (std::uint32_t s = scope; s != 0; s = g_Scopes[s].parent) {
    std::string_view component = g_Scopes[s].name;
    end -= component.size() + 1;
    result.replace(end, component.size(), component);
  }
  return result;
}

/// The first label named `lowerName` in a namespace other than the global
/// one, or kNone.
std::uint32_t FirstNested(std::string_view lowerName, const CKeyHash &hash) {
  return g_NestedNames.Find(hash, [&](std::uint32_t n) {
    return SameNameNoCase(g_Labels[n].name, lowerName);
  });
}

/// Whether namespace `outer` is `inner` or encloses it.
bool Encloses(std::uint32_t outer, std::uint32_t inner) {
  std::uint32_t depth = g_Namespaces[outer].depth;
  if (depth > g_Namespaces[inner].depth)
    return false;
  while (g_Namespaces[inner].depth > depth) {
    std::uint32_t jump = g_Namespaces[inner].jump;
    inner = g_Namespaces[jump].depth >= depth ? jump : g_Namespaces[inner].parent;
  }
  return inner == outer;
}

/// The number of the label `lowerName` defined in namespace `from` or the
/// nearest one enclosing it, or kNone.
std::uint32_t FindOutward(std::uint32_t from, std::string_view lowerName,
                          const CKeyHash &hash) {
  std::uint32_t depth = g_Namespaces[from].depth;
  if (depth > kShallowDepth) {
    std::uint32_t first = FirstNested(lowerName, hash);
    if (first == kNone)
      return FindNumberIn(kGlobal, lowerName, hash);
    // A name held by a few namespaces: test which of them encloses `from`
    // (the innermost wins) instead of walking the levels.
    std::uint32_t budget = kFewHolders;
    std::uint32_t best = kNone;
    std::uint32_t bestDepth = 0;
    std::uint32_t n = first;
    for (; n != kNone && budget > 0; n = g_Labels[n].nextNested, --budget) {
      std::uint32_t holder = g_Labels[n].nameSpace;
      std::uint32_t holderDepth = g_Namespaces[holder].depth;
      if ((best == kNone || holderDepth > bestDepth) && Encloses(holder, from)) {
        best = n;
        bestDepth = holderDepth;
      }
    }
    if (n == kNone)
      return best != kNone ? best : FindNumberIn(kGlobal, lowerName, hash);
  }
  for (std::uint32_t level = from;; level = g_Namespaces[level].labeledUp) {
    std::uint32_t number = FindNumberIn(level, lowerName, hash);
    if (number != kNone || level == kGlobal)
      return number;
  }
}

/// The labeled link of a namespace opened inside `parent`, which is open.
std::uint32_t LabeledLinkBelow(std::uint32_t parent) {
  return g_Namespaces[parent].labels.Empty() ? g_Namespaces[parent].labeledUp : parent;
}

/// Sets the labeled link of every namespace, open or closed.
void RefreshLabeledLinks() {
  // A parent always has a lower number than its children.
  for (std::size_t n = 1; n < g_Namespaces.size(); ++n)
    g_Namespaces[n].labeledUp = LabeledLinkBelow(g_Namespaces[n].parent);
}

/// The child `lowerName` of namespace `parent`, or kNone.
std::uint32_t FindChild(std::uint32_t parent, std::string_view lowerName,
                        const CKeyHash &hash) {
  return g_Namespaces[parent].children.Find(hash, [&](std::uint32_t n) {
    return SameName(g_Namespaces[n].lowerName, lowerName);
  });
}

/// Counts new namespaces: a qualifier's resolution stays valid until one is
/// opened.
std::uint64_t g_NamespaceGeneration = 1;
/// Counts new labels and namespaces: a lookup's result stays valid until
/// either is added.
std::uint64_t g_LookupGeneration = 1;

/// Recent lookups of qualified uses and their results, by the uses' tokens.
/// A program uses the same names many times in a row (a block's
/// variables), and a forward use fails the same way each time until its
/// label appears.
struct LookupCacheEntry {
  std::uint64_t generation = 0;
  std::uint32_t from = 0;
  std::uint8_t length = 0;
  char text[51] = {};
  const CLabel *label = nullptr;
};
LookupCacheEntry g_LookupCache[512];

/// Where a qualifier ("c" of "c.x") last resolved from a namespace: the
/// first level outward at which it names a namespace. Programs use the
/// same few qualifiers over and over, and walking the qualifier from each
/// level costs a probe per level and component.
struct QualifierCacheEntry {
  std::uint64_t generation = 0;
  std::uint32_t from = 0;
  std::uint32_t level = 0;
  std::uint32_t target = 0;
  std::uint8_t length = 0;
  char text[55] = {};
};
QualifierCacheEntry g_QualifierCache[256];

/// The number of namespace `lowerName` inside the current one, opened now
/// if it is new.
std::uint32_t EnterNamespace(std::string_view lowerName) {
  CKeyHash hash = HashKey(lowerName);
  std::uint32_t known = FindChild(g_CurrentNamespace, lowerName, hash);
  if (known != kNone) {
    g_Namespaces[known].labeledUp = LabeledLinkBelow(g_CurrentNamespace);
    return known;
  }
  auto number = static_cast<std::uint32_t>(g_Namespaces.size());
  const NamespaceInfo &parent = g_Namespaces[g_CurrentNamespace];
  const NamespaceInfo &jump = g_Namespaces[parent.jump];
  bool evenSteps =
      parent.depth - jump.depth == jump.depth - g_Namespaces[jump.jump].depth;
  std::uint32_t farther = evenSteps ? jump.jump : g_CurrentNamespace;
  g_Namespaces.push_back({g_LabelText.Store(lowerName), g_CurrentNamespace,
                          parent.depth + 1, farther,
                          LabeledLinkBelow(g_CurrentNamespace), CNameIndex(),
                          CNameIndex()});
  g_Namespaces[g_CurrentNamespace].children.Insert(
      hash, number, [](std::uint32_t n) { return HashKey(g_Namespaces[n].lowerName).home; });
  ++g_NamespaceGeneration;
  ++g_LookupGeneration;
  return number;
}

/// The lookup from namespace `from` outward of a lower-cased name, which
/// may be qualified ("c.x": the label x of namespace c, seen from each
/// level in turn).
const CLabel *Resolve(std::uint32_t from, std::string_view lowerName) {
  std::size_t dot = lowerName.rfind('.');
  if (dot == std::string_view::npos) {
    std::uint32_t number = FindOutward(from, lowerName, HashKey(lowerName));
    return number != kNone ? &g_Labels[number].label : nullptr;
  }
  // The qualifier's components and their hashes, once for every level.
  struct Component {
    std::string_view name;
    CKeyHash hash;
  };
  static std::vector<Component> components;
  components.clear();
  for (std::size_t start = 0; start <= dot;) {
    std::size_t end = lowerName.find('.', start);
    std::string_view component = lowerName.substr(start, end - start);
    components.push_back({component, HashKey(component)});
    start = end + 1;
  }
  std::string_view name = lowerName.substr(dot + 1);
  CKeyHash hash = HashKey(name);
  // A qualified name is always found in a nested namespace.
  if (g_Namespaces[from].depth > kShallowDepth && FirstNested(name, hash) == kNone)
    return nullptr;
  std::string_view qualifier = lowerName.substr(0, dot);

  // Resolve the qualifier from `level`; kNone when it names no namespace
  // there.
  auto resolve = [&](std::uint32_t level) {
    std::uint32_t target = level;
    for (const Component &component : components) {
      target = FindChild(target, component.name, component.hash);
      if (target == kNone)
        break;
    }
    return target;
  };

  // A cached resolution gives the first level that knows the qualifier;
  // the walk below it is skipped when the label is found there.
  std::uint32_t start = from;
  QualifierCacheEntry *cached = nullptr;
  if (qualifier.size() <= sizeof cached->text) {
    std::uint64_t slot = (components.back().hash.home ^ (from * 0x9E3779B9ull)) & 255;
    cached = &g_QualifierCache[slot];
    if (cached->generation == g_NamespaceGeneration && cached->from == from &&
        cached->length == qualifier.size() &&
        SameBytes(cached->text, qualifier.data(), qualifier.size())) {
      // No level knows the qualifier (typically a namespace further down
      // that is not opened yet): nothing to walk.
      if (cached->target == kNone)
        return nullptr;
      if (CLabel *label = FindIn(cached->target, name, hash))
        return label;
      start = cached->level;
      if (start == kGlobal)
        return nullptr;
      start = g_Namespaces[start].parent;
      cached = nullptr;
    }
  }
  // Remembers where the qualifier resolves from `from` (kNone: nowhere).
  auto remember = [&](std::uint32_t level, std::uint32_t target) {
    cached->generation = g_NamespaceGeneration;
    cached->from = from;
    cached->level = level;
    cached->target = target;
    cached->length = static_cast<std::uint8_t>(qualifier.size());
    std::memcpy(cached->text, qualifier.data(), qualifier.size());
    cached = nullptr;
  };
  bool resolved = false;
  for (std::uint32_t level = start;; level = g_Namespaces[level].parent) {
    std::uint32_t target = resolve(level);
    if (target != kNone) {
      resolved = true;
      if (cached != nullptr)
        remember(level, target);
      if (CLabel *label = FindIn(target, name, hash))
        return label;
    }
    if (level == kGlobal)
      break;
  }
  if (!resolved && cached != nullptr && start == from)
    remember(kGlobal, kNone);
  return nullptr;
}

/// The name a label use was written with: a single identifier is its own
/// name; a qualified one ("a.b.c", checked when the parameter was read) is
/// joined into `scratch`.
std::string_view UsedName(std::string_view encodedTokens, std::string &scratch) {
  CTokenList tokens(encodedTokens);
  std::string_view first = tokens.Next().text;
  if (tokens.AtEnd())
    return first;
  if (scratch.size() < encodedTokens.size())
    scratch.resize(std::max(encodedTokens.size(), scratch.size() * 2));
  char *start = scratch.data();
  char *out = start;
  tokens.Rewind();
  while (!tokens.AtEnd()) {
    std::string_view text = tokens.Next().text;
    out = std::copy(text.begin(), text.end(), out);
  }
  return std::string_view(start, static_cast<std::size_t>(out - start));
}

std::string g_UsedName;
/// The lower-cased name of the last use; its own buffer, so it keeps the
/// size of the longest use instead of following every label's name.
std::string g_LowerUse;

/// The lower-cased name of a label use, joined from its tokens in one pass;
/// `qualified` tells whether it has more than one component. The tokens'
/// texts are never longer than their encoding, which sizes the buffer once.
std::string_view LowerUseName(std::string_view encodedTokens, bool &qualified) {
  const unsigned char *lower = platform::LowerCaseTable();
  // Room for a whole word stored past the last name's end.
  if (g_LowerUse.size() < encodedTokens.size() + 8)
    g_LowerUse.resize(std::max(encodedTokens.size() + 8, g_LowerUse.size() * 2));
  char *start = g_LowerUse.data();
  // Most uses are one short identifier: its text is the rest of the stream.
  auto header = encodedTokens.empty() ? std::uint8_t{0xFF}
                                      : static_cast<std::uint8_t>(encodedTokens[0]);
  std::size_t length = header & 0x3F;
  if (header >> 6 == TOKEN_IDENTIFIER && length < tokencode::kLongLength &&
      length + 1 == encodedTokens.size()) {
    qualified = false;
    for (std::size_t i = 0; i < length; ++i)
      start[i] = static_cast<char>(lower[static_cast<unsigned char>(encodedTokens[i + 1])]);
    return std::string_view(start, length);
  }
  char *out = start;
  // Short tokens are decoded in place: a header and its text.
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(encodedTokens.data());
  const std::uint8_t *end = bytes + encodedTokens.size();
  std::size_t count = 0;
  bool longToken = false;
  for (; bytes < end; ++count) {
    std::uint8_t token = *bytes++;
    std::uint8_t low = token & 0x3F;
    if (token >> 6 == TOKEN_SYMBOL) {
      *out++ = tokencode::kSymbols[low];
      continue;
    }
    if (low == tokencode::kLongLength) {
      longToken = true;
      break;
    }
    // Names of up to 8 bytes, the usual, are lower-cased as one word.
    std::uint64_t word;
    if (LowerAsciiWord(reinterpret_cast<const char *>(bytes), low, word)) {
      std::memcpy(out, &word, sizeof word);
    } else {
      for (std::uint8_t i = 0; i < low; ++i)
        out[i] = static_cast<char>(lower[bytes[i]]);
    }
    out += low;
    bytes += low;
  }
  if (!longToken) {
    qualified = count > 1;
    return std::string_view(start, static_cast<std::size_t>(out - start));
  }
  // A long token: the general decoder, from the start.
  out = start;
  CTokenList tokens(encodedTokens);
  count = 0;
  while (!tokens.AtEnd()) {
    CToken token = tokens.Next();
    for (char c : token.text)
      *out++ = static_cast<char>(lower[static_cast<unsigned char>(c)]);
    ++count;
  }
  qualified = count > 1;
  return std::string_view(start, static_cast<std::size_t>(out - start));
}

/// The label a name means from namespace `from`; `qualified` tells whether
/// the name holds a ".". A single name goes straight to the outward lookup.
const CLabel *FindName(std::uint32_t from, std::string_view lowerName,
                       bool qualified) {
  if (qualified)
    return Resolve(from, lowerName);
  std::uint32_t number = FindOutward(from, lowerName, HashKey(lowerName));
  return number != kNone ? &g_Labels[number].label : nullptr;
}

/// The label a use means from namespace `from`, given the use's encoded
/// tokens. Qualified uses are remembered by their tokens as written: a hit
/// needs neither lower-casing nor a walk (a use written in another case is
/// merely remembered apart).
const CLabel *FindUse(std::uint32_t from, std::string_view encodedTokens) {
  // One short identifier, the most common use, is lower-cased and hashed
  // in a register.
  if (encodedTokens.size() >= 2 && encodedTokens.size() <= 9 &&
      static_cast<std::uint8_t>(encodedTokens[0]) ==
          ((TOKEN_IDENTIFIER << 6) | (encodedTokens.size() - 1))) {
    static char buffer[8];
    std::string_view lowerName;
    CKeyHash hash;
    if (LowerShortName(encodedTokens.substr(1), buffer, lowerName, hash)) {
      std::uint32_t number = FindOutward(from, lowerName, hash);
      return number != kNone ? &g_Labels[number].label : nullptr;
    }
  }
  LookupCacheEntry *entry = nullptr;
  // A single identifier is looked up directly; everything else that fits
  // is remembered.
  if (!encodedTokens.empty() && encodedTokens.size() <= sizeof entry->text &&
      static_cast<std::uint8_t>(encodedTokens[0]) + std::size_t{1} !=
          encodedTokens.size()) {
    std::uint64_t key = HashBytes(encodedTokens) ^ (from * 0x9E3779B97F4A7C15ull);
    entry = &g_LookupCache[(key ^ (key >> 23)) & 511];
    if (entry->generation == g_LookupGeneration && entry->from == from &&
        entry->length == encodedTokens.size() &&
        SameBytes(entry->text, encodedTokens.data(), encodedTokens.size()))
      return entry->label;
  }
  bool qualified = false;
  std::string_view lowerName = LowerUseName(encodedTokens, qualified);
  const CLabel *label = FindName(from, lowerName, qualified);
  if (entry != nullptr && qualified) {
    entry->generation = g_LookupGeneration;
    entry->from = from;
    entry->length = static_cast<std::uint8_t>(encodedTokens.size());
    std::memcpy(entry->text, encodedTokens.data(), encodedTokens.size());
    entry->label = label;
  }
  return label;
}

} // namespace

std::string JoinName(std::string_view path, std::string_view name) {
  std::string result(path);
  if (!path.empty())
    result += '.';
  result += name;
  return result;
}

namespace {

/// TokensToPath into `path`, reusing its storage.
void JoinTokens(std::string_view encodedTokens, std::string &path) {
  CTokenList tokens(encodedTokens);
  path.clear();
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
}

} // namespace

std::string TokensToPath(std::string_view encodedTokens) {
  std::string path;
  JoinTokens(encodedTokens, path);
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
    } while (FindChild(g_CurrentNamespace, madeUp, HashKey(madeUp)) != kNone);
    name = madeUp;
  }
  g_CurrentNamespace = EnterNamespace(Lower(name, g_Lower));
  if (!g_Namespace.empty())
    g_Namespace += '.';
  g_Namespace.append(name);
  g_Scopes.push_back({g_LabelText.Store(name), g_CurrentScope});
  g_CurrentScope = static_cast<std::uint32_t>(g_Scopes.size() - 1);
  ExpectEndOfLine(line);
  return true;
}

bool EndNamespace(CSourceLine &line) {
  ExpectEndOfLine(line);
  if (g_Namespace.empty()) {
    ReportLineError(902, "No namespace to end");
    return true;
  }
  DropLastComponent(g_Namespace);
  g_CurrentNamespace = g_Namespaces[g_CurrentNamespace].parent;
  g_CurrentScope = g_Scopes[g_CurrentScope].parent;
  return true;
}

const CLabel *FindLabel(std::string_view nameSpace, std::string_view name) {
  EnsureGlobalNamespace();
  RefreshLabeledLinks();
  // A namespace that was never opened holds nothing: its nearest opened
  // ancestor gives the same result.
  std::uint32_t from = kGlobal;
  std::string path = LowerCopy(nameSpace);
  for (std::size_t start = 0; !path.empty() && start <= path.size();) {
    std::size_t end = path.find('.', start);
    if (end == std::string::npos)
      end = path.size();
    std::string_view component(path.data() + start, end - start);
    std::uint32_t child = FindChild(from, component, HashKey(component));
    if (child == kNone)
      break;
    from = child;
    start = end + 1;
  }
  std::string lowerName = LowerCopy(name);
  return FindName(from, lowerName,
                  lowerName.find('.') != std::string::npos);
}

bool DefineLabel(std::string_view name) {
  EnsureGlobalNamespace();
  static char buffer[8];
  std::string_view lowerName;
  CKeyHash hash;
  if (!LowerShortName(name, buffer, lowerName, hash)) {
    lowerName = Lower(name, g_Lower);
    hash = HashKey(lowerName);
  }
  // Refuses the definition for the label `outer`, or kNone when the name is
  // taken here. Past the printed errors only the count matters: no message
  // is built, which in a deep namespace would cost its whole path.
  auto refuse = [&](std::uint32_t outer) {
    std::string message;
    if (NextErrorIsPrinted()) {
      message = "\"" + JoinName(g_Namespace, name) + "\" label ";
      if (outer == kNone)
        message += "already defined";
      else
        message += "conflicts with \"" +
                   FullName(g_Labels[outer].scope, g_Labels[outer].name) + "\"";
    }
    ReportLineError(904, message);
    return false;
  };
  if (FindNumberIn(g_CurrentNamespace, lowerName, hash) != kNone)
    return refuse(kNone);
  // A label may not hide one of the same name in an enclosing namespace.
  bool nested = g_CurrentNamespace != kGlobal;
  if (nested) {
    std::uint32_t outer =
        FindOutward(g_Namespaces[g_CurrentNamespace].parent, lowerName, hash);
    if (outer != kNone)
      return refuse(outer);
  }
  auto number = static_cast<std::uint32_t>(g_Labels.size());
  std::string_view storedName = g_LabelText.Store(name);
  CLabel label;
  label.value = GetOffset();
  g_Labels.push_back({storedName, g_CurrentScope, g_CurrentNamespace, kNone,
                      static_cast<std::uint32_t>(hash.home), label});
  auto homeOf = [](std::uint32_t n) { return std::uint64_t{g_Labels[n].home}; };
  g_Namespaces[g_CurrentNamespace].labels.Insert(hash, number, homeOf);
  if (nested) {
    std::uint32_t first = FirstNested(lowerName, hash);
    if (first == kNone) {
      g_NestedNames.Insert(hash, number, homeOf);
    } else {
      g_Labels[number].nextNested = g_Labels[first].nextNested;
      g_Labels[first].nextNested = number;
    }
  }
  ++g_LookupGeneration;
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
  if (const CLabel *label = FindUse(g_CurrentNamespace, parameter.value))
    return label->value;
  CLabelFixup fixup;
  fixup.nameSpace = g_CurrentNamespace;
  fixup.tokens = parameter.value;
  fixup.position = GetOutputPosition();
  fixup.fileId = g_CurrentLine->FileId();
  fixup.line = g_CurrentLine->GetLineNumber();
  g_LabelFixups.push_back(fixup);
  return 0;
}

bool ReferenceDefinedLabel(const CParameter &parameter, std::int32_t &value) {
  EnsureGlobalNamespace();
  CountUse();
  if (const CLabel *label = FindUse(g_CurrentNamespace, parameter.value)) {
    value = label->value;
    return true;
  }
  std::string_view name = UsedName(parameter.value, g_UsedName);
  ReportLineError(910, "\"" + std::string(name) +
                           "\" label must be defined before it is used here");
  return false;
}

void PatchLabels() {
  EnsureGlobalNamespace();
  RefreshLabeledLinks();
  for (std::size_t i = 0; i < g_LabelFixups.size(); ++i) {
    const CLabelFixup &fixup = g_LabelFixups[i];
    const CLabel *label = FindUse(fixup.nameSpace, fixup.tokens);
    if (label == nullptr) {
      std::string message;
      if (NextErrorIsPrinted())
        message = "\"" + std::string(UsedName(fixup.tokens, g_UsedName)) +
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
  g_Labels.clear();
  g_NestedNames = CNameIndex();
  g_Namespaces.ForEach([](NamespaceInfo &info) { info.labels = CNameIndex(); });
  ++g_LookupGeneration;
  g_LabelFixups.clear();
}

void ResetLabels() {
  ClearLabels();
  g_Namespaces.clear();
  g_Scopes.clear();
  g_CurrentScope = 0;
  g_LabelText.Reset();
  // Every index is gone: their small slot arrays may go too.
  g_IndexSlots.Reset();
  g_GrownIndexSlots.Reset();
  ++g_NamespaceGeneration;
  ++g_LookupGeneration;
  g_Namespace.clear();
  g_CurrentNamespace = kGlobal;
  g_LabelsDefined = 0;
  g_LabelsUsed = 0;
}
