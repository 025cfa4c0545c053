//===- util/paths_test.cpp ------------------------------------------------===//

#include "util/paths.h"

#include <gtest/gtest.h>

namespace {

constexpr PathStyle W = PathStyle::Windows;
constexpr PathStyle P = PathStyle::Posix;

TEST(WindowsPaths, DirectoryAndFileNameSplitAtBackslashOrColon) {
  EXPECT_EQ(DirectoryPart("prog.src", W), "");
  EXPECT_EQ(DirectoryPart("src\\prog.src", W), "src\\");
  EXPECT_EQ(DirectoryPart("C:prog.src", W), "C:");
  EXPECT_EQ(DirectoryPart("src/prog.src", W), "");
  EXPECT_EQ(FileNamePart("C:\\a\\b.tvh", W), "b.tvh");
  EXPECT_EQ(FileNamePart("C:b.tvh", W), "b.tvh");
  EXPECT_EQ(FileNamePart("a/b.tvh", W), "a/b.tvh");
}

TEST(WindowsPaths, RootsAreDrivesAndNetworkShares) {
  EXPECT_EQ(PathRoot("C:\\a", W), "C:");
  EXPECT_EQ(PathRoot("\\\\server\\share\\dir", W), "\\\\server\\share");
  EXPECT_EQ(PathRoot("\\\\server", W), "\\\\server");
  EXPECT_EQ(PathRoot("\\dir", W), "");
  EXPECT_EQ(PathRoot("/dir", W), "");
}

TEST(WindowsPaths, ParentDirectoryKeepsTheRoot) {
  EXPECT_EQ(ParentDirectory("C:\\a\\b", W), "C:\\a");
  EXPECT_EQ(ParentDirectory("C:\\a", W), "C:\\");
  EXPECT_EQ(ParentDirectory("C:", W), "C:");
  EXPECT_EQ(ParentDirectory("a", W), "");
}

TEST(WindowsPaths, NormalizeFoldsDotsAndDoubledSeparators) {
  EXPECT_EQ(NormalizePath("C:\\a\\.\\b\\..\\c", W), "C:\\a\\c");
  EXPECT_EQ(NormalizePath("a\\\\b\\", W), "a\\b");
  EXPECT_EQ(NormalizePath("\\dir\\file", W), "dir\\file");
  EXPECT_EQ(NormalizePath("C:\\..\\..\\x", W), "C:\\x");
}

TEST(WindowsPaths, NormalizeKeepsParentsAboveARelativeStart) {
  EXPECT_EQ(NormalizePath("..\\inc\\x.tvh", W), "..\\inc\\x.tvh");
  EXPECT_EQ(NormalizePath("a\\..\\..\\..\\x", W), "..\\..\\x");
}

TEST(WindowsPaths, ResolveJoinsRelativeNamesOnly) {
  EXPECT_EQ(ResolvePath("C:\\inc", "D:\\x.tvh", W), "D:\\x.tvh");
  EXPECT_EQ(ResolvePath("C:\\inc\\", "..\\x.tvh", W), "C:\\x.tvh");
  EXPECT_EQ(ResolvePath("", "x.tvh", W), "x.tvh");
  EXPECT_EQ(ResolvePath("src\\", "lib\\x.tvh", W), "src\\lib\\x.tvh");
  EXPECT_EQ(ResolvePath("C:\\a", "\\\\srv\\s\\x", W), "\\\\srv\\s\\x");
}

TEST(WindowsPaths, RelativePathIgnoresCase) {
  EXPECT_EQ(RelativePath("C:\\a\\b", "C:\\a\\c\\f.txt", W), "..\\c\\f.txt");
  EXPECT_EQ(RelativePath("C:\\tools\\", "C:\\inc\\x.inc", W), "..\\inc\\x.inc");
  EXPECT_EQ(RelativePath("C:\\A\\", "c:\\a", W), "");
  EXPECT_EQ(RelativePath("C:\\a", "D:\\a\\x", W), "D:\\a\\x");
  EXPECT_EQ(RelativePath("C:\\a", "inc\\x", W), "inc\\x");
  EXPECT_EQ(RelativePath("C:\\a\\", "C:\\A\\b\\", W), "b\\");
}

TEST(WindowsPaths, TrailingBackslashHelpers) {
  EXPECT_EQ(WithTrailingBackslash("", W), "\\");
  EXPECT_EQ(WithTrailingBackslash("a", W), "a\\");
  EXPECT_EQ(WithTrailingBackslash("a\\", W), "a\\");
  EXPECT_EQ(WithoutTrailingBackslash("a\\", W), "a");
  EXPECT_EQ(WithoutTrailingBackslash("", W), "");
}

TEST(PosixPaths, BothSlashesSeparateAndColonIsOrdinary) {
  EXPECT_EQ(DirectoryPart("src/prog.src", P), "src/");
  EXPECT_EQ(DirectoryPart("prog.src", P), "");
  EXPECT_EQ(DirectoryPart("src\\prog.src", P), "src\\");
  EXPECT_EQ(DirectoryPart("C:prog.src", P), "");
  EXPECT_EQ(FileNamePart("a/b\\c.tvh", P), "c.tvh");
  EXPECT_EQ(FileNamePart("C:x", P), "C:x");
}

TEST(PosixPaths, OnlyALeadingSlashIsARoot) {
  EXPECT_EQ(PathRoot("/usr/lib", P), "/");
  EXPECT_EQ(PathRoot("C:\\x", P), "");
  EXPECT_EQ(PathRoot("\\\\server\\share", P), "");
  EXPECT_EQ(PathRoot("lib", P), "");
}

TEST(PosixPaths, NormalizeKeepsTheLeadingSlashAndWritesSlashes) {
  EXPECT_EQ(NormalizePath("/a/./b/../c", P), "/a/c");
  EXPECT_EQ(NormalizePath("a//b/", P), "a/b");
  EXPECT_EQ(NormalizePath("dir\\file.tvh", P), "dir/file.tvh");
  EXPECT_EQ(NormalizePath("/../x", P), "/x");
  EXPECT_EQ(NormalizePath("/", P), "/");
  EXPECT_EQ(NormalizePath("../lib/x", P), "../lib/x");
}

TEST(PosixPaths, ResolveAddsNoSeparatorToAnEmptyBase) {
  EXPECT_EQ(ResolvePath("", "x.tvh", P), "x.tvh");
  EXPECT_EQ(ResolvePath("", "./sub/x.tvh", P), "sub/x.tvh");
  EXPECT_EQ(ResolvePath("src/", "lib\\x.tvh", P), "src/lib/x.tvh");
  EXPECT_EQ(ResolvePath("src", "../x.tvh", P), "x.tvh");
  EXPECT_EQ(ResolvePath("/inc", "/abs/x.tvh", P), "/abs/x.tvh");
  EXPECT_EQ(ResolvePath("/opt/inc/", "x.tvh", P), "/opt/inc/x.tvh");
}

TEST(PosixPaths, RelativePathIsCaseSensitive) {
  EXPECT_EQ(RelativePath("/usr/lib/ferrox/", "/usr/include/tv/x.tvh", P),
            "../../include/tv/x.tvh");
  EXPECT_EQ(RelativePath("/a/b", "/a/b", P), "");
  EXPECT_EQ(RelativePath("/A/b", "/a/b/x", P), "../../a/b/x");
  EXPECT_EQ(RelativePath("/a", "inc/x", P), "inc/x");
  EXPECT_EQ(RelativePath("/a/", "/a/b/", P), "b/");
}

TEST(PosixPaths, TrailingSlashHelpers) {
  EXPECT_EQ(WithTrailingBackslash("", P), "");
  EXPECT_EQ(WithTrailingBackslash("a", P), "a/");
  EXPECT_EQ(WithTrailingBackslash("a\\", P), "a\\");
  EXPECT_EQ(WithoutTrailingBackslash("a/", P), "a");
}

} // namespace
