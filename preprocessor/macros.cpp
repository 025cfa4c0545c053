//===- preprocessor/macros.cpp - Macros and predefined symbols ------------===//

#include "preprocessor/macros.h"

#include "driver/build.h"
#include "driver/diagnostics.h"
#include "util/compiler.h"
#include "util/platform.h"
#include "util/string_map.h"

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <iterator>
#include <memory>
#include <vector>

std::int32_t g_MacrosDefined = 0;
std::int32_t g_MacrosUsed = 0;

namespace {

/// Macros by lower-cased name.
CStringMap<std::unique_ptr<CMacro>> g_Macros;
/// Names of macros by length, first and last letter: most identifiers are
/// ruled out without lower-casing or hashing them.
std::bitset<4096> g_NameShapes;

std::size_t NameShape(std::size_t length, unsigned char first, unsigned char last) {
  return (length * 977 + first * 31 + last) & 4095;
}
/// IdentifierMask of the first letters of all macro names.
std::uint32_t g_FirstLetters = 0;
/// By lower-cased first byte, a bit for the length of every macro name that
/// starts with it (names of 63 bytes or more share bit 63): one load rules
/// out most names whose first letter some macro shares.
std::uint64_t g_LengthsByFirst[256] = {};
std::string g_LowerName;

std::uint64_t LengthBit(std::size_t length) {
  return std::uint64_t{1} << (length < 63 ? length : 63);
}

/// Macros whose full expansion is kept, and the bytes kept. A use of such a
/// macro copies the expansion instead of examining its tokens again, so a
/// chain of macros that each name the one before twice reaches the size
/// limits in linear, not exponential, time. Only expansions that reported
/// nothing and used neither __FILE__ nor __LINE__ are kept (they are the
/// same wherever the macro is used), and only sizable ones, in bounded
/// memory. A new macro may change any expansion, so "define" drops them.
std::vector<CMacro *> g_ExpandedMacros;
std::size_t g_KeptBytes = 0;
constexpr std::size_t kMinKeptExpansion = 1 << 10;
constexpr std::size_t kMaxKeptExpansion = 1 << 20;
constexpr std::size_t kMaxKeptBytes = std::size_t{64} << 20;

void DropExpansions() {
  for (CMacro *macro : g_ExpandedMacros) {
    macro->m_HasExpansion = false;
    macro->m_Expansion = std::string();
  }
  g_ExpandedMacros.clear();
  g_KeptBytes = 0;
}

void AddMacro(std::unique_ptr<CMacro> macro) {
  DropExpansions();
  std::string key;
  for (char c : macro->Name())
    key += platform::LowerChar(c);
  g_NameShapes.set(NameShape(key.size(), static_cast<unsigned char>(key[0]),
                             static_cast<unsigned char>(key.back())));
  g_FirstLetters |= IdentifierMask(key[0]);
  g_LengthsByFirst[static_cast<unsigned char>(key[0])] |= LengthBit(key.size());
  g_Macros.Insert(key, std::move(macro));
}

std::string EncodeOne(TokenKind kind, std::string_view text) {
  CTokenWriter writer;
  writer.Append(kind, text);
  return std::string(writer.Bytes());
}

/// Replacements performed since the process started; unlike
/// g_MacrosUsed it never stops growing, so differences give the
/// replacements inside one expansion.
std::uint64_t g_Replacements = 0;
/// Expansion events that make the enclosing expansions depend on where they
/// happen: an 801 error, or __FILE__ or __LINE__.
std::uint64_t g_LocalEvents = 0;

void CountUses(std::uint64_t count) {
  g_Replacements += count;
  std::uint64_t total = static_cast<std::uint64_t>(g_MacrosUsed) + count;
  g_MacrosUsed = total > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(total);
}

/// One replacement being examined and the macro it came from, with where
/// its expansion starts in g_Expanded and the counters when it began.
struct Frame {
  CTokenList tokens;
  CMacro *macro;
  std::size_t start = 0;
  std::uint64_t replacements = 0;
  std::uint64_t localEvents = 0;
};

CTokenWriter g_Expanded;
std::vector<Frame> g_Frames;
/// Bodies of __FILE__ and __LINE__ made for the uses in one line.
std::vector<std::unique_ptr<std::string>> g_SymbolBodies;
/// Bytes added to lines by expansion in this build (see kMaxExpandedGrowth).
std::uint64_t g_ExpandedGrowth = 0;

/// Keeps the expansion of the finished replacement `frame` if it can be
/// used again anywhere.
void KeepExpansion(const Frame &frame) {
  CMacro *macro = frame.macro;
  if (macro->GetSymbol() != CMacro::Symbol::None ||
      g_LocalEvents != frame.localEvents)
    return;
  std::string_view expansion = g_Expanded.Bytes().substr(frame.start);
  if (expansion.size() < kMinKeptExpansion ||
      expansion.size() > kMaxKeptExpansion ||
      g_KeptBytes + expansion.size() > kMaxKeptBytes)
    return;
  macro->m_HasExpansion = true;
  macro->m_Expansion.assign(expansion);
  macro->m_ExpansionUses = g_Replacements - frame.replacements;
  g_ExpandedMacros.push_back(macro);
  g_KeptBytes += expansion.size();
}

void EndExpansion() {
  for (Frame &frame : g_Frames)
    if (frame.macro != nullptr)
      frame.macro->m_Expanding = false;
  g_Frames.clear();
  g_SymbolBodies.clear();
}

/// Appends what is left of every open replacement, innermost first: the
/// line as it stands when expansion stops.
void AppendRemainder() {
  for (std::size_t i = g_Frames.size(); i > 0; --i) {
    const CTokenList &tokens = g_Frames[i - 1].tokens;
    g_Expanded.AppendEncoded(tokens.EncodedFrom(tokens.GetCursor()));
  }
}

std::string_view SymbolBody(const CMacro &macro, const CSourceLine &line) {
  std::string encoded =
      macro.GetSymbol() == CMacro::Symbol::File
          ? EncodeOne(TOKEN_STRING, line.FileName())
          : EncodeOne(TOKEN_NUMBER, std::to_string(line.GetLineNumber()));
  g_SymbolBodies.push_back(std::make_unique<std::string>(std::move(encoded)));
  return *g_SymbolBodies.back();
}

} // namespace

void DefinePredefinedMacros() {
  platform::UtcTime now = platform::CurrentUtcTime();
  char date[32];
  char time[32];
  std::snprintf(date, sizeof date, "%u-%02u-%02u", now.year, now.month, now.day);
  std::snprintf(time, sizeof time, "%02u:%02u:%02u", now.hour, now.minute,
                now.second);
  AddMacro(std::make_unique<CMacro>("__FILE__", EncodeOne(TOKEN_STRING, "ERROR"),
                                    CMacro::Symbol::File));
  AddMacro(std::make_unique<CMacro>("__LINE__", EncodeOne(TOKEN_NUMBER, "-1"),
                                    CMacro::Symbol::Line));
  AddMacro(std::make_unique<CMacro>("__DATE__", EncodeOne(TOKEN_STRING, date)));
  AddMacro(std::make_unique<CMacro>("__TIME__", EncodeOne(TOKEN_STRING, time)));
  AddMacro(
      std::make_unique<CMacro>("__VERSION__", EncodeOne(TOKEN_STRING, VERSION)));
}

namespace {

/// False for most names that are not macros, without a call.
FERROX_ALWAYS_INLINE bool MayBeMacro(std::string_view name) {
  if (name.empty())
    return false;
  const unsigned char *lower = platform::LowerCaseTable();
  unsigned char first = lower[static_cast<unsigned char>(name[0])];
  return (g_LengthsByFirst[first] & LengthBit(name.size())) != 0 &&
         g_NameShapes.test(NameShape(name.size(), first,
                                     lower[static_cast<unsigned char>(name.back())]));
}

/// The position of the first token at or after `at` in `encoded` that may
/// name a macro, or that is long (kLongLength: left to the decoder); the
/// size of `encoded` when there is none. The token headers are read straight
/// from the encoding: symbols are one byte, a short token's header holds its
/// length.
FERROX_ALWAYS_INLINE std::size_t NextCandidate(std::string_view encoded,
                                               std::size_t at) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(encoded.data());
  while (at < encoded.size()) {
    std::uint8_t header = bytes[at];
    std::size_t length = header & 0x3F;
    if (header >> 6 == TOKEN_SYMBOL) {
      ++at;
      continue;
    }
    if (length == tokencode::kLongLength)
      return at;
    if (header >> 6 == TOKEN_IDENTIFIER &&
        MayBeMacro(std::string_view(encoded.data() + at + 1, length)))
      return at;
    at += 1 + length;
  }
  return encoded.size();
}

/// FindMacro for a name that MayBeMacro let through.
CMacro *LookUpMacro(std::string_view name) {
  const unsigned char *lower = platform::LowerCaseTable();
  if (g_LowerName.size() < name.size())
    g_LowerName.resize(name.size());
  char *out = g_LowerName.data();
  for (std::size_t i = 0; i < name.size(); ++i)
    out[i] = static_cast<char>(lower[static_cast<unsigned char>(name[i])]);
  std::unique_ptr<CMacro> *found = g_Macros.Find(std::string_view(out, name.size()));
  return found != nullptr ? found->get() : nullptr;
}

} // namespace

CMacro *FindMacro(std::string_view name) {
  return MayBeMacro(name) ? LookUpMacro(name) : nullptr;
}

void ClearMacros() {
  DropExpansions();
  g_Macros.Clear();
  g_NameShapes.reset();
  g_FirstLetters = 0;
  std::fill(std::begin(g_LengthsByFirst), std::end(g_LengthsByFirst), 0);
}

void DefineMacro(CSourceLine &line) {
  std::string_view name;
  if (!TakeToken(line, TOKEN_IDENTIFIER, &name)) {
    Expected(501, line);
    return;
  }
  if (FindMacro(name) != nullptr) {
    ReportErrorAt(800, "\"" + std::string(name) + "\" macro already exists",
                  line.FileName(), line.GetLineNumber());
    return;
  }
  AddMacro(std::make_unique<CMacro>(name, line.EncodedFrom(line.GetCursor())));
  if (g_MacrosDefined < INT32_MAX)
    ++g_MacrosDefined;
}

void ExpandMacros(CSourceLine &line) {
  // Most lines hold no macro: rule them out by the first letters of their
  // identifiers, then find the first macro before copying anything.
  if ((line.m_Identifiers & g_FirstLetters) == 0)
    return;
  CTokenList::Cursor first = 0;
  // The macro found by the scan: the first token examined below is its
  // name, which is not looked up again.
  CMacro *found = nullptr;
  // A long token (rare) sends the rest of the line through the decoder.
  std::string_view encoded = line.Encoded();
  std::size_t at = 0;
  while ((at = NextCandidate(encoded, at)) < encoded.size()) {
    std::size_t length = static_cast<std::uint8_t>(encoded[at]) & 0x3F;
    if (length == tokencode::kLongLength)
      break;
    found = LookUpMacro(encoded.substr(at + 1, length));
    if (found != nullptr) {
      first = static_cast<CTokenList::Cursor>(at);
      break;
    }
    at += 1 + length;
  }
  if (found == nullptr && at < encoded.size()) {
    line.SetCursor(static_cast<CTokenList::Cursor>(at));
    while (!line.AtEnd()) {
      first = line.GetCursor();
      CToken token = line.Next();
      if (token.kind == TOKEN_IDENTIFIER && MayBeMacro(token.text)) {
        found = LookUpMacro(token.text);
        if (found != nullptr)
          break;
      }
    }
  }
  if (found == nullptr) {
    line.Rewind();
    return;
  }
  line.SetCursor(first);

  std::size_t written = line.Encoded().size();
  auto growth = [&] {
    std::size_t size = g_Expanded.Bytes().size();
    return size > written ? static_cast<std::uint64_t>(size - written) : 0;
  };
  g_Expanded.Clear();
  g_Expanded.AppendEncoded(line.Encoded().substr(0, line.GetCursor()));
  CTokenList rest(line.EncodedFrom(line.GetCursor()));
  g_Frames.push_back({rest, nullptr});
  // The macro replaced last in the line itself, named by error 803.
  const CMacro *outer = nullptr;
  bool tooLarge = false;

  while (!g_Frames.empty()) {
    // A finished replacement is dropped only when its last token has been
    // examined, so the frames are exactly the macros being expanded.
    Frame &top = g_Frames.back();
    if (top.tokens.AtEnd()) {
      if (top.macro != nullptr) {
        top.macro->m_Expanding = false;
        KeepExpansion(top);
      }
      g_Frames.pop_back();
      continue;
    }
    CTokenList::Cursor at = top.tokens.GetCursor();
    CToken token = top.tokens.Current();
    top.tokens.Advance();
    CMacro *macro = found;
    found = nullptr;
    if (macro == nullptr && token.kind == TOKEN_IDENTIFIER && MayBeMacro(token.text))
      macro = LookUpMacro(token.text);
    if (macro != nullptr && macro->Empty()) {
      ReportErrorAt(801, "\"" + macro->Name() + "\" cannot expand empty macro",
                    line.FileName(), line.GetLineNumber());
      ++g_LocalEvents;
      macro = nullptr;
    }
    if (macro == nullptr) {
      // The tokens up to the next one that may name a macro are copied in
      // one piece when they keep the line within the limits checked below;
      // otherwise token by token, so the limit is found where it is passed.
      std::string_view encoded = top.tokens.Encoded();
      std::size_t end = NextCandidate(encoded, top.tokens.GetCursor());
      std::size_t size = g_Expanded.Bytes().size() + (end - at);
      std::uint64_t grown = size > written ? size - written : 0;
      if (size > kMaxExpandedLine || g_ExpandedGrowth + grown > kMaxExpandedGrowth)
        end = top.tokens.GetCursor();
      else
        top.tokens.SetCursor(static_cast<CTokenList::Cursor>(end));
      g_Expanded.AppendEncoded(encoded.substr(at, end - at));
    } else if (macro->m_Expanding) {
      // Name the macro whose replacement led back to one being expanded.
      const CMacro *closing = top.macro != nullptr ? top.macro : macro;
      ReportErrorAt(802, "\"" + closing->Name() + "\" recursive macro expansion",
                    line.FileName(), line.GetLineNumber());
      top.tokens.SetCursor(at);
      AppendRemainder();
      break;
    } else {
      if (g_Frames.size() == 1)
        outer = macro;
      if (macro->m_HasExpansion) {
        CountUses(1 + macro->m_ExpansionUses);
        g_Expanded.AppendEncoded(macro->m_Expansion);
      } else {
        CountUses(1);
        std::string_view body = macro->Body().Encoded();
        if (macro->GetSymbol() != CMacro::Symbol::None) {
          body = SymbolBody(*macro, line);
          ++g_LocalEvents;
        }
        macro->m_Expanding = true;
        g_Frames.push_back({CTokenList(body), macro, g_Expanded.Bytes().size(),
                            g_Replacements, g_LocalEvents});
      }
    }
    if (g_Expanded.Bytes().size() > kMaxExpandedLine ||
        g_ExpandedGrowth + growth() > kMaxExpandedGrowth) {
      // Name the macro the line itself used, whose expansion grew too large.
      std::string name =
          outer != nullptr ? outer->Name() : std::string(token.text);
      ReportErrorAt(803, "\"" + name + "\" macro expansion too large",
                    line.FileName(), line.GetLineNumber());
      tooLarge = true;
      break;
    }
  }
  EndExpansion();
  // The work done counts even for a line that is given up, but never past
  // the bound, so that lines that add nothing still expand.
  g_ExpandedGrowth = std::min(g_ExpandedGrowth + growth(), kMaxExpandedGrowth);
  if (!tooLarge)
    line.SetTokens(StoreTokens(g_Expanded.Bytes()));
  else
    line.Rewind();
}

void ResetMacros() {
  EndExpansion();
  ClearMacros();
  g_MacrosDefined = 0;
  g_MacrosUsed = 0;
  g_ExpandedGrowth = 0;
}
