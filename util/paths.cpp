//===- util/paths.cpp - Path manipulation ---------------------------------===//

#include "util/paths.h"

#include "util/text.h"

namespace {

bool IsWindows(PathStyle style) { return style == PathStyle::Windows; }

/// The separator that joins components.
char JoinSeparator(PathStyle style) { return IsWindows(style) ? '\\' : '/'; }

/// Separators between the fields that NormalizePath folds. A Windows drive
/// colon stays inside its field.
bool IsFieldSeparator(char c, PathStyle style) {
  return IsWindows(style) ? c == '\\' : (c == '/' || c == '\\');
}

std::size_t FindLastSeparator(std::string_view path, PathStyle style) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsPathSeparator(path[i - 1], style))
      return i - 1;
  return std::string_view::npos;
}

bool EndsWithSeparator(std::string_view text, PathStyle style) {
  return !text.empty() && IsFieldSeparator(text.back(), style);
}

/// Whether the last component of a normalised relative result is "..", or the
/// result is empty: a further ".." must then be kept, not folded away.
bool CannotFoldParent(std::string_view result, PathStyle style) {
  if (result.empty())
    return true;
  std::size_t last = FindLastSeparator(result, style);
  std::string_view tail =
      last == std::string_view::npos ? result : result.substr(last + 1);
  return tail == "..";
}

} // namespace

bool IsPathSeparator(char c, PathStyle style) {
  return IsWindows(style) ? (c == '\\' || c == ':') : (c == '/' || c == '\\');
}

std::string DirectoryPart(std::string_view path, PathStyle style) {
  std::size_t last = FindLastSeparator(path, style);
  if (last == std::string_view::npos)
    return std::string();
  return std::string(path.substr(0, last + 1));
}

std::string FileNamePart(std::string_view path, PathStyle style) {
  std::size_t last = FindLastSeparator(path, style);
  if (last == std::string_view::npos)
    return std::string(path);
  return std::string(path.substr(last + 1));
}

std::string ParentDirectory(std::string_view path, PathStyle style) {
  std::size_t last = FindLastSeparator(path, style);
  if (last == std::string_view::npos)
    return std::string();
  bool cut = last != 0 && IsFieldSeparator(path[last], style) &&
             !IsPathSeparator(path[last - 1], style);
  return std::string(path.substr(0, cut ? last : last + 1));
}

std::string PathRoot(std::string_view path, PathStyle style) {
  if (!IsWindows(style))
    return (!path.empty() && path[0] == '/') ? std::string("/") : std::string();
  if (path.size() >= 2 && path[1] == ':')
    return std::string(path.substr(0, 2));
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    std::size_t first = path.find('\\', 2);
    if (first == std::string_view::npos)
      return std::string(path);
    std::size_t second = path.find('\\', first + 1);
    if (second == std::string_view::npos)
      return std::string(path);
    return std::string(path.substr(0, second));
  }
  return std::string();
}

std::string WithTrailingBackslash(std::string_view text, PathStyle style) {
  if (EndsWithSeparator(text, style))
    return std::string(text);
  if (text.empty() && !IsWindows(style))
    return std::string();
  std::string result(text);
  result += JoinSeparator(style);
  return result;
}

std::string WithoutTrailingBackslash(std::string_view text, PathStyle style) {
  if (EndsWithSeparator(text, style))
    return std::string(text.substr(0, text.size() - 1));
  return std::string(text);
}

std::string NormalizePath(std::string_view path, PathStyle style) {
  std::string result;
  std::size_t position = 0;
  if (!IsWindows(style) && !path.empty() && path[0] == '/') {
    result = "/";
    position = 1;
  }
  while (position < path.size()) {
    std::size_t end = position;
    while (end < path.size() && !IsFieldSeparator(path[end], style))
      ++end;
    std::string_view field = path.substr(position, end - position);
    position = end < path.size() ? end + 1 : end;

    if (field == ".")
      continue;
    // A ".." that climbs above the start of a relative path is kept: folding
    // it away would name a different file.
    if (field == ".." && !CannotFoldParent(result, style)) {
      result = ParentDirectory(result, style);
      continue;
    }
    if (!result.empty() && !EndsWithSeparator(result, style))
      result += JoinSeparator(style);
    result += field;
  }
  return result;
}

std::string ResolvePath(std::string_view base, std::string_view path,
                        PathStyle style) {
  if (!PathRoot(path, style).empty())
    return std::string(path);
  return NormalizePath(WithTrailingBackslash(base, style) + std::string(path),
                       style);
}

std::string RelativePath(std::string_view directory, std::string_view target,
                         PathStyle style) {
  std::string a = WithTrailingBackslash(directory, style);
  std::string b = WithTrailingBackslash(target, style);
  // Windows compares paths without regard to case; POSIX exactly.
  std::string lowerA = IsWindows(style) ? LowerCopy(a) : a;
  std::string lowerB = IsWindows(style) ? LowerCopy(b) : b;
  if (lowerA == lowerB)
    return std::string();
  if (PathRoot(lowerA, style) != PathRoot(lowerB, style))
    return std::string(target);

  auto firstComponentEnd = [style](const std::string &text) {
    for (std::size_t i = 0; i < text.size(); ++i)
      if (IsFieldSeparator(text[i], style))
        return i + 1;
    return std::string::npos;
  };
  for (;;) {
    std::size_t endA = firstComponentEnd(lowerA);
    std::size_t endB = firstComponentEnd(lowerB);
    if (endA == std::string::npos || endB == std::string::npos)
      break;
    if (lowerA.compare(0, endA, lowerB, 0, endB) != 0)
      break;
    a.erase(0, endA);
    b.erase(0, endB);
    lowerA.erase(0, endA);
    lowerB.erase(0, endB);
  }

  std::size_t up = 0;
  for (char c : a)
    if (IsFieldSeparator(c, style))
      ++up;
  std::string parent = IsWindows(style) ? "..\\" : "../";
  std::string result = RepeatText(parent, up) + b;
  if (EndsWithSeparator(target, style))
    return result;
  return WithoutTrailingBackslash(result, style);
}
