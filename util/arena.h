//===- util/arena.h - Bump allocator for long-lived bytes -------*- C++ -*-===//
//
// Byte storage that lives until the arena is reset. Allocation is a pointer
// bump in the current block; nothing is freed one by one.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_ARENA_H
#define FERROX_UTIL_ARENA_H

#include "util/block_supply.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

/// A block of raw memory. Blocks of exactly kLargeBlock bytes come from the
/// block supply, faulted in ahead of use, unless `fromSupply` is false (the
/// supply serves the main thread only); other large ones are aligned so the
/// system can back them with huge pages.
class CMemoryBlock {
public:
  static constexpr std::size_t kLargeBlock = kLargeBlockSize;

  explicit CMemoryBlock(std::size_t size, bool fromSupply = true)
      : m_Size(size), m_FromSupply(fromSupply && size == kLargeBlock) {
    if (m_FromSupply) {
      m_Data = TakeLargeBlock();
    } else if (size >= kLargeBlock) {
      m_Data = AllocateHugeAligned(size);
    } else {
      m_Data = static_cast<std::uint8_t *>(::operator new(size));
    }
  }
  ~CMemoryBlock() {
    if (m_FromSupply)
      FreeLargeBlock(m_Data);
    else if (m_Size >= kLargeBlock)
      FreeHugeAligned(m_Data);
    else
      ::operator delete(m_Data);
  }
  CMemoryBlock(const CMemoryBlock &) = delete;
  CMemoryBlock &operator=(const CMemoryBlock &) = delete;

  std::uint8_t *Data() const { return m_Data; }

private:
  std::uint8_t *m_Data;
  std::size_t m_Size;
  bool m_FromSupply;
};

class CArena {
public:
  explicit CArena(std::size_t blockSize = CMemoryBlock::kLargeBlock)
      : m_BlockSize(blockSize), m_LaterBlockSize(blockSize),
        m_FromSupply(blockSize == CMemoryBlock::kLargeBlock) {}
  /// An arena whose first kFirstBlocks blocks are of `blockSize` bytes and
  /// later ones of `laterBlockSize`: small users stay small, large ones get
  /// large blocks.
  CArena(std::size_t blockSize, std::size_t laterBlockSize)
      : m_BlockSize(blockSize), m_LaterBlockSize(laterBlockSize),
        m_FromSupply(laterBlockSize == CMemoryBlock::kLargeBlock) {}
  CArena(const CArena &) = delete;
  CArena &operator=(const CArena &) = delete;

  /// Returns `size` bytes of storage, unaligned.
  std::uint8_t *Allocate(std::size_t size) {
    if (size > m_Left) {
      // Large requests get a block of their own, so the rest of the current
      // block stays in use.
      if (size > m_BlockSize / 4) {
        m_Blocks.push_back(std::make_unique<CMemoryBlock>(size, m_FromSupply));
        return m_Blocks.back()->Data();
      }
      NextBlock();
    }
    std::uint8_t *result = m_Next;
    m_Next += size;
    m_Left -= size;
    return result;
  }

  /// Returns room for `size` bytes without taking it; Commit takes the part
  /// that was used. Nothing else may be allocated in between.
  std::uint8_t *Reserve(std::size_t size) {
    if (size > m_Left) {
      if (size > m_BlockSize / 4) {
        m_Blocks.push_back(std::make_unique<CMemoryBlock>(size, m_FromSupply));
        m_Reserved = m_Blocks.back()->Data();
        return m_Reserved;
      }
      NextBlock();
    }
    m_Reserved = nullptr;
    return m_Next;
  }

  /// Takes `used` bytes of the room Reserve returned.
  void Commit(std::size_t used) {
    if (m_Reserved != nullptr) {
      m_Reserved = nullptr;
      return;
    }
    m_Next += used;
    m_Left -= used;
  }

  /// Copies `bytes` into the arena and returns a view of the copy.
  std::string_view Store(std::string_view bytes) {
    if (bytes.empty())
      return std::string_view();
    std::uint8_t *copy = Allocate(bytes.size());
    std::memcpy(copy, bytes.data(), bytes.size());
    return std::string_view(reinterpret_cast<const char *>(copy), bytes.size());
  }

  /// Frees every block.
  void Reset() {
    m_Blocks.clear();
    m_Next = nullptr;
    m_Left = 0;
    m_BlocksTaken = 0;
  }

private:
  static constexpr std::size_t kFirstBlocks = 4;

  /// Starts a new current block.
  void NextBlock() {
    std::size_t size = m_BlocksTaken < kFirstBlocks ? m_BlockSize : m_LaterBlockSize;
    ++m_BlocksTaken;
    m_Blocks.push_back(std::make_unique<CMemoryBlock>(size, m_FromSupply));
    m_Next = m_Blocks.back()->Data();
    m_Left = size;
  }

  std::size_t m_BlockSize;
  std::size_t m_LaterBlockSize;
  /// Whether blocks of kLargeBlock bytes come from the block supply: only
  /// for arenas that use such blocks themselves, which are the main
  /// thread's. An arena of other blocks may serve another thread.
  bool m_FromSupply;
  std::size_t m_BlocksTaken = 0;
  std::vector<std::unique_ptr<CMemoryBlock>> m_Blocks;
  std::uint8_t *m_Next = nullptr;
  std::size_t m_Left = 0;
  /// A large reservation that has a block of its own.
  std::uint8_t *m_Reserved = nullptr;
};

/// An allocator for vectors that may grow large: an allocation of a
/// megabyte or more is rounded up to whole large blocks and aligned for huge
/// pages, so it is faulted in a few pages instead of hundreds.
template <class T> class CHugePageAllocator {
public:
  using value_type = T;

  CHugePageAllocator() = default;
  template <class U> CHugePageAllocator(const CHugePageAllocator<U> &) {}

  T *allocate(std::size_t count) {
    if (count > kMaxBytes / sizeof(T))
      throw std::bad_array_new_length();
    std::size_t bytes = count * sizeof(T);
    if (bytes < kHugeBytes)
      return static_cast<T *>(::operator new(bytes));
    std::size_t rounded = (bytes + kLargeBlockSize - 1) & ~(kLargeBlockSize - 1);
    return reinterpret_cast<T *>(AllocateHugeAligned(rounded));
  }

  void deallocate(T *memory, std::size_t count) {
    if (count * sizeof(T) < kHugeBytes)
      ::operator delete(memory);
    else
      FreeHugeAligned(memory);
  }

  template <class U> bool operator==(const CHugePageAllocator<U> &) const {
    return true;
  }

private:
  static constexpr std::size_t kHugeBytes = kLargeBlockSize / 2;
  // The largest object size, rounded down to whole blocks so that rounding a
  // request up cannot pass it.
  static constexpr std::size_t kMaxBytes =
      static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) &
      ~(kLargeBlockSize - 1);
};

#endif // FERROX_UTIL_ARENA_H
