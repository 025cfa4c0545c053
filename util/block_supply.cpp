//===- util/block_supply.cpp - Large blocks faulted in ahead of use --------===//

#include "util/block_supply.h"

#include "util/platform.h"

#include <new>

namespace {

/// Blocks taken before the helper starts: every build takes two (the first
/// lines and tokens), and small programs need no more and are not worth a
/// thread.
constexpr std::uint64_t kBlocksBeforeHelper = 3;
/// The page size the touches step by; touching more often than the system's
/// pages costs nothing but a few stores.
constexpr std::size_t kTouchStep = 4096;

struct BlockSupply {
  /// The next block, prepared (or being prepared) by `helper`; nullptr when
  /// none.
  std::uint8_t *spare = nullptr;
  platform::Thread *helper = nullptr;
  BlockSupplyCounts counts;

  /// A helper still at work is waited for: a thread left running into the
  /// end of the process is not safe everywhere (under wine it makes the
  /// runtime complain). It is at most one block's faulting, and a program
  /// that needs no more than its first blocks never starts a helper.
  ~BlockSupply() { Reset(); }

  /// Waits for the helper; the spare block is then ready.
  void Join() {
    if (helper == nullptr)
      return;
    platform::JoinThread(helper);
    helper = nullptr;
  }

  void Reset() {
    Join();
    if (spare != nullptr)
      FreeLargeBlock(spare);
    spare = nullptr;
    counts = BlockSupplyCounts();
  }
};

BlockSupply g_BlockSupply;

std::uint8_t *AllocateBlock() {
  auto *block = static_cast<std::uint8_t *>(
      ::operator new(kLargeBlockSize, std::align_val_t(kLargeBlockSize)));
  platform::AdviseHugePages(block, kLargeBlockSize);
  return block;
}

/// The helper's work: one store in every page makes the system supply them
/// all, zeroed. The block's contents are undefined to its user anyway.
void TouchPages(void *context) {
  auto *block = static_cast<volatile std::uint8_t *>(context);
  for (std::size_t offset = 0; offset < kLargeBlockSize; offset += kTouchStep)
    block[offset] = 0;
}

} // namespace

std::uint8_t *TakeLargeBlock() {
  BlockSupply &supply = g_BlockSupply;
  ++supply.counts.taken;
  std::uint8_t *block;
  if (supply.spare != nullptr) {
    if (supply.helper != nullptr)
      ++supply.counts.prepared;
    supply.Join();
    block = supply.spare;
    supply.spare = nullptr;
  } else {
    block = AllocateBlock();
  }
  if (supply.counts.taken >= kBlocksBeforeHelper) {
    // A program that needed this many blocks will likely need another.
    supply.spare = AllocateBlock();
    supply.helper = platform::StartThread(TouchPages, supply.spare);
  }
  return block;
}

void FreeLargeBlock(std::uint8_t *block) {
  ::operator delete(block, std::align_val_t(kLargeBlockSize));
}

BlockSupplyCounts GetBlockSupplyCounts() { return g_BlockSupply.counts; }

void ResetBlockSupply() { g_BlockSupply.Reset(); }
