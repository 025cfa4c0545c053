//===- preprocessor/preprocessor.cpp - The preprocessing pass -------------===//

#include "preprocessor/preprocessor.h"

#include "driver/diagnostics.h"
#include "preprocessor/include_files.h"
#include "preprocessor/macros.h"
#include "source/lexer.h"
#include "source/token.h"
#include "util/platform.h"
#include "util/text.h"

#include <array>
#include <string>
#include <unordered_map>

namespace {


/// A file whose lines all lie in one conditional region, opened by its
/// first line and closed by its last with no "else" between: the usual
/// include guard.
struct CGuard {
  bool empty = false; ///< The file stored no line at all.
  bool guarded = false;
  bool ifndef = false; ///< The region is kept when `name` is not defined.
  std::string name;
};
/// Everything the preprocessor keeps during a build.
struct CPreprocessorState {
  /// Inclusions in this build that added lines to the program.
  std::int32_t includedFiles = 0;
  /// The guard of every file included so far, by path.
  std::unordered_map<std::string, CGuard> guards;
};
CPreprocessorState g_State;

enum class Directive { None, IfDef, IfNDef, Else, EndIf, Error, Include, Define };

/// The directives: the first word of a line, in any letter case. Only the
/// conditionals count inside a skipped region.
struct CDirectiveName {
  std::string_view name;
  Directive directive;
  bool whileSkipping;
};
constexpr CDirectiveName kDirectives[] = {
    {"ifdef", Directive::IfDef, true},   {"ifndef", Directive::IfNDef, true},
    {"else", Directive::Else, true},     {"endif", Directive::EndIf, true},
    {"error", Directive::Error, false},  {"include", Directive::Include, false},
    {"define", Directive::Define, false},
};

constexpr auto kDirectiveTexts = [] {
  std::array<std::string_view, std::size(kDirectives)> texts{};
  for (std::size_t i = 0; i < texts.size(); ++i)
    texts[i] = kDirectives[i].name;
  return texts;
}();

/// A word's shape: its length and its first and last letters in lower case
/// (the directive names are ASCII), folded into 6 bits.
constexpr unsigned Shape(std::size_t length, char first, char last) {
  auto lower = [](char c) {
    return static_cast<unsigned>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) & 0xFF;
  };
  return static_cast<unsigned>(length * 7 + lower(first) * 3 + lower(last)) & 63;
}

/// A bit for the shape of every directive name: nearly every first word of
/// a line is ruled out by its shape alone.
constexpr std::uint64_t DirectiveShapes() {
  std::uint64_t shapes = 0;
  for (const CDirectiveName &entry : kDirectives)
    shapes |= std::uint64_t{1} << Shape(entry.name.size(), entry.name.front(),
                                        entry.name.back());
  return shapes;
}
constexpr std::uint64_t kDirectiveShapes = DirectiveShapes();

/// The directive named by the line's first token, which is taken; the
/// line's cursor is left after it (anywhere when there is none).
Directive ReadDirective(CSourceLine &line, bool skipping) {
  line.Rewind();
  if (line.AtEnd() || line.CurrentKind() != TOKEN_IDENTIFIER)
    return Directive::None;
  std::string_view word = line.Current().text;
  if (((kDirectiveShapes >> Shape(word.size(), word.front(), word.back())) & 1) == 0)
    return Directive::None;
  for (const CDirectiveName &entry : kDirectives) {
    if ((entry.whileSkipping || !skipping) && EqualsNoCase(word, entry.name)) {
      line.Advance();
      return entry.directive;
    }
  }
  return Directive::None;
}

// conditional: ("ifdef" | "ifndef") identifier | "else" | "endif"
void HandleConditional(CSourceLine &line, Directive directive,
                       std::int32_t &counter) {
  switch (directive) {
  case Directive::IfDef:
  case Directive::IfNDef: {
    std::string_view name;
    if (!TakeToken(line, TOKEN_IDENTIFIER, &name)) {
      Expected(501, line);
      break;
    }
    ExpectEndOfLine(line);
    if (counter > 0) {
      ++counter;
      break;
    }
    bool defined = FindMacro(name) != nullptr;
    if (defined != (directive == Directive::IfDef))
      counter = 1;
    break;
  }
  case Directive::Else:
    ExpectEndOfLine(line);
    if (counter == 0)
      counter = 1;
    else if (counter == 1)
      counter = 0;
    break;
  case Directive::EndIf:
    ExpectEndOfLine(line);
    if (counter > 0)
      --counter;
    break;
  default:
    break;
  }
}

// error-directive: "error" string
void HandleError(CSourceLine &line) {
  std::string_view message;
  if (!TakeToken(line, TOKEN_STRING, &message)) {
    Expected(500, line);
    return;
  }
  ExpectEndOfLine(line);
  ReportErrorAt(600, message, line.FileId(), line.GetLineNumber());
}

/// The guard of the lines from the cursor up to `after` (an included file
/// just spliced in); the cursor ends where it was.
CGuard ReadGuard(const CSourceLine *after) {
  CGuard guard;
  CLineList::Position start = g_SourceLines.GetCursor();
  std::int32_t depth = 0;
  bool closed = false;
  for (; !g_SourceLines.AtEnd() && g_SourceLines.Current() != after;
       g_SourceLines.Advance()) {
    CSourceLine &line = *g_SourceLines.Current();
    Directive directive = ReadDirective(line, true);
    if (closed) {
      // Lines after the region that was to hold the whole file.
      depth = -1;
      line.Rewind();
      break;
    }
    if (depth == 0) {
      std::string_view name;
      if ((directive != Directive::IfDef && directive != Directive::IfNDef) ||
          !TakeToken(line, TOKEN_IDENTIFIER, &name) || !line.AtEnd()) {
        line.Rewind();
        break;
      }
      guard.ifndef = directive == Directive::IfNDef;
      guard.name = name;
      depth = 1;
    } else if (directive == Directive::IfDef || directive == Directive::IfNDef) {
      ++depth;
    } else if (directive == Directive::Else && depth == 1) {
      line.Rewind();
      break;
    } else if (directive == Directive::EndIf && --depth == 0) {
      closed = true;
    }
    line.Rewind();
  }
  guard.guarded = closed && depth == 0;
  g_SourceLines.SetCursor(start);
  return guard;
}

/// The include directive: removes its line and splices the file's lines in
/// its place, leaving the cursor on the first of them.
// include-directive: "include" string
void HandleInclude(CSourceLine &line) {
  std::string_view name;
  if (!TakeToken(line, TOKEN_STRING, &name)) {
    Expected(500, line);
    g_SourceLines.RemoveCurrent();
    return;
  }
  ExpectEndOfLine(line);
  std::uint32_t file = line.FileId();
  std::int32_t lineNumber = line.GetLineNumber();
  std::int32_t depth = line.IncludeDepth() + 1;
  g_SourceLines.RemoveCurrent();

  // A file that includes itself without a guard would be spliced in again
  // and again.
  if (depth > kMaxIncludeDepth) {
    ReportErrorAt(1002, "\"" + std::string(name) + "\" include nesting too deep",
                  file, lineNumber);
    return;
  }
  const std::string &path = FindIncludeFile(name);
  if (path.empty()) {
    ReportErrorAt(1001, "\"" + std::string(name) + "\" file not found", file,
                  lineNumber);
    return;
  }
  // A guarded file included again adds no line the guard keeps, so it does
  // not count towards the bound: a program of many modules that each
  // include the same headers builds at any size.
  auto known = g_State.guards.find(path);
  bool addsNothing =
      known != g_State.guards.end() &&
      (known->second.empty ||
       (known->second.guarded &&
        (FindMacro(known->second.name) != nullptr) == known->second.ifndef));
  if (!addsNothing) {
    if (g_State.includedFiles >= kMaxIncludedFiles) {
      ReportErrorAt(1003, "\"" + std::string(name) + "\" too many included files",
                    file, lineNumber);
      return;
    }
    ++g_State.includedFiles;
  }
  const CSourceLine *after = g_SourceLines.AtEnd() ? nullptr : g_SourceLines.Current();
  CLineList::Position first = CLineList::kNoPosition;
  bool loaded = LoadSourceFile(path, &first, file, lineNumber, depth);
  if (first == CLineList::kNoPosition) {
    if (loaded && known == g_State.guards.end()) {
      CGuard nothing;
      nothing.empty = true;
      g_State.guards.emplace(path, nothing);
      --g_State.includedFiles;
    }
    return;
  }
  // Lines stored before a lexing failure are preprocessed like the others.
  g_SourceLines.SetCursor(first);
  if (known == g_State.guards.end())
    g_State.guards.emplace(path, ReadGuard(after));
}

} // namespace

bool PreprocessLine(std::int32_t &counter) {
  CSourceLine &line = *g_SourceLines.Current();
  if (line.Empty()) {
    g_SourceLines.RemoveCurrent();
    return true;
  }
  if (counter > 0) {
    Directive directive = ReadDirective(line, true);
    HandleConditional(line, directive, counter);
    g_SourceLines.RemoveCurrent();
    return true;
  }
  if (counter < 0) {
    ReportErrorAt(700,
                  "Preprocessor internal error: " + std::to_string(counter) +
                      " conditional compilation counter cannot be negative",
                  line.FileId(), line.GetLineNumber());
    return false;
  }
  Directive directive = ReadDirective(line, false);
  switch (directive) {
  case Directive::None:
    ExpandMacros(line);
    g_SourceLines.Advance();
    return true;
  case Directive::Error:
    HandleError(line);
    break;
  case Directive::Include:
    HandleInclude(line);
    return true;
  case Directive::Define:
    DefineMacro(line);
    break;
  case Directive::IfDef:
  case Directive::IfNDef:
  case Directive::Else:
  case Directive::EndIf:
    HandleConditional(line, directive, counter);
    break;
  }
  g_SourceLines.RemoveCurrent();
  return true;
}

bool Preprocess() {
  DefinePredefinedMacros();
  std::int32_t counter = 0;
  g_SourceLines.Rewind();
  bool result = true;
  while (!g_SourceLines.AtEnd()) {
    if (!PreprocessLine(counter)) {
      result = false;
      break;
    }
  }
  ClearMacros();
  return result;
}

void ResetPreprocessor() { g_State = CPreprocessorState(); }

std::span<const std::string_view> DirectiveNames() { return kDirectiveTexts; }
