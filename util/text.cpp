//===- util/text.cpp - Text helpers ---------------------------------------===//

#include "util/text.h"

#include "util/platform.h"

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

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  const unsigned char *lower = platform::LowerCaseTable();
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower[static_cast<unsigned char>(a[i])] !=
        lower[static_cast<unsigned char>(b[i])])
      return false;
  return true;
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
