//===- util/block_supply.cpp - Large blocks faulted in ahead of use --------===//

#include "util/block_supply.h"

#include "util/platform.h"

#include <atomic>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

namespace {

/// Blocks taken before the helper starts: every build takes two (the first
/// lines and tokens), and small programs need no more and are not worth a
/// thread.
constexpr std::uint64_t kBlocksBeforeHelper = 3;
/// Blocks the helper keeps ready. Two give it the time of two blocks'
/// filling to fault in each, which rides out a slow moment of the system;
/// at most this many are left unused at the end.
constexpr std::size_t kReadyBlocks = 2;
/// How long the main thread waits for the block the helper is faulting in
/// before it faults one in itself: about the time a block takes, so a wait
/// costs little more than the work it may save, and a helper the system
/// does not run holds nothing up for long.
constexpr std::chrono::microseconds kLongestWaitForBlock{300};
/// The page size the touches step by; touching more often than the system's
/// pages costs nothing but a few stores.
constexpr std::size_t kTouchStep = 4096;

std::uint8_t *AllocateBlock() { return AllocateHugeAligned(kLargeBlockSize); }

/// The touches check for a stop this often, so that the end of a run does
/// not wait for a whole block's faulting.
constexpr std::size_t kStopCheckStep = std::size_t{256} << 10;

/// Faults `block` in; false when `stop` was set meanwhile.
bool TouchPages(std::uint8_t *block, const std::atomic<bool> &stop) {
  auto *bytes = static_cast<volatile std::uint8_t *>(block);
  for (std::size_t part = 0; part < kLargeBlockSize; part += kStopCheckStep) {
    if (stop.load(std::memory_order_relaxed))
      return false;
    for (std::size_t offset = part; offset < part + kStopCheckStep;
         offset += kTouchStep)
      bytes[offset] = 0;
  }
  return true;
}

/// Set when g_BlockSupply is destroyed at the end of the process: blocks
/// freed by later destructors go straight back to the system.
bool g_BlockSupplyGone = false;

/// A ring of blocks the helper thread fills in order and the main thread
/// empties in the same order; a slot holds a block only once it is faulted
/// in. The main thread waits at most a moment, for a block the helper is
/// faulting in: when the next block is not ready it allocates one itself,
/// and the helper's block serves the next request.
struct BlockSupply {
  std::atomic<std::uint8_t *> ready[kReadyBlocks] = {};
  std::size_t next = 0; ///< The slot the main thread takes from.
  /// The slot a starting helper fills first: the one after the blocks that
  /// are ready, so the ring stays in order across a stop and a start.
  std::size_t helperFirst = 0;
  std::atomic<bool> stop{false};
  /// The slot the helper is faulting a block in for, or kReadyBlocks.
  std::atomic<std::size_t> preparing{kReadyBlocks};
  platform::Thread *helper = nullptr;
  /// Woken when a block is taken and when the helper must stop.
  platform::Waker *waker = nullptr;
  /// Blocks given back during the build, still faulted in: the next ones
  /// taken. Returning a block to the system would make it interrupt every
  /// core the process ran on to flush its address translations, which costs
  /// more than faulting a fresh block in.
  std::vector<std::uint8_t *> recycled;
  BlockSupplyCounts counts;

  /// The helper is stopped and waited for: a thread left running into the
  /// end of the process is not safe everywhere (under wine it makes the
  /// runtime complain). It is woken at once and leaves a block half faulted
  /// in, and a program that needs no more than its first blocks never starts
  /// one.
  ~BlockSupply() {
    Reset();
    g_BlockSupplyGone = true;
  }

  void StopHelper() {
    if (helper == nullptr)
      return;
    stop.store(true, std::memory_order_relaxed);
    platform::Wake(waker);
    platform::JoinThread(helper);
    helper = nullptr;
  }

  void Reset() {
    StopHelper();
    if (waker != nullptr) {
      platform::FreeWaker(waker);
      waker = nullptr;
    }
    for (std::atomic<std::uint8_t *> &slot : ready) {
      if (std::uint8_t *block = slot.exchange(nullptr))
        FreeHugeAligned(block);
    }
    for (std::uint8_t *block : recycled)
      FreeHugeAligned(block);
    recycled.clear();
    recycled.shrink_to_fit();
    next = 0;
    stop.store(false, std::memory_order_relaxed);
    counts = BlockSupplyCounts();
  }
};

BlockSupply g_BlockSupply;

/// The helper: fills the ring's slots in order, each with a block faulted
/// in, and sleeps while the next slot is still full until the main thread
/// takes a block or stops it.
void PrepareBlocks(void *) {
  BlockSupply &supply = g_BlockSupply;
  std::size_t slot = supply.helperFirst;
  while (!supply.stop.load(std::memory_order_relaxed)) {
    if (supply.ready[slot].load(std::memory_order_acquire) != nullptr) {
      platform::WaitToBeWoken(supply.waker);
      continue;
    }
    supply.preparing.store(slot, std::memory_order_relaxed);
    std::uint8_t *block = AllocateBlock();
    if (!TouchPages(block, supply.stop)) {
      FreeHugeAligned(block);
      break;
    }
    supply.ready[slot].store(block, std::memory_order_release);
    supply.preparing.store(kReadyBlocks, std::memory_order_relaxed);
    slot = (slot + 1) % kReadyBlocks;
  }
  supply.preparing.store(kReadyBlocks, std::memory_order_relaxed);
}

/// The block of the ring's next slot, waiting a little for it when the
/// helper is faulting it in; null when there is none.
std::uint8_t *TakeReadyBlock(BlockSupply &supply) {
  std::atomic<std::uint8_t *> &slot = supply.ready[supply.next];
  std::uint8_t *block = slot.exchange(nullptr, std::memory_order_acquire);
  if (block != nullptr || supply.helper == nullptr ||
      supply.preparing.load(std::memory_order_relaxed) != supply.next)
    return block;
  auto deadline = std::chrono::steady_clock::now() + kLongestWaitForBlock;
  do {
    std::this_thread::yield();
    block = slot.exchange(nullptr, std::memory_order_acquire);
  } while (block == nullptr &&
           supply.preparing.load(std::memory_order_relaxed) == supply.next &&
           std::chrono::steady_clock::now() < deadline);
  if (block == nullptr)
    block = slot.exchange(nullptr, std::memory_order_acquire);
  if (block != nullptr)
    ++supply.counts.waited;
  return block;
}

} // namespace

std::uint8_t *TakeLargeBlock() {
  if (g_BlockSupplyGone)
    return AllocateBlock();
  BlockSupply &supply = g_BlockSupply;
  ++supply.counts.taken;
  if (!supply.recycled.empty()) {
    std::uint8_t *block = supply.recycled.back();
    supply.recycled.pop_back();
    ++supply.counts.reused;
    return block;
  }
  // Blocks a stopped helper left ready are taken all the same.
  std::uint8_t *block = TakeReadyBlock(supply);
  if (block != nullptr) {
    supply.next = (supply.next + 1) % kReadyBlocks;
    ++supply.counts.prepared;
    if (supply.helper != nullptr)
      platform::Wake(supply.waker);
    return block;
  }
  if (supply.helper == nullptr && supply.counts.taken >= kBlocksBeforeHelper) {
    // A program that needed this many blocks will likely need more.
    StartBlockHelper();
  }
  return AllocateBlock();
}

void StartBlockHelper() {
  BlockSupply &supply = g_BlockSupply;
  if (g_BlockSupplyGone || supply.helper != nullptr)
    return;
  // Without a waker or a thread, the main thread goes on faulting its
  // blocks in itself.
  if (supply.waker == nullptr)
    supply.waker = platform::NewWaker();
  if (supply.waker != nullptr) {
    supply.stop.store(false, std::memory_order_relaxed);
    std::size_t first = supply.next;
    std::size_t full = 0;
    while (full < kReadyBlocks &&
           supply.ready[first].load(std::memory_order_acquire) != nullptr) {
      first = (first + 1) % kReadyBlocks;
      ++full;
    }
    supply.helperFirst = first;
    supply.helper = platform::StartThread(PrepareBlocks, nullptr);
  }
}

void FreeLargeBlock(std::uint8_t *block) {
  if (block == nullptr)
    return;
  if (g_BlockSupplyGone) {
    FreeHugeAligned(block);
    return;
  }
  // Without room to keep it, the block goes back to the system.
  try {
    g_BlockSupply.recycled.push_back(block);
  } catch (const std::bad_alloc &) {
    FreeHugeAligned(block);
  }
}

void StopBlockHelper() {
  if (!g_BlockSupplyGone)
    g_BlockSupply.StopHelper();
}

std::uint8_t *AllocateHugeAligned(std::size_t size) {
  auto *memory = static_cast<std::uint8_t *>(
      ::operator new(size, std::align_val_t(kLargeBlockSize)));
  platform::AdviseHugePages(memory, size);
  return memory;
}

void FreeHugeAligned(void *memory) {
  ::operator delete(memory, std::align_val_t(kLargeBlockSize));
}

BlockSupplyCounts GetBlockSupplyCounts() {
  BlockSupplyCounts counts = g_BlockSupply.counts;
  for (const std::atomic<std::uint8_t *> &slot : g_BlockSupply.ready)
    if (slot.load(std::memory_order_acquire) != nullptr)
      ++counts.ready;
  counts.kept = g_BlockSupply.recycled.size();
  return counts;
}

void ResetBlockSupply() {
  if (!g_BlockSupplyGone)
    g_BlockSupply.Reset();
}
