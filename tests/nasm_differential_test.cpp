//===- tests/nasm_differential_test.cpp - Random data programs vs NASM ----===//
//
// Generates random programs of data commands, labels, namespaces, arrays,
// reserved space and skip blocks, writes each in this assembler's language
// and in NASM's, and requires identical bytes from both (NASM's flat binary
// output against ferrox with -nodisk -nobootinfo). The generator computes
// every value itself and gives NASM plain numbers, so where the two
// languages would read a text differently, this assembler's rules decide.
//
//===----------------------------------------------------------------------===//

#include "tests/harness.h"

#include <cstdio>
#include <random>
#include <sstream>

namespace {

constexpr int kShards = 10;
constexpr int kProgramsPerShard = 50;

struct Kind {
  const char *suffix;
  int bytes;
  bool isSigned;
  bool isFloat;
  bool isString;
  const char *nasm; ///< NASM data directive of the same width.
};

const Kind kKinds[] = {
    {"1u", 1, false, false, false, "db"}, {"2u", 2, false, false, false, "dw"},
    {"4u", 4, false, false, false, "dd"}, {"8u", 8, false, false, false, "dq"},
    {"1i", 1, true, false, false, "db"},  {"2i", 2, true, false, false, "dw"},
    {"4i", 4, true, false, false, "dd"},  {"8i", 8, true, false, false, "dq"},
    {"4f", 4, true, true, false, "dd"},   {"8f", 8, true, true, false, "dq"},
    {"0s", 0, false, false, true, "db"},  {"1s", 1, false, false, true, "db"},
    {"2s", 2, false, false, true, "dw"},  {"4s", 4, false, false, true, "dd"},
    {"ns", 0, false, false, true, "db"},
};

class Generator {
public:
  explicit Generator(unsigned seed) : m_Random(seed) {}

  void Build() {
    int statements = Range(10, 60);
    for (int i = 0; i < statements; ++i)
      Statement();
    while (!m_Namespaces.empty())
      CloseNamespace();
    // Trailing reserved space never reaches the file; end with a byte.
    m_Ours << "data1u 0\n";
    m_Nasm << "db 0\n";
    ResolveReferences();
  }

  std::string Ours() const { return m_Ours.str(); }
  std::string Nasm() const { return m_NasmText; }

private:
  struct Label {
    std::string path; ///< Namespace path where it is defined.
    std::string name;
    bool anonymous;   ///< Defined inside an anonymous namespace.
  };

  int Range(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(m_Random);
  }
  bool Chance(int percent) { return Range(1, 100) <= percent; }
  std::uint64_t Bits() {
    return std::uniform_int_distribution<std::uint64_t>()(m_Random);
  }

  std::string CurrentPath() const {
    std::string path;
    for (const auto &[name, anonymous] : m_Namespaces)
      path += (path.empty() ? "" : ".") + name;
    return path;
  }
  bool InsideAnonymous() const {
    for (const auto &[name, anonymous] : m_Namespaces)
      if (anonymous)
        return true;
    return false;
  }

  void Statement() {
    int choice = Range(0, 99);
    if (choice < 8 && m_Namespaces.size() < 4) {
      OpenNamespace();
    } else if (choice < 14 && !m_Namespaces.empty()) {
      CloseNamespace();
    } else if (choice < 22) {
      DefineLabelLine();
    } else if (choice < 36) {
      LabelReferences();
    } else if (choice < 46) {
      ArrayLine();
    } else if (choice < 52) {
      ReserveLine();
    } else if (choice < 60) {
      SkipLine();
    } else {
      DataLine();
    }
  }

  void OpenNamespace() {
    bool anonymous = Chance(20);
    std::string name = "n" + std::to_string(m_NextNamespace++);
    m_Namespaces.emplace_back(name, anonymous);
    // An anonymous namespace has a made-up name the source cannot write;
    // the generator only refers to its labels from inside it.
    m_Ours << (anonymous ? std::string("namespace") : "Namespace " + name) << "\n";
  }

  void CloseNamespace() {
    m_Namespaces.pop_back();
    m_Ours << (Chance(50) ? "end" : "END") << "\n";
  }

  std::string NewLabel() {
    std::string name = "L" + std::to_string(m_Labels.size());
    m_Labels.push_back({CurrentPath(), name, InsideAnonymous()});
    m_NasmLabels.push_back("lab" + std::to_string(m_Labels.size() - 1));
    return name;
  }

  void DefineLabelLine() {
    std::string name = NewLabel();
    m_Ours << name << ":";
    m_Nasm << m_NasmLabels.back() << ":\n";
    if (Chance(50)) {
      m_Ours << " ";
      DataLine();
    } else {
      m_Ours << "\n";
    }
  }

  /// A reference to a label, written so that it resolves from here. Labels
  /// defined later are resolved by a placeholder replaced at the end.
  void LabelReferences() {
    int count = Range(1, 4);
    m_Ours << "data4i";
    m_Nasm << "dd ";
    for (int i = 0; i < count; ++i) {
      m_Ours << (i == 0 ? " " : ", ") << "&";
      if (i > 0)
        m_Nasm << ", ";
      // Either an existing label or one that will be defined later.
      if (m_Labels.empty() || Chance(30)) {
        std::size_t index = m_Pending.size();
        m_Pending.push_back({CurrentPath(), InsideAnonymous()});
        m_Ours << "@PENDING" << index << "@";
        m_Nasm << "@PENDING" << index << "@";
      } else {
        std::size_t index = static_cast<std::size_t>(
            Range(0, static_cast<int>(m_Labels.size()) - 1));
        std::string written;
        if (!Reference(index, CurrentPath(), written)) {
          m_Ours << "0";
          m_Nasm << "0";
          continue;
        }
        m_Ours << written;
        m_Nasm << m_NasmLabels[index];
      }
    }
    m_Ours << "\n";
    m_Nasm << "\n";
  }

  /// How label `index` is written from namespace `from`; false when it
  /// cannot be reached from there.
  bool Reference(std::size_t index, const std::string &from, std::string &written) {
    const Label &label = m_Labels[index];
    bool enclosing = label.path.empty() || from == label.path ||
                     from.rfind(label.path + ".", 0) == 0;
    if (label.anonymous && !enclosing)
      return false;
    std::string text = enclosing && (label.anonymous || Chance(60))
                           ? label.name
                           : (label.path.empty() ? "" : label.path + ".") + label.name;
    if (label.anonymous && !label.path.empty() && text != label.name)
      text = label.name;
    // Names are not case-sensitive.
    for (char &c : text)
      if (Chance(15))
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    written = text;
    return true;
  }

  /// Pending forward references become real labels once all are defined;
  /// anonymous labels are unusable from other namespaces, so those get the
  /// label defined at the top level or a number.
  void ResolveReferences() {
    std::string ours = m_Ours.str();
    std::string nasm = m_Nasm.str();
    for (std::size_t i = 0; i < m_Pending.size(); ++i) {
      std::string written = "0";
      std::string nasmText = "0";
      for (int attempt = 0; attempt < 8 && !m_Labels.empty(); ++attempt) {
        std::size_t index = static_cast<std::size_t>(
            Range(0, static_cast<int>(m_Labels.size()) - 1));
        if (Reference(index, m_Pending[i].path, written)) {
          nasmText = m_NasmLabels[index];
          break;
        }
        written = "0";
      }
      std::string marker = "@PENDING" + std::to_string(i) + "@";
      ours.replace(ours.find(marker), marker.size(), written);
      nasm.replace(nasm.find(marker), marker.size(), nasmText);
    }
    m_Ours.str(ours);
    m_NasmText = nasm;
  }

  const Kind &AnyKind() {
    return kKinds[static_cast<std::size_t>(Range(0, std::size(kKinds) - 1))];
  }

  void DataLine() {
    const Kind &kind = AnyKind();
    int count = Range(0, 5);
    m_Ours << "data" << kind.suffix;
    for (int i = 0; i < count; ++i) {
      m_Ours << (i == 0 ? " " : Chance(70) ? ", " : " ");
      if (Chance(10)) {
        std::string label = NewLabel();
        m_Ours << label << ": ";
        m_Nasm << m_NasmLabels.back() << ":\n";
      }
      Value(kind);
    }
    m_Ours << "\n";
  }

  void ArrayLine() {
    const Kind &kind = AnyKind();
    int count = Range(-2, 40);
    std::ostringstream value;
    std::swap(value, m_Nasm);
    m_Ours << "array" << kind.suffix << " " << count << ", ";
    Value(kind);
    m_Ours << "\n";
    std::swap(value, m_Nasm);
    for (int i = 0; i < count; ++i)
      m_Nasm << value.str();
  }

  void ReserveLine() {
    int count = Range(0, 300);
    m_Ours << "reserve " << count << "\n";
    if (count > 0)
      m_Nasm << "times " << count << " db 0\n";
  }

  void SkipLine() {
    const Kind &kind = AnyKind();
    int count = Range(0, 6);
    std::ostringstream values;
    std::swap(values, m_Nasm);
    m_Ours << "skip" << kind.suffix;
    std::size_t before = m_Length;
    m_Length = 0;
    for (int i = 0; i < count; ++i) {
      m_Ours << (i == 0 ? " " : ", ");
      Value(kind);
    }
    std::size_t length = m_Length;
    m_Length = before;
    m_Ours << "\n";
    std::swap(values, m_Nasm);
    if (length < 256)
      m_Nasm << "db 16, 200, " << length << "\n";
    else if (length < 65536)
      m_Nasm << "db 16, 201\ndw " << length << "\n";
    else
      m_Nasm << "db 16, 202\ndd " << length << "\n";
    m_Nasm << values.str();
  }

  /// One value of `kind` in both languages; adds its size to m_Length.
  void Value(const Kind &kind) {
    if (kind.isString) {
      StringValue(kind);
    } else if (kind.isFloat) {
      double value = Range(-40000, 40000) / 16.0;
      char text[64];
      std::snprintf(text, sizeof text, "%.4f", value);
      m_Ours << text;
      m_Nasm << kind.nasm << " " << text << "\n";
      m_Length += static_cast<std::size_t>(kind.bytes);
    } else {
      IntegerValue(kind);
    }
  }

  void IntegerValue(const Kind &kind) {
    std::uint64_t mask =
        kind.bytes == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * kind.bytes)) - 1;
    m_Length += static_cast<std::size_t>(kind.bytes);
    if (Chance(8)) {
      // A one-character string stands for its signed character code.
      int code = Range(1, 255);
      m_Ours << "'" << EscapeByte(static_cast<unsigned char>(code), '\'') << "'";
      std::uint64_t value =
          static_cast<std::uint64_t>(static_cast<std::int64_t>(
              static_cast<std::int8_t>(code))) & mask;
      m_Nasm << kind.nasm << " " << value << "\n";
      return;
    }
    // Magnitudes of every size, some beyond the width so they wrap.
    int bits = Range(1, kind.bytes * 8 + (kind.bytes < 8 ? 4 : 0));
    std::uint64_t magnitude = Bits() & (bits >= 64 ? ~std::uint64_t{0}
                                                    : (std::uint64_t{1} << bits) - 1);
    bool negative = kind.isSigned && Chance(40);
    std::uint64_t value = (negative ? 0 - magnitude : magnitude) & mask;
    std::string digits;
    switch (Range(0, 6)) {
    case 0:
      digits = ToBase(magnitude, 16, Chance(50));
      digits = (Chance(50) ? "0x" : "0X") + digits;
      break;
    case 1:
      digits = "0" + ToBase(magnitude, 16, Chance(50)) + (Chance(50) ? "h" : "H");
      break;
    case 2:
      digits = ToBase(magnitude, 2, false) + (Chance(50) ? "b" : "B");
      break;
    case 3:
      digits = ToBase(magnitude, 8, false) + (Chance(50) ? "o" : "O");
      break;
    case 4:
      digits = ToBase(magnitude, 10, false) + (Chance(50) ? "d" : "D");
      break;
    default:
      digits = ToBase(magnitude, 10, false);
      break;
    }
    m_Ours << (negative ? "-" : (Chance(10) ? "+" : "")) << digits;
    m_Nasm << kind.nasm << " " << value << "\n";
  }

  void StringValue(const Kind &kind) {
    int length = Chance(5) ? Range(200, 400) : Range(0, 12);
    std::string text;
    for (int i = 0; i < length; ++i)
      text += static_cast<char>(Chance(70) ? Range(32, 126) : Range(0, 255));
    char quote = Chance(50) ? '"' : '\'';
    m_Ours << quote;
    bool afterNumeric = false;
    for (unsigned char c : text) {
      bool digitLike = std::isxdigit(c) != 0;
      if (afterNumeric && digitLike) {
        m_Ours << Hex2(c);
        continue;
      }
      std::string escaped = EscapeByte(c, quote);
      afterNumeric = escaped.size() > 1 && (escaped[1] == 'x' || escaped[1] == 'X' ||
                                            std::isdigit(static_cast<unsigned char>(escaped[1])));
      // "\0" is never followed by more digits of its own.
      if (escaped == "\\0")
        afterNumeric = false;
      m_Ours << escaped;
    }
    m_Ours << quote;

    std::size_t size = text.size();
    std::string prefix = kind.suffix;
    if (prefix == "1s") {
      m_Nasm << "db " << (size & 0xFF) << "\n";
      m_Length += 1;
    } else if (prefix == "2s") {
      m_Nasm << "dw " << (size & 0xFFFF) << "\n";
      m_Length += 2;
    } else if (prefix == "4s") {
      m_Nasm << "dd " << size << "\n";
      m_Length += 4;
    }
    for (unsigned char c : text)
      m_Nasm << "db " << static_cast<int>(c) << "\n";
    if (prefix == "0s") {
      m_Nasm << "db 0\n";
      m_Length += 1;
    }
    m_Length += size;
  }

  static std::string Hex2(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
    return buffer;
  }

  std::string EscapeByte(unsigned char c, char quote) {
    switch (c) {
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\t': return "\\t";
    case '\r': return "\\r";
    case 0:    return "\\0";
    default:   break;
    }
    if (c == static_cast<unsigned char>(quote))
      return quote == '"' ? "\\\"" : "\\'";
    if (c >= 32 && c < 127 && c != ';')
      return std::string(1, static_cast<char>(c));
    if (c == ';' || Chance(50))
      return Hex2(c);
    return "\\" + std::to_string(c);
  }

  static std::string ToBase(std::uint64_t value, unsigned base, bool upper) {
    const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    do {
      text.insert(text.begin(), digits[value % base]);
      value /= base;
    } while (value != 0);
    return text;
  }

  struct Pending {
    std::string path;
    bool anonymous;
  };

  std::mt19937_64 m_Random;
  std::ostringstream m_Ours;
  std::ostringstream m_Nasm;
  std::string m_NasmText;
  std::vector<std::pair<std::string, bool>> m_Namespaces;
  std::vector<Label> m_Labels;
  std::vector<std::string> m_NasmLabels;
  std::vector<Pending> m_Pending;
  int m_NextNamespace = 0;
  std::size_t m_Length = 0;
};

class NasmDifferential : public Ferrox,
                         public ::testing::WithParamInterface<int> {};

TEST_P(NasmDifferential, RandomDataProgramsMatchNasmByteForByte) {
  if (!ProgramInPath("nasm"))
    GTEST_SKIP() << "nasm is not installed";
  int failures = 0;
  for (int i = 0; i < kProgramsPerShard && failures < 3; ++i) {
    unsigned seed = static_cast<unsigned>(GetParam() * kProgramsPerShard + i);
    SCOPED_TRACE("program seed " + std::to_string(seed));
    Generator generator(seed);
    generator.Build();
    Write("ref.asm", generator.Nasm());
    ASSERT_EQ(RunOther({"nasm", "-f", "bin", "-o", "ref.bin", "ref.asm"}), 0)
        << generator.Nasm();
    RunResult result = Assemble(generator.Ours(), {"-nodisk", "-nobootinfo"});
    EXPECT_EQ(result.status, 0) << result.output << "\n" << generator.Ours();
    std::string ours = Read("out.img");
    std::string reference = Read("ref.bin");
    if (ours != reference) {
      ++failures;
      std::size_t at = 0;
      while (at < ours.size() && at < reference.size() && ours[at] == reference[at])
        ++at;
      ADD_FAILURE() << "images differ at byte " << at << " (sizes " << ours.size()
                    << " and " << reference.size() << ")\n"
                    << generator.Ours();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, NasmDifferential, ::testing::Range(0, kShards));

} // namespace
