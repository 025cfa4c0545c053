//===- util/text.h - Text helpers -------------------------------*- C++ -*-===//
//
// Free functions on byte strings in the system's code page. Letter case is
// folded one byte at a time with the platform's lower-casing.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_TEXT_H
#define FERROX_UTIL_TEXT_H

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
bool EqualsNoCase(std::string_view a, std::string_view b);

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
