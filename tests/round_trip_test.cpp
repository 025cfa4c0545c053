//===- tests/round_trip_test.cpp - Random programs through ferrox-dis -----===//
//
// Programs made only of instructions, over the shipped instruction set and
// over random ones with up to three parameters of every kind in every mode,
// are assembled, disassembled without a map and assembled again: the two
// images must be identical.
//
//===----------------------------------------------------------------------===//

#include "tests/round_trip.h"

#include "instructions/instruction_file.h"

namespace {

class RandomProgram : public RandomText {
public:
  using RandomText::RandomText;

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
    case 2: source += "boot &" + std::to_string(Pick(0xFFFFFFFFu)) + "\n"; break;
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
    if (kind == KIND_4I && Pick(4) == 0)
      return "&" + label;
    return "&" + Value(kind);
  }

  std::size_t m_Param = 0;
};

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
