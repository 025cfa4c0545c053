//===- markup/gap_text.cpp - Editable text with a movable gap -------------===//

#include "markup/gap_text.h"

#include <algorithm>
#include <cstring>

namespace qz {

CGapText::CGapText(std::string_view text) : m_Data(text) {
  m_GapStart = m_Data.size();
  m_GapEnd = m_Data.size();
}

void CGapText::Erase(std::size_t from, std::size_t count) {
  std::size_t size = Size();
  if (from >= size)
    return;
  count = std::min(count, size - from);
  if (count == 0)
    return;
  std::size_t to = from + count;
  // Bring the gap to the nearer end of the range, then widen it over the range.
  std::size_t toFrom =
      from > m_GapStart ? from - m_GapStart : m_GapStart - from;
  std::size_t toTo = to > m_GapStart ? to - m_GapStart : m_GapStart - to;
  if (toFrom <= toTo) {
    MoveGap(from);
    m_GapEnd += count;
  } else {
    MoveGap(to);
    m_GapStart -= count;
  }
}

void CGapText::Insert(std::size_t at, std::string_view text) {
  if (text.empty())
    return;
  at = std::min(at, Size());
  MoveGap(at);
  WidenGap(text.size());
  std::memcpy(&m_Data[m_GapStart], text.data(), text.size());
  m_GapStart += text.size();
}

std::size_t CGapText::Find(std::string_view pattern, std::size_t from) const {
  std::size_t size = Size();
  if (pattern.empty())
    return from <= size ? from : std::string::npos;
  if (pattern.size() > size)
    return std::string::npos;
  for (std::size_t i = from; i <= size - pattern.size(); ++i) {
    std::size_t k = 0;
    while (k < pattern.size() && At(i + k) == pattern[k])
      ++k;
    if (k == pattern.size())
      return i;
  }
  return std::string::npos;
}

std::string CGapText::Str() const {
  std::string text;
  text.reserve(Size());
  text.append(m_Data, 0, m_GapStart);
  text.append(m_Data, m_GapEnd, std::string::npos);
  return text;
}

std::string CGapText::Release() noexcept {
  // Close the gap in place: move the bytes after it down, then cut the tail
  // off. Shrinking a string never allocates.
  std::size_t tail = m_Data.size() - m_GapEnd;
  if (tail > 0 && m_GapEnd > m_GapStart)
    std::memmove(&m_Data[m_GapStart], &m_Data[m_GapEnd], tail);
  m_Data.resize(m_GapStart + tail);
  m_GapStart = 0;
  m_GapEnd = 0;
  std::string text = std::move(m_Data);
  m_Data.clear();
  return text;
}

void CGapText::MoveGap(std::size_t index) {
  index = std::min(index, Size());
  std::size_t width = m_GapEnd - m_GapStart;
  if (index < m_GapStart) {
    std::size_t count = m_GapStart - index;
    if (width > 0)
      std::memmove(&m_Data[index + width], &m_Data[index], count);
  } else if (index > m_GapStart) {
    std::size_t count = index - m_GapStart;
    if (width > 0)
      std::memmove(&m_Data[m_GapStart], &m_Data[m_GapEnd], count);
  }
  m_GapStart = index;
  m_GapEnd = index + width;
}

void CGapText::WidenGap(std::size_t size) {
  std::size_t width = m_GapEnd - m_GapStart;
  if (width >= size)
    return;
  // Grow geometrically so that many small insertions stay linear overall.
  std::size_t textSize = Size();
  std::size_t newWidth = std::max(size, textSize / 2 + 64);
  std::string data;
  data.resize(textSize + newWidth);
  std::memcpy(data.data(), m_Data.data(), m_GapStart);
  std::size_t tail = m_Data.size() - m_GapEnd;
  if (tail > 0)
    std::memcpy(data.data() + m_GapStart + newWidth, m_Data.data() + m_GapEnd,
                tail);
  m_Data.swap(data);
  m_GapEnd = m_GapStart + newWidth;
}

} // namespace qz
