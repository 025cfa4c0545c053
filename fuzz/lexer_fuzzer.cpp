//===- fuzz/lexer_fuzzer.cpp - The lexer on arbitrary bytes ---------------===//
//
// The input is a whole source file, loaded with LoadSourceFile. Besides the
// sanitizers, every stored line is walked token by token: the encoded stream
// must decode to exactly its own length, and the counters must match what
// was stored.
//
//===----------------------------------------------------------------------===//

#include "fuzz/fuzz_support.h"

#include "driver/build.h"
#include "driver/diagnostics.h"
#include "source/lexer.h"
#include "source/token.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

std::string g_Path;
std::string g_Output;

void CheckLine(CSourceLine &line, std::int32_t previousNumber) {
  FUZZ_CHECK(!line.Empty());
  FUZZ_CHECK(line.FileName() == "input.src");
  // Line numbers only grow within a file (they wrap only past 2^31 lines).
  FUZZ_CHECK(line.GetLineNumber() > previousNumber);
  std::size_t size = line.Encoded().size();
  line.Rewind();
  while (!line.AtEnd()) {
    CToken token = line.Current();
    FUZZ_CHECK(token.kind >= TOKEN_IDENTIFIER && token.kind <= TOKEN_NUMBER);
    if (token.kind != TOKEN_STRING)
      FUZZ_CHECK(!token.text.empty());
    if (token.kind == TOKEN_SYMBOL)
      FUZZ_CHECK(token.text.size() == 1);
    // The text lies inside the line's own encoded bytes.
    if (token.kind != TOKEN_SYMBOL && !token.text.empty())
      FUZZ_CHECK(token.text.data() > line.Encoded().data() &&
                 token.text.data() + token.text.size() <=
                     line.Encoded().data() + size);
    line.Advance();
  }
  FUZZ_CHECK(line.GetCursor() == size);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  g_Path = fuzz::MakeScratchFolder("lexer") + "input.src";
  CaptureOutputForTesting(&g_Output);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  ResetAllState();
  g_Output.clear();
  fuzz::WriteFile(g_Path,
                  std::string_view(reinterpret_cast<const char *>(data), size));

  g_SourceLines.Rewind();
  bool loaded = LoadSourceFile(g_Path, nullptr, kNoFileId, 0);
  // A failure is always a numbered error; success may still carry lexer
  // errors inside lines.
  if (!loaded)
    FUZZ_CHECK(g_ErrorCount > 0);
  FUZZ_CHECK(g_SourceSize == static_cast<std::int32_t>(size));
  FUZZ_CHECK(g_SourceFileCount == (loaded ? 1 : 0));
  FUZZ_CHECK(static_cast<std::size_t>(g_SourceLineCount) ==
             g_SourceLines.Size());

  std::int32_t previous = 0;
  std::size_t lines = 0;
  for (g_SourceLines.Rewind(); !g_SourceLines.AtEnd();
       g_SourceLines.Advance()) {
    CSourceLine &line = *g_SourceLines.Current();
    CheckLine(line, previous);
    previous = line.GetLineNumber();
    ++lines;
  }
  FUZZ_CHECK(lines == g_SourceLines.Size());
  return 0;
}
