//===- tests/map_round_trip_test.cpp - Random programs through the map ----===//
//
// Random programs of instructions, data and strings of every kind, arrays,
// reserved bytes, skip blocks, offset changes, labels and nested
// namespaces are built by ferrox-list with a map, disassembled with that
// map and assembled again: the two images must be identical, and ferrox-dis
// must find every span holding what the map says.
//
//===----------------------------------------------------------------------===//

#include "tests/round_trip.h"

#include "instructions/instruction_file.h"

namespace {

class MapProgram : public RandomText {
public:
  using RandomText::RandomText;

  /// About `count` statements over `set`; labels are used before and after
  /// their definitions, from inside and outside their namespaces.
  std::string Source(const std::vector<CInstruction> &set, std::size_t count) {
    m_Labels.assign(count / 2 + 1, {});
    m_Uses.clear();
    m_Defined = 0;
    m_Scope.clear();
    std::string text;
    switch (Pick(5)) {
    case 0: text += "bootnone\n"; break;
    case 1: text += "boot &" + std::to_string(Bits() >> 32) + "\n"; break;
    case 2: text += "bootall\n"; break;
    default: break;
    }
    std::size_t bootEnd = text.empty() ? Pick(static_cast<std::uint32_t>(count + 1)) : count + 1;
    for (std::size_t i = 0; i < count; ++i) {
      if (i == bootEnd)
        text += "bootend\n";
      if (Pick(4) == 0)
        text += Define() + "\n";
      text += Statement(set);
    }
    while (m_Defined < m_Labels.size())
      text += Define() + "\n";
    while (!m_Scope.empty())
      text += Close();
    return Resolve(text);
  }

private:
  struct Use {
    std::size_t label;
    std::string scope;
  };

  std::string Statement(const std::vector<CInstruction> &set) {
    std::uint32_t choice = Pick(20);
    if (choice < 7)
      return Instruction(set[Pick(static_cast<std::uint32_t>(set.size()))]);
    std::int32_t kind = static_cast<std::int32_t>(1 + Pick(KIND_NS));
    std::string suffix(KindInfo(kind).name);
    switch (choice) {
    case 7: case 8: case 9: return "data" + suffix + Values(kind, 1 + Pick(4)) + "\n";
    case 10: case 11: return "skip" + suffix + Values(kind, Pick(4)) + "\n";
    case 12:
      return "array" + suffix + " " + std::to_string(Pick(5)) + "," + Values(kind, 1, false) + "\n";
    case 13: return "reserve " + std::to_string(Pick(9)) + "\n";
    case 14:
      if (Pick(2) == 0)
        return "offset " + std::to_string(static_cast<std::int32_t>(Bits()) >> Pick(32)) + "\n";
      return "offsetdelta " + std::to_string(static_cast<std::int32_t>(Pick(512)) - 256) + "\n";
    case 15: case 16:
      if (m_Scope.size() < 12) {
        // "?" marks an anonymous namespace, which no name from outside reaches.
        bool anonymous = Pick(4) == 0;
        std::string name = (anonymous ? "?" : "n") + std::to_string(m_Namespace++);
        m_Scope += (m_Scope.empty() ? "" : ".") + name;
        return anonymous ? "namespace\n" : "namespace " + name + "\n";
      }
      [[fallthrough]];
    default:
      return Close();
    }
  }

  /// "end" for the innermost namespace, or nothing outside any.
  std::string Close() {
    if (m_Scope.empty())
      return "";
    std::size_t dot = m_Scope.rfind('.');
    m_Scope.resize(dot == std::string::npos ? 0 : dot);
    return "end\n";
  }

  std::string Instruction(const CInstruction &definition) {
    std::string text = definition.name;
    for (std::int32_t p = 0; p < definition.paramCount; ++p) {
      std::int32_t kind = definition.paramKinds[static_cast<std::size_t>(p)];
      text += p == 0 ? " " : ", ";
      if (Pick(6) == 0)
        text += Define() + " ";
      std::uint32_t mode = kind == KIND_X ? 2 + Pick(2) : 1 + Pick(3);
      if (mode != 1)
        text += (mode == 2 ? "^" : "*") + (Pick(3) != 0 ? UseLabel() : std::to_string(Pick(4096)));
      else if (kind == KIND_4I && Pick(3) == 0)
        text += "&" + UseLabel();
      else
        text += "&" + Value(kind);
    }
    return text + "\n";
  }

  /// `n` values of a data command of `kind`, some labelled if `labels`.
  std::string Values(std::int32_t kind, std::uint32_t n, bool labels = true) {
    std::string text;
    for (std::uint32_t v = 0; v < n; ++v) {
      text += v == 0 ? " " : ", ";
      if (labels && Pick(6) == 0)
        text += Define() + " ";
      if (KindInfo(kind).form == CValueKind::String)
        text += String(6, false);
      else if (kind == KIND_4I && Pick(3) == 0)
        text += "&" + UseLabel();
      else
        text += Number(kind);
    }
    return text;
  }

  /// The definition "name:" of the next label, or nothing when all are.
  std::string Define() {
    if (m_Defined == m_Labels.size())
      return "";
    std::string name = "l" + std::to_string(m_Defined);
    m_Labels[m_Defined++] = m_Scope.empty() ? name : m_Scope + "." + name;
    return name + ":";
  }

  /// A placeholder for a use of a random label, resolved at the end.
  std::string UseLabel() {
    m_Uses.push_back({Pick(static_cast<std::uint32_t>(m_Labels.size())), m_Scope});
    return "@" + std::to_string(m_Uses.size() - 1) + "@";
  }

  /// `text` with every placeholder replaced by the label's name as the
  /// scope of the use sees it: without the namespaces the two share, or a
  /// number where an anonymous namespace hides the label.
  std::string Resolve(const std::string &text) const {
    std::string out;
    for (std::size_t at = 0, next; at < text.size(); at = next + 1) {
      std::size_t start = text.find('@', at);
      if (start == std::string::npos) {
        out += text.substr(at);
        break;
      }
      next = text.find('@', start + 1);
      out += text.substr(at, start - at);
      std::size_t index = std::stoul(text.substr(start + 1, next - start - 1));
      const Use &use = m_Uses[index];
      std::string name = m_Labels[use.label];
      std::string scope = use.scope + ".";
      std::size_t shared = 0;
      for (std::size_t dot; (dot = name.find('.', shared)) != std::string::npos;) {
        std::size_t length = dot + 1 - shared;
        if (scope.compare(shared, length, name, shared, length) != 0)
          break;
        shared = dot + 1;
      }
      name.erase(0, shared);
      out += name.find('?') == std::string::npos ? name : std::to_string(index * 7 % 4096);
    }
    return out;
  }

  std::vector<std::string> m_Labels;
  std::vector<Use> m_Uses;
  std::size_t m_Defined = 0;
  std::size_t m_Namespace = 0;
  std::string m_Scope;
};

class MapRoundTrip : public RoundTrip {
protected:
  void SetUp() override {
    RoundTrip::SetUp();
    // The map comes from ferrox-list, which a cross build may leave out.
    if (!HasProgram("ferrox-list") || WindowsTarget())
      GTEST_SKIP() << "ferrox-list is not built for this program";
  }
  /// Builds `source` with a map and random switches and checks the round
  /// trip through that map.
  void Check(MapProgram &random, const std::string &source) {
    const std::vector<std::string> &switches = kSwitches[random.Pick(4)];
    Write("prog.tvs", source);
    std::vector<std::string> args = {"prog.tvs", "prog.img", "--map", "prog.map"};
    args.insert(args.end(), switches.begin(), switches.end());
    RunResult built = RunProgram("ferrox-list", args);
    ASSERT_EQ(built.status, 0) << source << built.output << built.errors;
    ExpectSameImage("prog.img", {"--map", "prog.map"}, switches);
    EXPECT_EQ(Unexpected(LastDisErrors()), "") << source;
  }

  /// `errors` without the warning for reserved bytes that end the file:
  /// ferrox writes them when a statement of no bytes (datans "") follows,
  /// the map then has them inside the file, and ferrox-dis writes them as
  /// data, which gives the same image.
  static std::string Unexpected(const std::string &errors) {
    std::string kept;
    for (std::size_t at = 0, end; at < errors.size(); at = end + 1) {
      end = std::min(errors.find('\n', at), errors.size());
      std::string line = errors.substr(at, end - at);
      if (line.find("end the file; written as data") == std::string::npos)
        kept += line + "\n";
    }
    return kept;
  }
};

TEST_F(MapRoundTrip, ProgramsOverTheShippedInstructionSet) {
  InstallShippedData();
  std::vector<CInstruction> set =
      LoadInstructionFile(std::string(FERROX_SOURCE_DIR) + "/data/Instructions.okl").Instructions();
  ASSERT_GT(set.size(), 20u);
  MapProgram random(21);
  for (int program = 0; program < 200 && !HasFailure(); ++program) {
    SCOPED_TRACE("program " + std::to_string(program));
    Check(random, random.Source(set, 1 + random.Pick(40)));
  }
}

TEST_F(MapRoundTrip, ProgramsOverRandomInstructionSets) {
  MapProgram random(22);
  for (int round = 0; round < 50 && !HasFailure(); ++round) {
    std::vector<CInstruction> set = random.InstructionSet(4 + random.Pick(30));
    Install("Instructions.okl", DefinitionText(set));
    for (int program = 0; program < 4 && !HasFailure(); ++program) {
      SCOPED_TRACE("set " + std::to_string(round) + ", program " + std::to_string(program));
      Check(random, random.Source(set, 1 + random.Pick(40)));
    }
  }
}

} // namespace
