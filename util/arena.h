//===- util/arena.h - Bump allocator for long-lived bytes -------*- C++ -*-===//
//
// Byte storage that lives until the arena is reset. Allocation is a pointer
// bump in the current block; nothing is freed one by one.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_ARENA_H
#define FERROX_UTIL_ARENA_H

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

/// A block of raw memory, owned.
class CMemoryBlock {
public:
  /// The usual block size of an arena.
  static constexpr std::size_t kLargeBlock = std::size_t{2} << 20;

  explicit CMemoryBlock(std::size_t size)
      : m_Data(std::make_unique_for_overwrite<std::uint8_t[]>(size)) {}

  std::uint8_t *Data() const { return m_Data.get(); }

private:
  std::unique_ptr<std::uint8_t[]> m_Data;
};

class CArena {
public:
  explicit CArena(std::size_t blockSize = CMemoryBlock::kLargeBlock)
      : m_BlockSize(blockSize), m_LaterBlockSize(blockSize) {}
  /// An arena whose first kFirstBlocks blocks are of `blockSize` bytes and
  /// later ones of `laterBlockSize`: small users stay small, large ones get
  /// large blocks.
  CArena(std::size_t blockSize, std::size_t laterBlockSize)
      : m_BlockSize(blockSize), m_LaterBlockSize(laterBlockSize) {}
  CArena(const CArena &) = delete;
  CArena &operator=(const CArena &) = delete;

  /// Returns `size` bytes of storage, unaligned.
  std::uint8_t *Allocate(std::size_t size) {
    if (size > m_Left) {
      // Large requests get a block of their own, so the rest of the current
      // block stays in use.
      if (size > m_BlockSize / 4) {
        m_Blocks.push_back(std::make_unique<CMemoryBlock>(size));
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
        m_Blocks.push_back(std::make_unique<CMemoryBlock>(size));
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

  /// Returns `size` bytes of storage aligned to `alignment` (a power of two
  /// up to 16).
  void *AllocateAligned(std::size_t size, std::size_t alignment) {
    std::size_t skip = (0 - reinterpret_cast<std::uintptr_t>(m_Next)) & (alignment - 1);
    if (skip + size > m_Left) {
      // Blocks start aligned to 16 at least.
      NextBlockFor(size);
      skip = 0;
    }
    std::uint8_t *result = m_Next + skip;
    m_Next += skip + size;
    m_Left -= skip + size;
    return result;
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

  /// Starts a new current block with room for `size` bytes.
  void NextBlockFor(std::size_t size) {
    if (size > m_LaterBlockSize / 4) {
      m_Blocks.push_back(std::make_unique<CMemoryBlock>(size));
      m_Next = m_Blocks.back()->Data();
      m_Left = size;
      return;
    }
    NextBlock();
  }

  /// Starts a new current block.
  void NextBlock() {
    std::size_t size = m_BlocksTaken < kFirstBlocks ? m_BlockSize : m_LaterBlockSize;
    ++m_BlocksTaken;
    m_Blocks.push_back(std::make_unique<CMemoryBlock>(size));
    m_Next = m_Blocks.back()->Data();
    m_Left = size;
  }

  std::size_t m_BlockSize;
  std::size_t m_LaterBlockSize;
  std::size_t m_BlocksTaken = 0;
  std::vector<std::unique_ptr<CMemoryBlock>> m_Blocks;
  std::uint8_t *m_Next = nullptr;
  std::size_t m_Left = 0;
  /// A large reservation that has a block of its own.
  std::uint8_t *m_Reserved = nullptr;
};

#endif // FERROX_UTIL_ARENA_H
