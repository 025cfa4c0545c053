//===- util/arena_test.cpp - Tests of the bump allocator ------------------===//

#include "util/arena.h"

#include "util/block_supply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Arena, StoredBytesStayPutWhileBlocksAreAdded) {
  CArena arena(1024);
  std::vector<std::string_view> stored;
  for (int i = 0; i < 1000; ++i)
    stored.push_back(arena.Store("name" + std::to_string(i)));
  // A request larger than a quarter block gets a block of its own and
  // leaves the current one in use.
  std::string_view large = arena.Store(std::string(4096, 'x'));
  std::string_view after = arena.Store("after");
  for (int i = 0; i < 1000; ++i)
    EXPECT_EQ(stored[i], "name" + std::to_string(i));
  EXPECT_EQ(large, std::string(4096, 'x'));
  EXPECT_EQ(after, "after");
  EXPECT_TRUE(arena.Store("").empty());
}

TEST(Arena, ReservedRoomIsTakenOnlyAsFarAsCommitted) {
  CArena arena(1024);
  std::uint8_t *room = arena.Reserve(100);
  room[0] = 'a';
  arena.Commit(1);
  std::uint8_t *next = arena.Reserve(100);
  EXPECT_EQ(next, room + 1);
  arena.Commit(0);
  // Room larger than what is left and than a quarter block is a block of
  // its own, and committing it leaves the current block where it was.
  arena.Reserve(2000);
  arena.Commit(2000);
  EXPECT_EQ(arena.Allocate(1), room + 1);
}

TEST(Arena, LaterBlocksAreLargeOnesFromTheSupply) {
  ResetBlockSupply();
  {
    CArena arena(1024, kLargeBlockSize);
    std::uint64_t before = GetBlockSupplyCounts().taken;
    // Four small blocks come first.
    for (int i = 0; i < 4 * 1024 / 128; ++i)
      arena.Allocate(128);
    EXPECT_EQ(GetBlockSupplyCounts().taken, before);
    // The fifth is a large block, which holds far more.
    for (int i = 0; i < 1000; ++i)
      arena.Allocate(128);
    EXPECT_EQ(GetBlockSupplyCounts().taken, before + 1);
  }
  ResetBlockSupply();
}

TEST(Arena, AnArenaOfOtherBlocksNeverTakesFromTheSupply) {
  // Such arenas serve other threads than the main one, which alone may use
  // the supply: even a request of exactly a large block comes from the heap.
  ResetBlockSupply();
  {
    CArena arena(2 * kLargeBlockSize);
    std::uint8_t *bytes = arena.Allocate(kLargeBlockSize);
    bytes[0] = 1;
    bytes[kLargeBlockSize - 1] = 2;
    arena.Reserve(kLargeBlockSize);
    arena.Commit(kLargeBlockSize);
    EXPECT_EQ(GetBlockSupplyCounts().taken, 0u);
  }
  EXPECT_EQ(GetBlockSupplyCounts().kept, 0u);
  ResetBlockSupply();
}

TEST(HugePageAllocator, VectorsKeepTheirValuesAcrossSmallAndLargeStorage) {
  std::vector<std::uint64_t, CHugePageAllocator<std::uint64_t>> values;
  // From a few bytes to several megabytes: storage moves from the heap to
  // blocks aligned for huge pages.
  for (std::uint64_t i = 0; i < 1000000; ++i)
    values.push_back(i * 3);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(values.data()) % kLargeBlockSize, 0u);
  for (std::uint64_t i = 0; i < values.size(); ++i)
    ASSERT_EQ(values[i], i * 3);
  values.resize(10);
  values.shrink_to_fit();
  EXPECT_EQ(values.back(), 27u);
}

} // namespace
