//===- preprocessor/macros.h - Macros and predefined symbols ----*- C++ -*-===//
//
// A macro is a named list of tokens without parameters. Every identifier of
// an ordinary line that names a macro is replaced by the macro's tokens, and
// the replacement is examined again, so macros may use other macros.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_PREPROCESSOR_MACROS_H
#define FERROX_PREPROCESSOR_MACROS_H

#include "source/token.h"

#include <cstdint>
#include <string>
#include <string_view>

/// One macro: its name as written and its body as encoded tokens.
class CMacro {
public:
  enum class Symbol { None, File, Line };

  CMacro(std::string_view name, std::string_view body, Symbol symbol = Symbol::None)
      : m_Name(name), m_Body(body), m_Symbol(symbol) {}

  const std::string &Name() const { return m_Name; }
  /// The body's tokens; __FILE__ and __LINE__ make theirs at each use.
  CTokenList Body() const { return CTokenList(m_Body); }
  bool Empty() const { return m_Body.empty(); }
  Symbol GetSymbol() const { return m_Symbol; }

  /// Set while the macro's replacement is being examined.
  bool m_Expanding = false;
  /// The macro's replacement fully expanded, kept so that another use
  /// copies it (see ExpandMacros), and the replacements it took.
  bool m_HasExpansion = false;
  std::string m_Expansion;
  std::uint64_t m_ExpansionUses = 0;

private:
  std::string m_Name;
  std::string m_Body;
  Symbol m_Symbol;
};

/// Macros created by "define", and replacements performed.
extern std::int32_t g_MacrosDefined;
extern std::int32_t g_MacrosUsed;

/// Adds __FILE__, __LINE__, __DATE__, __TIME__ and __VERSION__, reading the
/// clock once.
void DefinePredefinedMacros();
/// The macro named `name` in any letter case, or nullptr.
CMacro *FindMacro(std::string_view name);
/// Destroys every macro.
void ClearMacros();

/// The "define" directive, its keyword already taken: a name and a body.
void DefineMacro(CSourceLine &line);

/// Replaces every macro name in `line` by the macro's tokens, examining
/// each replacement again. Reports 801 for empty macros, 802 when a macro
/// comes back inside its own replacement, and 803 when a line grows beyond
/// kMaxExpandedLine bytes or the build's expansions beyond
/// kMaxExpandedGrowth; a line that reports 803 keeps its tokens as written.
void ExpandMacros(CSourceLine &line);

/// Bytes an expanded line may reach, far beyond any real program.
inline constexpr std::size_t kMaxExpandedLine = std::size_t{64} << 20;
/// Bytes that expansion may add to the lines of one build together, like
/// the bound on all sources of a build. Lines are kept until they are
/// assembled, so this bounds the memory they take and the time spent on
/// lines that grow too large; a real program that expands a table macro on
/// every line adds a few hundred megabytes.
inline constexpr std::uint64_t kMaxExpandedGrowth = std::uint64_t{2} << 30;

void ResetMacros();

#endif // FERROX_PREPROCESSOR_MACROS_H
