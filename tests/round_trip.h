//===- tests/round_trip.h - Images through ferrox-dis and back --*- C++ -*-===//
#ifndef FERROX_TESTS_ROUND_TRIP_H
#define FERROX_TESTS_ROUND_TRIP_H

#include "tests/harness.h"

#include "assembler/values.h"
#include "instructions/instruction_set.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <random>

class RoundTrip : public Ferrox {
protected:
  /// Disassembles the image `image` of the working folder with `disArgs`
  /// (such as {"--map", "prog.map"}), assembles the source again with
  /// `switches` (those the image was made with) and expects the very same
  /// image. Returns the source.
  std::string ExpectSameImage(const std::string &image,
                              const std::vector<std::string> &disArgs = {},
                              const std::vector<std::string> &switches = {}) {
    std::vector<std::string> args = {image, "-o", "dis.tvs"};
    args.insert(args.end(), disArgs.begin(), disArgs.end());
    args.insert(args.end(), switches.begin(), switches.end());
    RunResult dis = RunProgram("ferrox-dis", args);
    EXPECT_EQ(dis.status, 0) << dis.errors;
    m_DisErrors = dis.errors;
    std::vector<std::string> build = {"dis.tvs", "again.img"};
    build.insert(build.end(), switches.begin(), switches.end());
    RunResult again = Run(build);
    std::string source = Read("dis.tvs");
    EXPECT_EQ(again.status, 0) << again.output << source;
    EXPECT_EQ(ShowHex(Read("again.img")), ShowHex(Read(image))) << source;
    return source;
  }

  /// What the last ferrox-dis of ExpectSameImage wrote to standard error.
  const std::string &LastDisErrors() const { return m_DisErrors; }

private:
  std::string m_DisErrors;
};

/// The four ways to build an image: with and without header and boot field.
inline const std::vector<std::string> kSwitches[] = {
    {}, {"-nodisk"}, {"-nobootinfo"}, {"-nodisk", "-nobootinfo"}};

/// Random instruction sets and mode-1 values as source text, for the
/// random programs of the round trips.
class RandomText {
public:
  explicit RandomText(std::uint32_t seed) : m_Random(seed) {}

  std::uint32_t Pick(std::uint32_t n) { return static_cast<std::uint32_t>(m_Random() % n); }
  std::uint64_t Bits() { return std::uint64_t{m_Random()} << 32 | m_Random(); }

  /// A random instruction set of `count` definitions named op0, op1, ...:
  /// zero to three parameters of every kind.
  std::vector<CInstruction> InstructionSet(std::size_t count) {
    std::vector<CInstruction> set;
    for (std::size_t i = 0; i < count; ++i) {
      CInstruction definition;
      definition.name = "op" + std::to_string(i);
      definition.topBits = static_cast<std::uint8_t>(Pick(8));
      definition.opcode = static_cast<std::uint8_t>(Pick(256));
      definition.paramCount = static_cast<std::int32_t>(Pick(4));
      for (std::int32_t p = 0; p < definition.paramCount; ++p)
        definition.paramKinds[static_cast<std::size_t>(p)] =
            static_cast<std::int32_t>(1 + Pick(KIND_X));
      set.push_back(definition);
    }
    return set;
  }

  /// A string literal of up to `longest` random bytes; without zero bytes
  /// when `noZero`.
  std::string String(std::uint32_t longest, bool noZero) {
    std::string text = "\"";
    for (std::uint32_t n = Pick(longest + 1); n > 0; --n) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", noZero ? 1 + Pick(255) : Pick(256));
      text += escape;
    }
    return text + "\"";
  }

  /// A number of `kind` (an integer or floating-point kind) as text.
  std::string Number(std::int32_t kind) {
    if (KindInfo(kind).form == CValueKind::Float) {
      static const char *const kSpecial[] = {"1.5", "-0.0", "1e999", "-1e999", "1e-45",
                                             "0.1", "3.4028235e38", "-7"};
      if (Pick(2) == 0)
        return kSpecial[Pick(8)];
      double value = std::bit_cast<double>(Bits());
      if (std::isnan(value))
        value = 2.5;
      char text[64];
      std::snprintf(text, sizeof text, "%.17g", value);
      return text;
    }
    if (Pick(10) == 0)
      return "'" + std::string(1, static_cast<char>('A' + Pick(26))) + "'";
    return std::to_string(static_cast<std::int64_t>(Bits()) >> (8 * Pick(8)));
  }

  /// A mode-1 value of `kind` without its "&": a number, or a string that
  /// an instruction parameter reads back whole (no zero byte in a "0s").
  std::string Value(std::int32_t kind) {
    const CValueKind &info = KindInfo(kind);
    return info.form == CValueKind::String ? String(5, info.terminated) : Number(kind);
  }

private:
  std::mt19937 m_Random;
};

/// `set` as the text of an instruction definition file.
inline std::string DefinitionText(const std::vector<CInstruction> &set) {
  std::string text;
  for (const CInstruction &definition : set) {
    text += definition.name + " " + std::to_string(definition.topBits) + " " +
            std::to_string(definition.opcode) + " [";
    for (std::int32_t p = 0; p < definition.paramCount; ++p)
      text += std::string(p == 0 ? "" : " ") +
              std::string(KindInfo(definition.paramKinds[static_cast<std::size_t>(p)]).name);
    text += "];\n";
  }
  return text;
}

#endif // FERROX_TESTS_ROUND_TRIP_H
