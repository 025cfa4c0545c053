//===- util/text.h - Text helpers -------------------------------*- C++ -*-===//
//
// Free functions on byte strings in the system's code page. Letter case is
// folded one byte at a time with the platform's lower-casing.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_TEXT_H
#define FERROX_UTIL_TEXT_H

#include "util/platform.h"

#include <cstddef>
#include <string>
#include <string_view>

/// True for the blank characters: tab, line feed, carriage return, space.
inline bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

/// Lower-cases every byte of `text` in place.
void ToLowerInPlace(std::string &text);
/// A lower-cased copy of `text`.
std::string LowerCopy(std::string_view text);
/// True when both texts are equal after lower-casing.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  const unsigned char *lower = platform::LowerCaseTable();
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower[static_cast<unsigned char>(a[i])] != lower[static_cast<unsigned char>(b[i])])
      return false;
  return true;
}

/// Hashing and equality of names without regard to letter case, for
/// standard containers keyed by names: lookups take the name as written
/// and allocate nothing.
struct CNoCaseHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const;
};
struct CNoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    return EqualsNoCase(a, b);
  }
};

/// `text` without leading and trailing blank characters.
std::string Trim(std::string_view text);
/// Every run of blank characters replaced by one space.
std::string CollapseWhitespace(std::string_view text);
/// "\r\n" for mode 1, "\n" for 2, "\r" for 3, empty otherwise.
std::string_view NewlineText(int mode);
/// Every line break (CR LF, lone LF, lone CR) replaced by NewlineText(mode);
/// mode 0 leaves the text unchanged.
std::string ConvertNewlines(std::string_view text, int mode);
/// `text` repeated `count` times.
std::string RepeatText(std::string_view text, std::size_t count);
/// Number of non-overlapping occurrences of `pattern`; 0 for an empty pattern.
std::size_t CountOccurrences(std::string_view text, std::string_view pattern);
/// Cuts the next field of `text` ending at `separator`, starting at
/// `*position`. False when the separator is empty or the text is used up.
bool NextField(std::string_view text, std::string_view separator,
               std::string *field, std::size_t *position);
/// The partner of a bracket ("[" and "]", "{" and "}"); other bytes unchanged.
char MirrorBracket(char c);

#endif // FERROX_UTIL_TEXT_H
