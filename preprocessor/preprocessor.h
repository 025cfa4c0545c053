//===- preprocessor/preprocessor.h - The preprocessing pass -----*- C++ -*-===//
//
// One pass over g_SourceLines before assembly. Directive lines (ifdef,
// ifndef, else, endif, error, include, define) are handled and removed,
// lines of skipped conditional regions are removed, included files are
// spliced in where their directive stood, and macros are expanded in every
// other line.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_PREPROCESSOR_PREPROCESSOR_H
#define FERROX_PREPROCESSOR_PREPROCESSOR_H

#include <cstdint>
#include <span>
#include <string_view>

/// Preprocesses the whole line list; false on an internal error.
bool Preprocess();

/// Handles the line under the cursor and moves the cursor to the next line
/// to handle. `counter` is the depth of skipped conditional regions.
bool PreprocessLine(std::int32_t &counter);

/// Includes nested deeper than this report error 1002.
inline constexpr std::int32_t kMaxIncludeDepth = 100;
/// Inclusions in one build beyond this report error 1003. The depth bound
/// alone does not bound the work: a file that includes itself twice would
/// be loaded 2^100 times. An inclusion of a guarded file whose guard skips
/// it whole adds nothing and is not counted.
inline constexpr std::int32_t kMaxIncludedFiles = 10000;

/// The directive names, in lower case ("ifdef", "include", ...).
std::span<const std::string_view> DirectiveNames();

/// Sets the count of included files back to 0.
void ResetPreprocessor();

#endif // FERROX_PREPROCESSOR_PREPROCESSOR_H
