//===- markup/gap_text.h - Editable text with a movable gap -----*- C++ -*-===//
//
// A byte string stored as two runs with a free gap between them. Erasing and
// inserting cost only the bytes moved to bring the gap to the edit, so a
// reader that keeps editing near its cursor works in time linear in the text,
// however many edits it makes.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_MARKUP_GAP_TEXT_H
#define FERROX_MARKUP_GAP_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace qz {

class CGapText {
public:
  CGapText() = default;
  explicit CGapText(std::string_view text);

  /// Number of bytes in the text.
  std::size_t Size() const { return m_Data.size() - (m_GapEnd - m_GapStart); }
  /// The byte at `index`; '\0' when `index` is not below Size().
  char At(std::size_t index) const {
    if (index < m_GapStart)
      return m_Data[index];
    std::size_t physical = index + (m_GapEnd - m_GapStart);
    return physical < m_Data.size() ? m_Data[physical] : '\0';
  }

  /// Removes up to `count` bytes from `from`; a range past the end is cut
  /// short there.
  void Erase(std::size_t from, std::size_t count);
  /// Inserts `text` before byte `at` (at the end when `at` is past it).
  void Insert(std::size_t at, std::string_view text);
  /// Index of the first occurrence of `pattern` at or after `from`, or
  /// std::string::npos.
  std::size_t Find(std::string_view pattern, std::size_t from) const;

  /// A copy of the whole text.
  std::string Str() const;
  /// Hands the whole text over and leaves this object empty; never allocates.
  std::string Release() noexcept;

private:
  /// Moves the gap so that it starts before byte `index`.
  void MoveGap(std::size_t index);
  /// Makes the gap at least `size` bytes wide.
  void WidenGap(std::size_t size);

  std::string m_Data;
  std::size_t m_GapStart = 0;
  std::size_t m_GapEnd = 0;
};

} // namespace qz

#endif // FERROX_MARKUP_GAP_TEXT_H
