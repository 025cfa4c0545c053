//===- tests/round_trip_test.cpp - Random programs through ferrox-dis -----===//
//
// Programs made only of instructions, over the shipped instruction set and
// over random ones with up to three parameters of every kind in every mode,
// are assembled, disassembled without a map and assembled again: the two
// images must be identical.
//
//===----------------------------------------------------------------------===//

#include "tests/round_trip.h"

#include "assembler/values.h"
#include "instructions/instruction_file.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

class RandomProgram {
public:
  explicit RandomProgram(std::uint32_t seed) : m_Random(seed) {}

  std::uint32_t Pick(std::uint32_t n) { return static_cast<std::uint32_t>(m_Random() % n); }

  /// A random instruction set of `count` definitions.
  std::vector<CInstruction> InstructionSet(std::size_t count) {
    std::vector<CInstruction> set;
    for (std::size_t i = 0; i < count; ++i) {
      CInstruction definition;
      definition.name = "op" + std::to_string(i);
      definition.topBits = static_cast<std::uint8_t>(Pick(8));
      definition.opcode = static_cast<std::uint8_t>(Pick(256));
      definition.paramCount = static_cast<std::int32_t>(Pick(4));
      for (std::int32_t p = 0; p < definition.paramCount; ++p)
        definition.paramKinds[static_cast<std::size_t>(p)] = static_cast<std::int32_t>(1 + Pick(KIND_X));
      set.push_back(definition);
    }
    return set;
  }

  /// Up to `count` instructions of `set`, with labels they point at.
  std::string Source(const std::vector<CInstruction> &set, std::size_t count) {
    std::string source;
    std::size_t labels = count / 3 + 1;
    std::vector<std::size_t> labelAt;
    for (std::size_t l = 0; l < labels; ++l)
      labelAt.push_back(Pick(static_cast<std::uint32_t>(count + 1)));
    switch (Pick(6)) {
    case 0: source += "bootnone\n"; break;
    case 1: source += "bootall\n"; break;
    case 2: source += "boot &" + std::to_string(m_Random()) + "\n"; break;
    default: break;
    }
    std::size_t bootEnd = Pick(6) == 0 ? Pick(static_cast<std::uint32_t>(count + 1)) : count + 1;
    for (std::size_t i = 0; i <= count; ++i) {
      for (std::size_t l = 0; l < labels; ++l)
        if (labelAt[l] == i)
          source += "lbl" + std::to_string(l) + ":\n";
      if (i == bootEnd && source.find("boot") == std::string::npos)
        source += "bootend\n";
      if (i == count)
        break;
      const CInstruction &definition = set[Pick(static_cast<std::uint32_t>(set.size()))];
      source += definition.name;
      for (std::int32_t p = 0; p < definition.paramCount; ++p) {
        source += p == 0 ? " " : ", ";
        if (Pick(8) == 0)
          source += "p" + std::to_string(m_Param++) + ": ";
        source += Parameter(definition.paramKinds[static_cast<std::size_t>(p)], labels);
      }
      source += "\n";
    }
    return source;
  }

private:
  std::string Parameter(std::int32_t kind, std::size_t labels) {
    std::uint32_t mode = kind == KIND_X ? 2 + Pick(2) : 1 + Pick(3);
    std::string label = "lbl" + std::to_string(Pick(static_cast<std::uint32_t>(labels)));
    if (mode != 1)
      return (mode == 2 ? "^" : "*") + (Pick(3) != 0 ? label : std::to_string(Pick(200)));
    const CValueKind &info = KindInfo(kind);
    if (info.form == CValueKind::String) {
      std::string text = "&\"";
      for (std::uint32_t n = Pick(6); n > 0; --n) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", info.terminated ? 1 + Pick(255) : Pick(256));
        text += escape;
      }
      return text + "\"";
    }
    if (info.form == CValueKind::Float) {
      static const char *const kSpecial[] = {"1.5", "-0.0", "1e999", "-1e999", "1e-45",
                                             "0.1", "3.4028235e38", "-7"};
      if (Pick(2) == 0)
        return std::string("&") + kSpecial[Pick(8)];
      double value = std::bit_cast<double>(std::uint64_t{m_Random()} << 32 | m_Random());
      if (std::isnan(value))
        value = 2.5;
      char text[64];
      std::snprintf(text, sizeof text, "&%.17g", value);
      return text;
    }
    if (kind == KIND_4I && Pick(4) == 0)
      return "&" + label;
    std::int64_t value = static_cast<std::int64_t>(std::uint64_t{m_Random()} << 32 | m_Random());
    return "&" + std::to_string(value >> (8 * Pick(8)));
  }

  std::mt19937 m_Random;
  std::size_t m_Param = 0;
};

const std::vector<std::string> kSwitches[] = {
    {}, {"-nodisk"}, {"-nobootinfo"}, {"-nodisk", "-nobootinfo"}};

std::string DefinitionText(const std::vector<CInstruction> &set) {
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

class RandomRoundTrip : public RoundTrip {
protected:
  /// Assembles `source` with random switches and checks the round trip.
  void Check(RandomProgram &random, const std::string &source) {
    const std::vector<std::string> &switches = kSwitches[random.Pick(4)];
    Write("prog.tvs", source);
    std::vector<std::string> args = {"prog.tvs", "prog.img"};
    args.insert(args.end(), switches.begin(), switches.end());
    RunResult built = Run(args);
    ASSERT_EQ(built.status, 0) << source << built.output;
    ExpectSameImage("prog.img", {}, switches);
  }
};

TEST_F(RandomRoundTrip, ProgramsOverTheShippedInstructionSet) {
  InstallShippedData();
  std::vector<CInstruction> set =
      LoadInstructionFile(std::string(FERROX_SOURCE_DIR) + "/data/Instructions.okl").Instructions();
  ASSERT_GT(set.size(), 20u);
  RandomProgram random(1);
  for (int program = 0; program < 120 && !HasFatalFailure(); ++program) {
    SCOPED_TRACE("program " + std::to_string(program));
    Check(random, random.Source(set, 1 + random.Pick(40)));
  }
}

TEST_F(RandomRoundTrip, ProgramsOverRandomInstructionSets) {
  RandomProgram random(2);
  for (int round = 0; round < 40 && !HasFatalFailure(); ++round) {
    std::vector<CInstruction> set = random.InstructionSet(4 + random.Pick(30));
    Install("Instructions.okl", DefinitionText(set));
    for (int program = 0; program < 4 && !HasFatalFailure(); ++program) {
      SCOPED_TRACE("set " + std::to_string(round) + ", program " + std::to_string(program));
      Check(random, random.Source(set, 1 + random.Pick(40)));
    }
  }
}

} // namespace
