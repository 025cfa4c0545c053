//===- util/paths.h - Path manipulation -------------------------*- C++ -*-===//
//
// Pure functions on path texts. Each takes the path convention to follow,
// defaulting to the host's, so both conventions can be exercised anywhere:
//
//  - Windows: '\' separates components, ':' ends a drive name, "C:" and
//    "\\server\share" are roots, joining writes '\'.
//  - POSIX: '/' and '\' both separate components, ':' is an ordinary
//    character, a leading '/' is the root, joining writes '/'. Comparisons
//    of path texts are case-sensitive.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_UTIL_PATHS_H
#define FERROX_UTIL_PATHS_H

#include "util/platform.h"

#include <string>
#include <string_view>

using platform::PathStyle;

/// True when `c` ends a directory component in `style`.
bool IsPathSeparator(char c, PathStyle style = platform::kHostPathStyle);

/// Everything up to and including the last separator; empty when none.
std::string DirectoryPart(std::string_view path,
                          PathStyle style = platform::kHostPathStyle);
/// Everything after the last separator; the whole path when none.
std::string FileNamePart(std::string_view path,
                         PathStyle style = platform::kHostPathStyle);
/// The path one component up, keeping a root intact.
std::string ParentDirectory(std::string_view path,
                            PathStyle style = platform::kHostPathStyle);
/// The root of the path ("C:", "\\server\share", "/"), or empty.
std::string PathRoot(std::string_view path,
                     PathStyle style = platform::kHostPathStyle);
/// `text` ending with a separator. On Windows the empty text gives "\"; on
/// POSIX it stays empty, so joining adds nothing to an empty base.
std::string WithTrailingBackslash(std::string_view text,
                                  PathStyle style = platform::kHostPathStyle);
/// `text` without one trailing separator.
std::string WithoutTrailingBackslash(std::string_view text,
                                     PathStyle style = platform::kHostPathStyle);
/// Folds "." and ".." components and doubled separators.
std::string NormalizePath(std::string_view path,
                          PathStyle style = platform::kHostPathStyle);
/// `path` if it has a root, else `path` joined to `base` and normalised.
std::string ResolvePath(std::string_view base, std::string_view path,
                        PathStyle style = platform::kHostPathStyle);
/// `target` rewritten relative to `directory`, or unchanged when their roots
/// differ.
std::string RelativePath(std::string_view directory, std::string_view target,
                         PathStyle style = platform::kHostPathStyle);

#endif // FERROX_UTIL_PATHS_H
