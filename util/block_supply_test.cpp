//===- util/block_supply_test.cpp - Tests of the large block supply -------===//

#include "util/block_supply.h"

#include "util/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

namespace {

void AddOne(void *counter) { ++*static_cast<int *>(counter); }

TEST(Threads, EveryStartedThreadRunsItsWorkBeforeItIsJoined) {
  std::vector<int> counters(8, 0);
  std::vector<platform::Thread *> threads;
  for (int &counter : counters)
    threads.push_back(platform::StartThread(AddOne, &counter));
  for (platform::Thread *thread : threads) {
    ASSERT_NE(thread, nullptr);
    platform::JoinThread(thread);
  }
  for (int counter : counters)
    EXPECT_EQ(counter, 1);
}

TEST(Wakers, AWakeBeforeTheWaitIsKeptAndSeveralCountAsOne) {
  platform::Waker *waker = platform::NewWaker();
  ASSERT_NE(waker, nullptr);
  platform::Wake(waker);
  platform::Wake(waker);
  platform::WaitToBeWoken(waker); // returns at once: the calls were kept
  // The two calls were one: this wait lasts until the thread's call, which
  // comes after its flag is set.
  struct Context {
    platform::Waker *waker;
    std::atomic<bool> called{false};
  } context{waker};
  platform::Thread *thread = platform::StartThread(
      [](void *raw) {
        auto *context = static_cast<Context *>(raw);
        platform::SleepMicroseconds(20000);
        context->called.store(true);
        platform::Wake(context->waker);
      },
      &context);
  ASSERT_NE(thread, nullptr);
  platform::WaitToBeWoken(waker);
  EXPECT_TRUE(context.called.load());
  platform::JoinThread(thread);
  platform::FreeWaker(waker);
}

TEST(Wakers, NoCallIsLostBetweenTwoThreadsTakingTurns) {
  struct Context {
    platform::Waker *ping = platform::NewWaker();
    platform::Waker *pong = platform::NewWaker();
    int turns = 0;
  } context;
  ASSERT_NE(context.ping, nullptr);
  ASSERT_NE(context.pong, nullptr);
  constexpr int kTurns = 2000;
  platform::Thread *thread = platform::StartThread(
      [](void *raw) {
        auto *context = static_cast<Context *>(raw);
        for (int i = 0; i < kTurns; ++i) {
          platform::WaitToBeWoken(context->ping);
          ++context->turns;
          platform::Wake(context->pong);
        }
      },
      &context);
  ASSERT_NE(thread, nullptr);
  for (int i = 0; i < kTurns; ++i) {
    platform::Wake(context.ping);
    platform::WaitToBeWoken(context.pong);
    // Each turn is seen finished before the next begins.
    ASSERT_EQ(context.turns, i + 1);
  }
  platform::JoinThread(thread);
  platform::FreeWaker(context.ping);
  platform::FreeWaker(context.pong);
}

TEST(BlockSupply, BlocksAreAlignedDistinctAndWholeAfterTheHelperStarts) {
  ResetBlockSupply();
  std::vector<std::uint8_t *> blocks;
  auto take = [&] {
    std::uint8_t *block = TakeLargeBlock();
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % kLargeBlockSize, 0u);
    // Every byte is usable, the first and last included.
    std::memset(block, static_cast<int>(blocks.size() + 1), kLargeBlockSize);
    blocks.push_back(block);
  };
  // The third block starts the helper, which then keeps two ready.
  for (int i = 0; i < 3; ++i)
    take();
  for (int wait = 0; wait < 20000 && GetBlockSupplyCounts().ready < 2; ++wait)
    platform::SleepMicroseconds(100);
  EXPECT_EQ(GetBlockSupplyCounts().ready, 2u);
  for (int i = 0; i < 3; ++i)
    take();
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i][0], i + 1);
    EXPECT_EQ(blocks[i][kLargeBlockSize - 1], i + 1);
  }
  BlockSupplyCounts counts = GetBlockSupplyCounts();
  EXPECT_EQ(counts.taken, 6u);
  // The two that were ready, and perhaps the next one.
  EXPECT_GE(counts.prepared, 2u);
  EXPECT_LE(counts.prepared, 3u);
  for (std::uint8_t *block : blocks)
    FreeLargeBlock(block);
  ResetBlockSupply();
  EXPECT_EQ(GetBlockSupplyCounts().taken, 0u);
  EXPECT_EQ(GetBlockSupplyCounts().ready, 0u);
}

TEST(BlockSupply, AHelperStartedEarlyPreparesTheFirstBlocks) {
  ResetBlockSupply();
  StartBlockHelper();
  StartBlockHelper(); // a second start changes nothing
  for (int wait = 0; wait < 20000 && GetBlockSupplyCounts().ready < 2; ++wait)
    platform::SleepMicroseconds(100);
  std::uint8_t *first = TakeLargeBlock();
  FreeLargeBlock(first);
  EXPECT_EQ(GetBlockSupplyCounts().prepared, 1u);
  ResetBlockSupply();
}

TEST(BlockSupply, ASmallUserStartsNoHelper) {
  // Every build takes two blocks: a small program must not pay for a
  // thread, nor wait for one when it ends.
  ResetBlockSupply();
  std::uint8_t *first = TakeLargeBlock();
  std::uint8_t *second = TakeLargeBlock();
  FreeLargeBlock(first);
  FreeLargeBlock(second);
  std::uint8_t *again = TakeLargeBlock();
  FreeLargeBlock(again);
  // The third block was not prepared ahead: no helper ran before it.
  EXPECT_EQ(GetBlockSupplyCounts().prepared, 0u);
  ResetBlockSupply();
}

TEST(BlockSupply, AGivenBackBlockIsTheNextTakenUntilTheReset) {
  ResetBlockSupply();
  std::uint8_t *first = TakeLargeBlock();
  std::uint8_t *second = TakeLargeBlock();
  std::memset(second, 7, kLargeBlockSize);
  FreeLargeBlock(second);
  FreeLargeBlock(nullptr); // ignored
  EXPECT_EQ(GetBlockSupplyCounts().kept, 1u);
  // The kept block comes back as it was left: taking it costs nothing.
  std::uint8_t *again = TakeLargeBlock();
  EXPECT_EQ(again, second);
  EXPECT_EQ(again[kLargeBlockSize - 1], 7);
  BlockSupplyCounts counts = GetBlockSupplyCounts();
  EXPECT_EQ(counts.taken, 3u);
  EXPECT_EQ(counts.reused, 1u);
  EXPECT_EQ(counts.kept, 0u);
  FreeLargeBlock(first);
  FreeLargeBlock(again);
  EXPECT_EQ(GetBlockSupplyCounts().kept, 2u);
  ResetBlockSupply(); // frees both
  EXPECT_EQ(GetBlockSupplyCounts().kept, 0u);
}

TEST(BlockSupply, AStoppedHelperLeavesItsBlocksReadyAndCanStartAgain) {
  ResetBlockSupply();
  auto waitForReady = [] {
    for (int wait = 0; wait < 20000 && GetBlockSupplyCounts().ready < 2; ++wait)
      platform::SleepMicroseconds(100);
    return GetBlockSupplyCounts().ready;
  };
  StartBlockHelper();
  EXPECT_EQ(waitForReady(), 2u);
  StopBlockHelper();
  StopBlockHelper(); // a second stop changes nothing
  EXPECT_EQ(GetBlockSupplyCounts().ready, 2u);
  std::uint8_t *first = TakeLargeBlock();
  EXPECT_EQ(GetBlockSupplyCounts().ready, 1u); // not refilled: none runs
  StartBlockHelper();
  EXPECT_EQ(waitForReady(), 2u);
  FreeLargeBlock(first);
  ResetBlockSupply();
  EXPECT_EQ(GetBlockSupplyCounts().ready, 0u);
}

} // namespace
