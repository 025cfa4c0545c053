//===- util/string_map.h - Hash map keyed by byte strings -------*- C++ -*-===//
//
// An open-addressing hash map from byte strings to values. Keys are copied
// into an arena owned by the map, so lookups take string views and never
// allocate. Entries are never removed one by one; Clear() drops them all.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_STRING_MAP_H
#define FERROX_UTIL_STRING_MAP_H

#include "util/arena.h"
#include "util/chunked_vector.h"

#include <cstdint>
#include <cstring>

#include <string_view>
#include <utility>
#include <vector>

/// 64-bit hash of a byte string, eight bytes at a time.
inline std::uint64_t HashBytes(std::string_view bytes) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t hash = bytes.size() * kMultiplier;
  const char *p = bytes.data();
  std::size_t left = bytes.size();
  while (left >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 32;
    p += 8;
    left -= 8;
  }
  // The last 0 to 7 bytes, byte i at bits 8i (the hosts are little-endian),
  // read in at most two loads: overlapping bytes land on the same bits with
  // the same values.
  std::uint64_t tail = 0;
  if (left >= 4) {
    std::uint32_t low;
    std::uint32_t high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + left - 4, 4);
    tail = low | (std::uint64_t{high} << (8 * (left - 4)));
  } else if (left >= 2) {
    std::uint16_t low;
    std::memcpy(&low, p, 2);
    std::uint64_t last = static_cast<unsigned char>(p[left - 1]);
    tail = low | (last << (8 * (left - 1)));
  } else if (left == 1) {
    tail = static_cast<unsigned char>(p[0]);
  }
  hash = (hash ^ tail) * kMultiplier;
  return hash ^ (hash >> 29);
}

/// Where a key lives in a hash index: its home slot and a 32-bit tag that
/// rules out most other keys without reading them.
struct CKeyHash {
  std::uint64_t home;
  std::uint64_t tag; ///< In the top 32 bits.
};

/// The home slot comes from every byte but the last, plus the last byte, so
/// names that differ only in their last character (loop1, loop2, ...) sit
/// side by side and a run of numbered names shares a few cache lines.
inline CKeyHash HashKey(std::string_view key) {
  if (key.empty())
    return {0, 0x5555555500000000ull};
  std::uint64_t prefix = HashBytes(key.substr(0, key.size() - 1));
  std::uint64_t last = static_cast<unsigned char>(key.back());
  std::uint64_t mixed = (prefix ^ (last * 0xFF51AFD7ED558CCDull)) * 0xC4CEB9FE1A85EC53ull;
  return {prefix + last * 3, (mixed ^ (mixed >> 31)) & 0xFFFFFFFF00000000ull};
}

/// The 1 to 8 bytes at `p` as one little-endian word (the rest zero), read
/// in at most two loads that stay within the bytes.
inline std::uint64_t LoadShortKey(const char *p, std::size_t size) {
  if (size >= 4) {
    std::uint32_t low;
    std::uint32_t high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + size - 4, 4);
    return low | (std::uint64_t{high} << (8 * (size - 4)));
  }
  if (size >= 2) {
    std::uint16_t low;
    std::memcpy(&low, p, 2);
    return low | (std::uint64_t{static_cast<unsigned char>(p[size - 1])} << (8 * (size - 1)));
  }
  return size == 1 ? static_cast<unsigned char>(p[0]) : 0;
}

/// HashKey of a key of 1 to 8 bytes held in a word (LoadShortKey), without
/// touching memory.
inline CKeyHash HashShortKey(std::uint64_t word, std::size_t size) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  // HashBytes of the first size - 1 bytes, then the last byte, as HashKey.
  std::size_t prefixSize = size - 1;
  std::uint64_t prefixBytes =
      prefixSize == 0 ? 0 : word & (~std::uint64_t{0} >> (64 - 8 * prefixSize));
  std::uint64_t prefix = (prefixSize * kMultiplier ^ prefixBytes) * kMultiplier;
  prefix ^= prefix >> 29;
  std::uint64_t last = (word >> (8 * prefixSize)) & 0xFF;
  std::uint64_t mixed = (prefix ^ (last * 0xFF51AFD7ED558CCDull)) * 0xC4CEB9FE1A85EC53ull;
  return {prefix + last * 3, (mixed ^ (mixed >> 31)) & 0xFFFFFFFF00000000ull};
}

/// Entries live in insertion order in a chunked list, so pointers to values
/// stay valid as the map grows; the hash index holds 8 bytes per slot (a
/// 32-bit hash tag and the entry number), which keeps lookups cache-friendly
/// for hundreds of thousands of names.
template <class Value> class CStringMap {
public:
  CStringMap() : m_Keys(1 << 16) {}

  std::size_t Size() const { return m_Entries.size(); }

  /// The value stored under `key`, or nullptr. Keys of up to 8 bytes (an
  /// instruction's or a macro's name, mostly) are hashed and compared as
  /// one word.
  Value *Find(std::string_view key) {
    if (key.size() - 1 < 8) {
      std::uint64_t word = LoadShortKey(key.data(), key.size());
      return Probe(key.size(), HashShortKey(word, key.size()),
                   [&](std::string_view stored) {
                     return LoadShortKey(stored.data(), stored.size()) == word;
                   });
    }
    return Find(key, HashKey(key));
  }

  /// Find, with the key's HashKey already computed.
  Value *Find(std::string_view key, const CKeyHash &hash) {
    return Probe(key.size(), hash, [&](std::string_view stored) {
      return key.empty() || std::memcmp(stored.data(), key.data(), key.size()) == 0;
    });
  }

  /// Inserts `value` under `key` unless the key is present. Returns the
  /// stored value and whether it was inserted.
  std::pair<Value *, bool> Insert(std::string_view key, Value value) {
    std::string_view stored;
    return Insert(key, HashKey(key), std::move(value), stored);
  }

  /// Insert, also giving the map's own copy of the key, which lives as long
  /// as the entry.
  std::pair<Value *, bool> Insert(std::string_view key, Value value,
                                  std::string_view &storedKey) {
    return Insert(key, HashKey(key), std::move(value), storedKey);
  }

  /// Insert, with the key's HashKey already computed.
  std::pair<Value *, bool> Insert(std::string_view key, const CKeyHash &hash,
                                  Value value, std::string_view &storedKey) {
    if ((m_Entries.size() + 1) * 2 > m_Slots.size())
      Grow();
    std::size_t mask = m_Slots.size() - 1;
    std::uint64_t tag = hash.tag;
    for (std::size_t i = hash.home & mask;; i = (i + 1) & mask) {
      std::uint64_t slot = m_Slots[i];
      if (slot == 0) {
        m_Entries.push_back({m_Keys.Store(key), std::move(value)});
        m_Slots[i] = tag | m_Entries.size();
        storedKey = m_Entries.back().key;
        return {&m_Entries.back().value, true};
      }
      if ((slot & kTagMask) == tag) {
        Entry &entry = m_Entries[static_cast<std::size_t>(slot & kIndexMask) - 1];
        if (entry.key == key) {
          storedKey = entry.key;
          return {&entry.value, false};
        }
      }
    }
  }

  /// Calls `visit(key, value)` for every entry, in insertion order.
  template <class Visitor> void ForEach(Visitor visit) {
    m_Entries.ForEach([&](Entry &entry) { visit(entry.key, entry.value); });
  }

  void Clear() {
    m_Slots.clear();
    m_Slots.shrink_to_fit();
    m_Entries.clear();
    m_Keys.Reset();
  }

private:
  struct Entry {
    std::string_view key;
    Value value;
  };

  static constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;
  static constexpr std::uint64_t kIndexMask = 0x00000000FFFFFFFFull;

  /// The value of the key of `size` bytes with `hash` for which
  /// `sameBytes(stored key)` holds, given a stored key of that size.
  template <class SameBytes>
  Value *Probe(std::size_t size, const CKeyHash &hash, SameBytes sameBytes) {
    if (m_Slots.empty())
      return nullptr;
    std::size_t mask = m_Slots.size() - 1;
    std::uint64_t tag = hash.tag;
    for (std::size_t i = hash.home & mask;; i = (i + 1) & mask) {
      std::uint64_t slot = m_Slots[i];
      if (slot == 0)
        return nullptr;
      if ((slot & kTagMask) == tag) {
        Entry &entry = m_Entries[static_cast<std::size_t>(slot & kIndexMask) - 1];
        if (entry.key.size() == size && sameBytes(entry.key))
          return &entry.value;
      }
    }
  }

  void Grow() {
    m_Slots.assign(m_Slots.empty() ? 64 : m_Slots.size() * 2, 0);
    std::size_t mask = m_Slots.size() - 1;
    for (std::size_t index = 0; index < m_Entries.size(); ++index) {
      CKeyHash hash = HashKey(m_Entries[index].key);
      std::size_t i = hash.home & mask;
      while (m_Slots[i] != 0)
        i = (i + 1) & mask;
      m_Slots[i] = hash.tag | (index + 1);
    }
  }

  std::vector<std::uint64_t> m_Slots;
  CChunkedVector<Entry> m_Entries;
  CArena m_Keys;
};

#endif // FERROX_UTIL_STRING_MAP_H
