//===- util/chunked_vector.h - Growable array that never moves --*- C++ -*-===//
//
// Elements live in chunks of a power-of-two size, so growing never copies or
// moves them (pointers stay valid) and indexing is a shift and a mask. The
// chunks are allocated one by one.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_CHUNKED_VECTOR_H
#define FERROX_UTIL_CHUNKED_VECTOR_H

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
    for (T *chunk : m_Chunks)
      ::operator delete(chunk, std::align_val_t(alignof(T)));
    m_Chunks.clear();
    m_Chunks.shrink_to_fit();
    m_Size = 0;
  }

  template <class Visitor> void ForEach(Visitor visit) {
    for (std::size_t i = 0; i < m_Size; ++i)
      visit((*this)[i]);
  }

private:
  static constexpr std::size_t kChunkBytes = kChunkSize * sizeof(T);

  T *NewChunk() {
    return static_cast<T *>(
        ::operator new(kChunkBytes, std::align_val_t(alignof(T))));
  }

  std::vector<T *> m_Chunks;
  std::size_t m_Size = 0;
};

#endif // FERROX_UTIL_CHUNKED_VECTOR_H
