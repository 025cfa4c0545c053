//===- util/text.cpp - Text helpers ---------------------------------------===//

#include "util/text.h"

#include "util/platform.h"

#include <cstdint>

void ToLowerInPlace(std::string &text) {
  const unsigned char *lower = platform::LowerCaseTable();
  for (char &c : text)
    c = static_cast<char>(lower[static_cast<unsigned char>(c)]);
}

std::string LowerCopy(std::string_view text) {
  std::string copy(text);
  ToLowerInPlace(copy);
  return copy;
}


std::size_t CNoCaseHash::operator()(std::string_view text) const {
  // The lower-cased bytes gathered eight to a word, each word mixed in with
  // one multiplication: names are short, and a multiplication per byte
  // would make hashing the slowest part of a lookup.
  const unsigned char *lower = platform::LowerCaseTable();
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t hash = text.size() * kMultiplier;
  std::size_t i = 0;
  while (i < text.size()) {
    std::uint64_t word = 0;
    for (unsigned shift = 0; shift < 64 && i < text.size(); shift += 8, ++i)
      word |= std::uint64_t{lower[static_cast<unsigned char>(text[i])]} << shift;
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 29;
  }
  return static_cast<std::size_t>(hash);
}

std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsSpace(text[begin]))
    ++begin;
  while (end > begin && IsSpace(text[end - 1]))
    --end;
  return std::string(text.substr(begin, end - begin));
}

std::string CollapseWhitespace(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  bool inRun = false;
  for (char c : text) {
    if (IsSpace(c)) {
      if (!inRun)
        result += ' ';
      inRun = true;
    } else {
      result += c;
      inRun = false;
    }
  }
  return result;
}

std::string_view NewlineText(int mode) {
  switch (mode) {
  case 1:
    return "\r\n";
  case 2:
    return "\n";
  case 3:
    return "\r";
  default:
    return "";
  }
}

std::string ConvertNewlines(std::string_view text, int mode) {
  if (mode == 0)
    return std::string(text);
  std::string_view newline = NewlineText(mode);
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      result += newline;
    } else if (c == '\n') {
      result += newline;
    } else {
      result += c;
    }
  }
  return result;
}

std::string RepeatText(std::string_view text, std::size_t count) {
  std::string result;
  result.reserve(text.size() * count);
  for (std::size_t i = 0; i < count; ++i)
    result += text;
  return result;
}

std::size_t CountOccurrences(std::string_view text, std::string_view pattern) {
  if (pattern.empty())
    return 0;
  std::size_t count = 0;
  std::size_t at = text.find(pattern);
  while (at != std::string_view::npos) {
    ++count;
    at = text.find(pattern, at + pattern.size());
  }
  return count;
}

bool NextField(std::string_view text, std::string_view separator,
               std::string *field, std::size_t *position) {
  if (separator.empty() || *position >= text.size())
    return false;
  std::size_t at = text.find(separator, *position);
  if (at == std::string_view::npos) {
    field->assign(text.substr(*position));
    *position = text.size();
  } else {
    field->assign(text.substr(*position, at - *position));
    *position = at + separator.size();
  }
  return true;
}

char MirrorBracket(char c) {
  switch (c) {
  case '[':
    return ']';
  case ']':
    return '[';
  case '{':
    return '}';
  case '}':
    return '{';
  default:
    return c;
  }
}
