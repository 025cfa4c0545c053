//===- bench/generate.cpp - Large programs for the benchmark --------------===//
//
// Writes the inputs of the benchmark: data programs in ferrox's language and,
// byte for byte equivalent, in NASM's and GNU as's syntax; a program for
// ferrox alone that uses every part of the language; and the stress inputs
// (one very long line, many labels in many namespaces, many forward
// references, a large binary inclusion). Every program is deterministic: the
// same arguments give the same files.
//
//===----------------------------------------------------------------------===//

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

constexpr const char *kUsage =
    "usage: ferrox_bench_gen <program> <count> <base> [<extra>] [--ferrox-only]\n"
    "\n"
    "Writes files named <base> plus an extension.\n"
    "\n"
    "  data N        N-line data program: <base>.tvs, <base>.asm (NASM),\n"
    "                <base>.s (GNU as)\n"
    "  full N        N-line program using the whole language, for ferrox alone:\n"
    "                <base>.tvs and the files it includes\n"
    "  oneline N     one data line of N byte values: .tvs, .asm, .s\n"
    "  namespaces N [M]  N labels spread over M namespaces (default 10000): .tvs\n"
    "  forward N     N forward label references: .tvs\n"
    "  includebin N  a binary file of N bytes (<base>.bin) and a program that\n"
    "                includes it (<base>.tvs)\n"
    "  empty 0       a program without a statement: .tvs\n"
    "\n"
    "--ferrox-only leaves out the NASM and GNU as versions.\n";

/// A small, fast generator of pseudo-random numbers (xorshift64*), so that
/// programs look irregular but are the same on every run.
class Random {
public:
  explicit Random(std::uint64_t seed) : m_State(seed ? seed : 1) {}

  std::uint64_t Next() {
    m_State ^= m_State >> 12;
    m_State ^= m_State << 25;
    m_State ^= m_State >> 27;
    return m_State * 0x2545F4914F6CDD1DULL;
  }
  /// A number from 0 to `bound` - 1.
  std::uint32_t Below(std::uint32_t bound) {
    return static_cast<std::uint32_t>((Next() >> 32) % bound);
  }

private:
  std::uint64_t m_State;
};

/// A buffered output file. Errors are remembered and reported by Close.
class Output {
public:
  Output() = default;
  Output(const Output &) = delete;
  Output &operator=(const Output &) = delete;
  ~Output() {
    if (m_File)
      std::fclose(m_File);
  }

  /// Opens `path` for writing; false (with a message) when it cannot.
  bool Open(const std::string &path) {
    m_Path = path;
    m_File = std::fopen(path.c_str(), "wb");
    if (!m_File) {
      std::fprintf(stderr, "ferrox_bench_gen: cannot create %s\n", path.c_str());
      return false;
    }
    m_Buffer.reserve(kBufferSize + 4096);
    return true;
  }
  bool IsOpen() const { return m_File != nullptr; }

  Output &operator<<(std::string_view text) {
    m_Buffer.append(text);
    if (m_Buffer.size() >= kBufferSize)
      Flush();
    return *this;
  }
  Output &operator<<(char c) {
    m_Buffer.push_back(c);
    return *this;
  }
  Output &operator<<(std::int64_t value) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    return *this << std::string_view(digits, result.ptr - digits);
  }
  Output &operator<<(std::uint64_t value) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    return *this << std::string_view(digits, result.ptr - digits);
  }
  Output &operator<<(std::uint32_t value) {
    return *this << static_cast<std::uint64_t>(value);
  }
  Output &operator<<(int value) { return *this << static_cast<std::int64_t>(value); }

  /// Raw bytes, for binary files.
  void Write(const void *bytes, std::size_t count) {
    Flush();
    if (m_Ok && std::fwrite(bytes, 1, count, m_File) != count)
      m_Ok = false;
  }

  /// Writes what is buffered and closes; false (with a message) on failure.
  bool Close() {
    if (!m_File)
      return true;
    Flush();
    if (std::fclose(m_File) != 0)
      m_Ok = false;
    m_File = nullptr;
    if (!m_Ok)
      std::fprintf(stderr, "ferrox_bench_gen: cannot write %s\n", m_Path.c_str());
    return m_Ok;
  }

private:
  static constexpr std::size_t kBufferSize = 1 << 20;

  void Flush() {
    if (m_Buffer.empty())
      return;
    if (m_Ok && std::fwrite(m_Buffer.data(), 1, m_Buffer.size(), m_File) !=
                    m_Buffer.size())
      m_Ok = false;
    m_Buffer.clear();
  }

  std::FILE *m_File = nullptr;
  std::string m_Path;
  std::string m_Buffer;
  bool m_Ok = true;
};

/// The three dialects of a data program.
enum Dialect { kFerrox, kNasm, kGas, kDialects };

/// The data directive of one width in each dialect.
struct Directive {
  const char *text[kDialects];
};

constexpr Directive kBytes = {{"data1u", "db", ".byte"}};
constexpr Directive kSignedBytes = {{"data1i", "db", ".byte"}};
constexpr Directive kWords = {{"data2u", "dw", ".short"}};
constexpr Directive kLabelWords = {{"data4i", "dd", ".long"}};

/// The same program written in up to three dialects at once.
class DataWriter {
public:
  explicit DataWriter(bool ferroxOnly) : m_FerroxOnly(ferroxOnly) {}

  bool Open(const std::string &base) {
    if (!m_Out[kFerrox].Open(base + ".tvs"))
      return false;
    if (m_FerroxOnly)
      return true;
    return m_Out[kNasm].Open(base + ".asm") && m_Out[kGas].Open(base + ".s");
  }

  bool Close() {
    bool ok = true;
    for (Output &out : m_Out)
      ok = out.Close() && ok;
    return ok;
  }

  /// Every open dialect's output.
  template <typename Function> void Each(Function function) {
    for (int dialect = 0; dialect < kDialects; ++dialect)
      if (m_Out[dialect].IsOpen())
        function(static_cast<Dialect>(dialect), m_Out[dialect]);
  }

  void Text(std::string_view text) {
    Each([&](Dialect, Output &out) { out << text; });
  }

  /// A label definition "L<number>:" followed by a blank.
  void Label(std::string_view prefix, std::uint64_t number) {
    Each([&](Dialect, Output &out) { out << prefix << number << ": "; });
  }

  /// The directive of a line, indented when no label stands before it.
  void Begin(const Directive &directive, bool indent) {
    Each([&](Dialect dialect, Output &out) {
      if (indent)
        out << "    ";
      out << directive.text[dialect] << ' ';
    });
  }

  void Separator() { Text(", "); }

  /// An unsigned value, sometimes written in hexadecimal: ferrox and NASM
  /// both read "0x1F" and "01Fh"; GNU as only the first.
  void Unsigned(std::uint64_t value, std::uint32_t style) {
    if (style == 0 || value < 10) {
      Each([&](Dialect, Output &out) { out << value; });
      return;
    }
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
    std::string_view hex(digits, result.ptr - digits);
    Each([&](Dialect dialect, Output &out) {
      if (style == 1 || dialect == kGas)
        out << "0x" << hex;
      else
        out << '0' << hex << 'h';
    });
  }

  void Signed(std::int64_t value) {
    Each([&](Dialect, Output &out) { out << value; });
  }

  /// A reference to the label "<prefix><number>": ferrox needs "&" before a
  /// label used as a value.
  void Reference(std::string_view prefix, std::uint64_t number) {
    Each([&](Dialect dialect, Output &out) {
      if (dialect == kFerrox)
        out << '&';
      out << prefix << number;
    });
  }

  /// A comment to the end of the line ("#" starts one in GNU as for x86).
  void Comment(std::string_view text) {
    Each([&](Dialect dialect, Output &out) {
      out << (dialect == kGas ? " # " : " ; ") << text;
    });
  }

  void EndLine() { Text("\n"); }

private:
  bool m_FerroxOnly;
  Output m_Out[kDialects];
};

/// A data program of `lines` lines in blocks of four, the kind of line an
/// assembler meets most: a labelled line of two bytes, a word, two 4-byte
/// words holding a backward and a forward label reference, a signed byte.
bool GenerateData(std::uint64_t lines, const std::string &base, bool ferroxOnly) {
  DataWriter writer(ferroxOnly);
  if (!writer.Open(base))
    return false;
  Random random(lines * 7919 + 17);
  const std::uint64_t labels = (lines + 3) / 4;
  for (std::uint64_t line = 0; line < lines; ++line) {
    std::uint64_t block = line / 4;
    switch (line % 4) {
    case 0:
      writer.Label("L", block);
      writer.Begin(kBytes, false);
      writer.Unsigned(random.Below(256), 0);
      writer.Separator();
      writer.Unsigned(random.Below(256), random.Below(8) == 0 ? 1 + block % 2 : 0);
      break;
    case 1:
      writer.Begin(kWords, true);
      writer.Unsigned(random.Below(65536), random.Below(4) == 0 ? 1 + block % 2 : 0);
      break;
    case 2:
      writer.Begin(kLabelWords, true);
      writer.Reference("L", block == 0 ? 0 : block - 1);
      writer.Separator();
      writer.Reference("L", block + 1 < labels ? block + 1 : 0);
      break;
    default:
      writer.Begin(kSignedBytes, true);
      writer.Signed(static_cast<std::int64_t>(random.Below(256)) - 128);
      if (block % 16 == 0)
        writer.Comment("end of a block");
      break;
    }
    writer.EndLine();
  }
  return writer.Close();
}

/// One data line holding `values` byte values.
bool GenerateOneLine(std::uint64_t values, const std::string &base, bool ferroxOnly) {
  DataWriter writer(ferroxOnly);
  if (!writer.Open(base))
    return false;
  Random random(values + 101);
  writer.Begin(kBytes, false);
  for (std::uint64_t i = 0; i < values; ++i) {
    if (i)
      writer.Separator();
    writer.Unsigned(random.Below(256), 0);
  }
  writer.EndLine();
  return writer.Close();
}

/// The texts of `parts` (strings and numbers) joined into one string.
template <typename... Parts> std::string Join(const Parts &...parts) {
  std::string text;
  auto put = [&text](const auto &part) {
    if constexpr (std::is_arithmetic_v<std::decay_t<decltype(part)>>)
      text += std::to_string(part);
    else
      text += part;
  };
  (put(parts), ...);
  return text;
}

/// Writes lines to one file of the full-language program and counts them.
class SourceFile {
public:
  bool Open(const std::string &path) { return m_Out.Open(path); }
  bool Close() { return m_Out.Close(); }

  /// Appends one line (without its line break).
  template <typename... Parts> void Line(const Parts &...parts) {
    (Put(parts), ...);
    m_Out << '\n';
    ++m_Lines;
  }
  std::uint64_t Lines() const { return m_Lines; }

private:
  void Put(std::string_view text) { m_Out << text; }
  void Put(const std::string &text) { m_Out << std::string_view(text); }
  void Put(const char *text) { m_Out << std::string_view(text); }
  void Put(std::uint64_t value) { m_Out << value; }
  void Put(int value) { m_Out << value; }

  Output m_Out;
  std::uint64_t m_Lines = 0;
};

/// The lines of the definitions file that every file of the full-language
/// program includes; guarded, so only its first inclusion defines anything.
void WriteDefinitions(SourceFile &file) {
  file.Line("; Shared definitions, guarded against double inclusion.");
  file.Line("ifndef BENCH_DEFS");
  file.Line("define BENCH_DEFS");
  file.Line("define WIDTH 80");
  file.Line("define HEIGHT 25");
  file.Line("define STEP WIDTH            ; a macro naming another macro");
  file.Line("define LF_CODE 10");
  file.Line("define PAIR 1, 2");
  file.Line("define SAVE_WORD push        ; a macro standing for an instruction");
  file.Line("define BENCH_TRACE");
  file.Line("endif");
}

constexpr std::uint64_t kDefinitionLines = 11;
constexpr std::uint64_t kBlockLines = 61;

/// One block of the full-language program: code and data in nested
/// namespaces, with instructions of zero to three parameters in every
/// addressing mode, macros, conditional regions, strings and floats. Labels
/// of the next block are used before their definition.
void WriteBlock(SourceFile &file, const std::string &prefix, std::uint64_t block,
                std::uint64_t blocks) {
  std::string self = Join(prefix, block);
  std::string next = Join(prefix, block + 1 < blocks ? block + 1 : 0);
  std::string previous = Join(prefix, block ? block - 1 : 0);
  file.Line("namespace ", self, "                   ; block ", block);
  file.Line("namespace code");
  file.Line("start:  load ^vars.counter, &WIDTH");
  file.Line("        loadb vars.flag, 1");
  file.Line("        add vars.counter, &STEP");
  file.Line("        sub *vars.counter, -3");
  file.Line("        mul ^vars.counter, HEIGHT");
  file.Line("        div vars.counter, 0x10");
  file.Line("        and vars.mask, 0FF00h");
  file.Line("        or  vars.mask, 101b");
  file.Line("        xor *vars.mask, &17o");
  file.Line("        not vars.flag");
  file.Line("        mov ^vars.counter, *vars.mask");
  file.Line("        cmp vars.counter, &HEIGHT");
  file.Line("        jz done");
  file.Line("        jnz ", next, ".code.start");
  file.Line("        call *", previous, ".code.start");
  file.Line("        push &vars.counter");
  file.Line("        pushb 'A'");
  file.Line("        pop ^vars.counter");
  file.Line("        fload ^vars.real, 1.5e3");
  file.Line("        fadd vars.real, &-0.25");
  file.Line("        fmul *vars.real, 2");
  file.Line("        syscall 7, 300, ^vars.counter");
  file.Line("        syscall &1 &2 &3");
  file.Line("        print \"block ", block, "\\tready\\n\"");
  file.Line("        printc LF_CODE");
  file.Line("        printn &__LINE__");
  file.Line("        SAVE_WORD 12");
  file.Line("ifdef BENCH_TRACE");
  file.Line("        printn ^vars.counter");
  file.Line("else");
  file.Line("        print \"not traced\"");
  file.Line("endif");
  file.Line("ifndef BENCH_TRACE");
  file.Line("        halt");
  file.Line("endif");
  file.Line("done:   ret");
  file.Line("        nop");
  file.Line("end");
  file.Line("namespace vars");
  file.Line("counter: data4i 0, &code.start");
  file.Line("flag:    data1u 0");
  file.Line("mask:    data4u 0xFFFF");
  file.Line("real:    data8f 3.25, -1.0e-3");
  file.Line("floats:  data4f 0.5, 1.25, -2");
  file.Line("text:    data0s \"text of block\\x21\"");
  file.Line("name:    data1s 'name', \"x\"");
  file.Line("         data2s \"wide\"");
  file.Line("         array1u 3, 0");
  file.Line("         skip1u 1, 2, 3");
  file.Line("         reserve 2");
  file.Line("         data2i -1, PAIR");
  file.Line("namespace deep");
  file.Line("entry:   data4i &code.start, &vars.counter, &", self, ".vars.mask");
  file.Line("         data4i &", next, ".vars.deep.entry, &", previous,
            ".vars.flag");
  file.Line("end");
  file.Line("end");
  file.Line("end");
  file.Line("; ", self, " ends here");
  file.Line("");
}

/// A program of `lines` lines (counting every line of every included file
/// as often as it is read) spread over a main file and part files that it
/// includes.
bool GenerateFull(std::uint64_t lines, const std::string &base) {
  std::string folder;
  std::string stem = base;
  if (auto slash = base.find_last_of('/'); slash != std::string::npos) {
    folder = base.substr(0, slash + 1);
    stem = base.substr(slash + 1);
  }
  std::string definitions = stem + "_defs.tvh";

  // Fixed lines: two in the main file, and for each part an include line in
  // the main file, two lines of its own and the definitions read once more.
  auto overhead = [](std::uint64_t parts) {
    return 2 + kDefinitionLines + parts * (3 + kDefinitionLines);
  };
  std::uint64_t parts = 8;
  while (parts > 0 && lines < overhead(parts) + (parts + 1) * kBlockLines)
    --parts;
  std::uint64_t fixed = overhead(parts);
  std::uint64_t blocks = lines > fixed ? (lines - fixed) / kBlockLines : 0;
  std::uint64_t padding = lines > fixed ? (lines - fixed) % kBlockLines : 0;
  // The main file keeps half of the blocks, the parts share the rest.
  std::uint64_t partBlocks = parts ? blocks / 2 / parts : 0;
  std::uint64_t mainBlocks = blocks - partBlocks * parts;

  SourceFile defs;
  if (!defs.Open(folder + definitions))
    return false;
  WriteDefinitions(defs);
  if (!defs.Close())
    return false;

  for (std::uint64_t part = 0; part < parts; ++part) {
    std::string name = Join(stem, "_part", part, ".tvs");
    SourceFile file;
    if (!file.Open(folder + name))
      return false;
    file.Line("; ", name, ": blocks of the benchmark, included by ", stem, ".tvs");
    file.Line("include \"", definitions, "\"");
    std::string prefix = Join("p", part, "_");
    for (std::uint64_t block = 0; block < partBlocks; ++block)
      WriteBlock(file, prefix, block, partBlocks);
    if (!file.Close())
      return false;
  }

  SourceFile main;
  if (!main.Open(base + ".tvs"))
    return false;
  main.Line("; ", stem, ".tvs: the full-language benchmark program");
  main.Line("include \"", definitions, "\"");
  std::uint64_t included = 0;
  for (std::uint64_t block = 0; block < mainBlocks; ++block) {
    WriteBlock(main, "m", block, mainBlocks);
    // The parts are included at even intervals among the main blocks.
    while (included < parts && (included + 1) * mainBlocks <= (block + 1) * parts) {
      main.Line("include \"", stem, "_part", included, ".tvs\"");
      ++included;
    }
  }
  for (; included < parts; ++included)
    main.Line("include \"", stem, "_part", included, ".tvs\"");
  for (std::uint64_t i = 0; i < padding; ++i)
    main.Line(i % 2 ? "        data1u 0" : "        nop");
  std::uint64_t written = main.Lines() + kDefinitionLines * (parts + 1) +
                          parts * (2 + partBlocks * kBlockLines);
  if (written != lines && lines >= fixed) {
    std::fprintf(stderr, "ferrox_bench_gen: wrote %llu lines instead of %llu\n",
                 static_cast<unsigned long long>(written),
                 static_cast<unsigned long long>(lines));
    return false;
  }
  return main.Close();
}

/// `labels` labels spread evenly over `namespaces` namespaces, each nested
/// in one of about a hundred groups. Every tenth label line also uses the
/// first label of the next namespace by its full name.
bool GenerateNamespaces(std::uint64_t labels, std::uint64_t namespaces,
                        const std::string &base) {
  if (namespaces == 0)
    namespaces = 1;
  SourceFile file;
  if (!file.Open(base + ".tvs"))
    return false;
  const std::uint64_t perGroup = 100;
  auto fullName = [&](std::uint64_t space) {
    return Join("g", space / perGroup, ".n", space);
  };
  for (std::uint64_t space = 0; space < namespaces; ++space) {
    if (space % perGroup == 0)
      file.Line("namespace g", space / perGroup);
    file.Line("namespace n", space);
    std::uint64_t first = labels * space / namespaces;
    std::uint64_t last = labels * (space + 1) / namespaces;
    std::string next = fullName(space + 1 < namespaces ? space + 1 : 0);
    for (std::uint64_t label = 0; label < last - first; ++label) {
      if (label % 10 == 9)
        file.Line("l", label, ": data4i &l", label - 1, ", &", next, ".l0");
      else
        file.Line("l", label, ": data2u ", label);
    }
    file.Line("end");
    if (space % perGroup == perGroup - 1 || space + 1 == namespaces)
      file.Line("end");
  }
  return file.Close();
}

/// `references` uses of labels that are all defined at the end.
bool GenerateForward(std::uint64_t references, const std::string &base) {
  SourceFile file;
  if (!file.Open(base + ".tvs"))
    return false;
  for (std::uint64_t i = 0; i < references; ++i)
    file.Line("    data4i &f", i);
  for (std::uint64_t i = 0; i < references; ++i)
    file.Line("f", i, ": data1u ", i % 256);
  return file.Close();
}

/// A binary file of `bytes` pseudo-random bytes and a program that includes
/// it.
bool GenerateIncludeBin(std::uint64_t bytes, const std::string &base) {
  std::string stem = base.substr(base.find_last_of('/') + 1);
  Output binary;
  if (!binary.Open(base + ".bin"))
    return false;
  Random random(bytes + 3);
  std::vector<std::uint64_t> block(1 << 16);
  for (std::uint64_t done = 0; done < bytes;) {
    for (std::uint64_t &word : block)
      word = random.Next();
    std::size_t count = static_cast<std::size_t>(
        std::min<std::uint64_t>(bytes - done, block.size() * sizeof(std::uint64_t)));
    binary.Write(block.data(), count);
    done += count;
  }
  if (!binary.Close())
    return false;
  SourceFile file;
  if (!file.Open(base + ".tvs"))
    return false;
  file.Line("includebin \"", stem, ".bin\"");
  return file.Close();
}

bool GenerateEmpty(const std::string &base) {
  SourceFile file;
  if (!file.Open(base + ".tvs"))
    return false;
  file.Line("; nothing to assemble");
  return file.Close();
}

bool ParseCount(const char *text, std::uint64_t &count) {
  const char *end = text + std::strlen(text);
  auto result = std::from_chars(text, end, count);
  return result.ec == std::errc() && result.ptr == end;
}

} // namespace

int main(int argc, char **argv) {
  std::vector<std::string> arguments;
  bool ferroxOnly = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--ferrox-only") == 0)
      ferroxOnly = true;
    else
      arguments.emplace_back(argv[i]);
  }
  std::uint64_t count = 0;
  std::uint64_t extra = 10000;
  if (arguments.size() < 3 || arguments.size() > 4 ||
      !ParseCount(arguments[1].c_str(), count) ||
      (arguments.size() == 4 && !ParseCount(arguments[3].c_str(), extra))) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string &program = arguments[0];
  const std::string &base = arguments[2];
  bool ok = false;
  if (program == "data")
    ok = GenerateData(count, base, ferroxOnly);
  else if (program == "full")
    ok = GenerateFull(count, base);
  else if (program == "oneline")
    ok = GenerateOneLine(count, base, ferroxOnly);
  else if (program == "namespaces")
    ok = GenerateNamespaces(count, extra, base);
  else if (program == "forward")
    ok = GenerateForward(count, base);
  else if (program == "includebin")
    ok = GenerateIncludeBin(count, base);
  else if (program == "empty")
    ok = GenerateEmpty(base);
  else {
    std::fputs(kUsage, stderr);
    return 2;
  }
  return ok ? 0 : 1;
}
