//===- util/arena_test.cpp - Tests of the bump allocator ------------------===//

#include "util/arena.h"

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

} // namespace
