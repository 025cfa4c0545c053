//===- util/block_supply.h - Large blocks faulted in ahead of use -*- C++ -*-===//
//
// The token storage and the line list take memory in large blocks, and a
// program of a million lines fills some fifty of them. The system zeroes
// every page on its first touch, which would cost the lexer a fifth of its
// time; instead, while one block fills, a helper thread touches the pages of
// the next, so the zeroing runs on another core.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_BLOCK_SUPPLY_H
#define FERROX_UTIL_BLOCK_SUPPLY_H

#include <cstddef>
#include <cstdint>

/// Size and alignment of the blocks TakeLargeBlock returns.
inline constexpr std::size_t kLargeBlockSize = std::size_t{2} << 20;

/// A block of kLargeBlockSize bytes aligned to its size (so the system can
/// back it with huge pages), uninitialised: a block given back with
/// FreeLargeBlock if there is one, else a fresh one. Main thread only.
std::uint8_t *TakeLargeBlock();
/// Gives `block` back for the next TakeLargeBlock; ResetBlockSupply returns
/// it to the system. Main thread only.
void FreeLargeBlock(std::uint8_t *block);

/// `size` bytes, uninitialised, aligned to kLargeBlockSize and backed with
/// huge pages where the system can: for storage of a megabyte or more,
/// which is then faulted in a few pages instead of hundreds. Any thread may
/// call it. Freed with FreeHugeAligned.
std::uint8_t *AllocateHugeAligned(std::size_t size);
void FreeHugeAligned(void *memory);

/// How many blocks have been taken since the last reset, how many of them
/// had been prepared by the helper thread (and of those, how many the main
/// thread waited a moment for) or given back before, how many prepared ones
/// wait and how many given-back ones are kept.
struct BlockSupplyCounts {
  std::uint64_t taken = 0;
  std::uint64_t prepared = 0;
  std::uint64_t waited = 0;
  std::uint64_t reused = 0;
  std::uint64_t ready = 0;
  std::uint64_t kept = 0;
};
BlockSupplyCounts GetBlockSupplyCounts();

/// Starts the helper thread that faults blocks in ahead of use, unless it
/// runs already: for a caller that knows many blocks will be taken (the
/// helper otherwise starts at the third block). Main thread only, like
/// TakeLargeBlock.
void StartBlockHelper();

/// Stops and waits for the helper thread, if one runs; the blocks it
/// prepared stay ready. For the end of the process, which must not leave a
/// thread running.
void StopBlockHelper();

/// Stops and waits for the helper thread, frees the blocks it prepared and
/// the ones given back, and starts the counts again.
void ResetBlockSupply();

#endif // FERROX_UTIL_BLOCK_SUPPLY_H
