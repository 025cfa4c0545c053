//===- util/chunked_vector.h - Growable array that never moves --*- C++ -*-===//
//
// Elements live in chunks of a power-of-two size, so growing never copies or
// moves them (pointers stay valid) and indexing is a shift and a mask. The
// first chunks are allocated one by one; a vector that keeps growing carves
// further chunks out of large blocks, which the block supply has already
// faulted in, so a table of a million entries costs no page fault of its own.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_CHUNKED_VECTOR_H
#define FERROX_UTIL_CHUNKED_VECTOR_H

#include "util/block_supply.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

template <class T, unsigned ChunkShift = 10> class CChunkedVector {
public:
  static constexpr std::size_t kChunkSize = std::size_t{1} << ChunkShift;

  CChunkedVector() = default;
  CChunkedVector(const CChunkedVector &) = delete;
  CChunkedVector &operator=(const CChunkedVector &) = delete;
  ~CChunkedVector() { clear(); }

  std::size_t size() const { return m_Size; }
  bool empty() const { return m_Size == 0; }

  T &operator[](std::size_t index) {
    return m_Chunks[index >> ChunkShift][index & (kChunkSize - 1)];
  }
  const T &operator[](std::size_t index) const {
    return m_Chunks[index >> ChunkShift][index & (kChunkSize - 1)];
  }
  T &back() { return (*this)[m_Size - 1]; }

  void push_back(T value) {
    if ((m_Size >> ChunkShift) == m_Chunks.size())
      m_Chunks.push_back(NewChunk());
    new (&(*this)[m_Size]) T(std::move(value));
    ++m_Size;
  }

  void clear() {
    if constexpr (!std::is_trivially_destructible_v<T>)
      for (std::size_t i = 0; i < m_Size; ++i)
        (*this)[i].~T();
    for (std::size_t i = 0; i < m_Chunks.size() && i < kOwnChunks; ++i)
      ::operator delete(m_Chunks[i], std::align_val_t(alignof(T)));
    for (std::uint8_t *block : m_Blocks)
      FreeLargeBlock(block);
    m_Chunks.clear();
    m_Chunks.shrink_to_fit();
    m_Blocks.clear();
    m_Blocks.shrink_to_fit();
    m_BlockLeft = 0;
    m_Size = 0;
  }

  template <class Visitor> void ForEach(Visitor visit) {
    for (std::size_t i = 0; i < m_Size; ++i)
      visit((*this)[i]);
  }

private:
  static constexpr std::size_t kChunkBytes = kChunkSize * sizeof(T);
  /// Chunks allocated one by one before large blocks are used; vectors whose
  /// chunks would not fit a block several times over never use them.
  static constexpr std::size_t kOwnChunks =
      kChunkBytes <= kLargeBlockSize / 8 ? 4 : ~std::size_t{0};
  static_assert(alignof(T) <= 64, "chunks in a block are 64-byte aligned");

  T *NewChunk() {
    if (m_Chunks.size() < kOwnChunks)
      return static_cast<T *>(
          ::operator new(kChunkBytes, std::align_val_t(alignof(T))));
    std::size_t aligned = (kChunkBytes + 63) & ~std::size_t{63};
    if (m_BlockLeft < aligned) {
      m_Blocks.push_back(TakeLargeBlock());
      m_BlockNext = m_Blocks.back();
      m_BlockLeft = kLargeBlockSize;
    }
    T *chunk = reinterpret_cast<T *>(m_BlockNext);
    m_BlockNext += aligned;
    m_BlockLeft -= aligned;
    return chunk;
  }

  std::vector<T *> m_Chunks;
  std::size_t m_Size = 0;
  /// Large blocks later chunks are carved from, and the rest of the last.
  std::vector<std::uint8_t *> m_Blocks;
  std::uint8_t *m_BlockNext = nullptr;
  std::size_t m_BlockLeft = 0;
};

#endif // FERROX_UTIL_CHUNKED_VECTOR_H
