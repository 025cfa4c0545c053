//===- util/string_map_test.cpp -------------------------------------------===//

#include "util/string_map.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The tail of a key is read with wide loads; the hash must still be the
// plain little-endian packing of its bytes, for every length.
TEST(HashBytes, WideLoadsHashLikeBytePacking) {
  auto reference = [](std::string_view bytes) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = bytes.size() * kMultiplier;
    std::size_t whole = bytes.size() / 8 * 8;
    for (std::size_t at = 0; at < whole; at += 8) {
      std::uint64_t word = 0;
      for (std::size_t i = 0; i < 8; ++i)
        word |= std::uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
      hash = (hash ^ word) * kMultiplier;
      hash ^= hash >> 32;
    }
    std::uint64_t tail = 0;
    for (std::size_t i = whole; i < bytes.size(); ++i)
      tail |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * (i - whole));
    hash = (hash ^ tail) * kMultiplier;
    return hash ^ (hash >> 29);
  };
  std::string bytes;
  for (int length = 0; length < 40; ++length) {
    EXPECT_EQ(HashBytes(bytes), reference(bytes)) << length;
    bytes += static_cast<char>(0x81 + length * 37);
  }
}

TEST(HashKey, ShortKeysInAWordHashLikeTheirBytes) {
  std::uint64_t state = 12345;
  for (int round = 0; round < 2000; ++round) {
    std::size_t size = 1 + round % 8;
    std::string key;
    for (std::size_t i = 0; i < size; ++i) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      key += static_cast<char>(state >> 56);
    }
    std::uint64_t word = LoadShortKey(key.data(), size);
    std::uint64_t packed = 0;
    for (std::size_t i = size; i-- > 0;)
      packed = packed << 8 | static_cast<unsigned char>(key[i]);
    EXPECT_EQ(word, packed) << size;
    CKeyHash expected = HashKey(key);
    CKeyHash hash = HashShortKey(word, size);
    EXPECT_EQ(hash.home, expected.home) << size;
    EXPECT_EQ(hash.tag, expected.tag) << size;
  }
}

TEST(StringMap, FindsEveryKeyAfterGrowingAndKeepsValuesInPlace) {
  CStringMap<int> map;
  std::vector<int *> values;
  for (int i = 0; i < 100000; ++i) {
    auto [value, inserted] = map.Insert("label" + std::to_string(i), i);
    ASSERT_TRUE(inserted);
    values.push_back(value);
  }
  EXPECT_EQ(map.Size(), 100000u);
  for (int i = 0; i < 100000; i += 7) {
    int *found = map.Find("label" + std::to_string(i));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(*found, i);
    EXPECT_EQ(found, values[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(map.Find("label100000"), nullptr);
  EXPECT_EQ(map.Find(""), nullptr);
}

TEST(StringMap, SecondInsertKeepsTheFirstValue) {
  CStringMap<int> map;
  std::string_view stored;
  EXPECT_TRUE(map.Insert("x", 1, stored).second);
  EXPECT_EQ(stored, "x");
  auto [value, inserted] = map.Insert("x", 2, stored);
  EXPECT_FALSE(inserted);
  EXPECT_EQ(*value, 1);
}

TEST(StringMap, KeysDifferingOnlyAtTheEndOrInLengthStayApart) {
  CStringMap<int> map;
  const char *keys[] = {"", "a", "ab", "ba", "loop1", "loop2", "loop10",
                        "abcdefgh", "abcdefghi", "abcdefgi"};
  int n = 0;
  for (const char *key : keys)
    map.Insert(std::string_view(key, std::char_traits<char>::length(key)), n++);
  map.Insert(std::string_view("a\0", 2), 99);
  n = 0;
  for (const char *key : keys)
    EXPECT_EQ(*map.Find(std::string_view(key, std::char_traits<char>::length(key))),
              n++);
  EXPECT_EQ(*map.Find(std::string_view("a\0", 2)), 99);
  std::vector<std::string> order;
  map.ForEach([&](std::string_view key, int) { order.emplace_back(key); });
  EXPECT_EQ(order.front(), "");
  EXPECT_EQ(order.back(), std::string("a\0", 2));
  map.Clear();
  EXPECT_EQ(map.Find("a"), nullptr);
  EXPECT_EQ(map.Size(), 0u);
}

} // namespace
