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
  std::uint64_t tail = 0;
  for (std::size_t i = 0; i < left; ++i)
    tail |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  hash = (hash ^ tail) * kMultiplier;
  return hash ^ (hash >> 29);
}

template <class Value> class CStringMap {
public:
  CStringMap() : m_Keys(1 << 16) {}

  std::size_t Size() const { return m_Size; }

  /// The value stored under `key`, or nullptr.
  Value *Find(std::string_view key) { return Find(key, HashBytes(key)); }

  /// Find, with the key's HashBytes already computed.
  Value *Find(std::string_view key, std::uint64_t hash) {
    if (m_Slots.empty())
      return nullptr;
    std::size_t mask = m_Slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot &slot = m_Slots[i];
      if (!slot.used)
        return nullptr;
      if (slot.hash == hash && slot.key == key)
        return &slot.value;
    }
  }

  /// Inserts `value` under `key` unless the key is present. Returns the
  /// stored value and whether it was inserted.
  std::pair<Value *, bool> Insert(std::string_view key, Value value) {
    std::string_view stored;
    return Insert(key, std::move(value), stored);
  }

  /// Insert, also giving the map's own copy of the key, which lives as long
  /// as the entry.
  std::pair<Value *, bool> Insert(std::string_view key, Value value,
                                  std::string_view &storedKey) {
    return Insert(key, HashBytes(key), std::move(value), storedKey);
  }

  /// Insert, with the key's HashBytes already computed.
  std::pair<Value *, bool> Insert(std::string_view key, std::uint64_t hash,
                                  Value value, std::string_view &storedKey) {
    if ((m_Size + 1) * 2 > m_Slots.size())
      Grow();
    std::size_t mask = m_Slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot &slot = m_Slots[i];
      if (!slot.used) {
        slot.used = true;
        slot.hash = hash;
        slot.key = m_Keys.Store(key);
        slot.value = std::move(value);
        ++m_Size;
        storedKey = slot.key;
        return {&slot.value, true};
      }
      if (slot.hash == hash && slot.key == key) {
        storedKey = slot.key;
        return {&slot.value, false};
      }
    }
  }

  /// Calls `visit(key, value)` for every entry, in no particular order.
  template <class Visitor> void ForEach(Visitor visit) {
    for (Slot &slot : m_Slots)
      if (slot.used)
        visit(slot.key, slot.value);
  }

  void Clear() {
    m_Slots.clear();
    m_Slots.shrink_to_fit();
    m_Keys.Reset();
    m_Size = 0;
  }

private:
  struct Slot {
    std::uint64_t hash = 0;
    std::string_view key;
    Value value{};
    bool used = false;
  };

  void Grow() {
    std::vector<Slot> old = std::move(m_Slots);
    m_Slots.clear();
    m_Slots.resize(old.empty() ? 64 : old.size() * 2);
    std::size_t mask = m_Slots.size() - 1;
    for (Slot &slot : old) {
      if (!slot.used)
        continue;
      std::size_t i = slot.hash & mask;
      while (m_Slots[i].used)
        i = (i + 1) & mask;
      m_Slots[i] = std::move(slot);
    }
  }

  std::vector<Slot> m_Slots;
  CArena m_Keys;
  std::size_t m_Size = 0;
};

#endif // FERROX_UTIL_STRING_MAP_H
