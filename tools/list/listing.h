//===- tools/list/listing.h - The annotated listing of a build --*- C++ -*-===//
//
// One row per statement, in the order the assembler saw them:
//
//   LOCATION     ADDRESS   POSITION  BYTES                    SOURCE
//   prog.tvs:3   00000002  00000016  64 17 1c 00 00 00 03 00  loop: add ^counter, 3
//                                    00 00                    => add ^counter, 3
//
// Eight bytes a row; further bytes go on continuation rows, and a line that
// macros changed shows its tokens after "=> " on the row below the line as
// written. "(N bytes)" stands for the bytes of reserve and includebin.
// ">> begin NAME (PATH)" and "<< end NAME" enclose the rows of each file,
// and "!! error CODE: MESSAGE" follows the row of the line it names. The
// format is described in docs/ferrox-list.md.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LIST_LISTING_H
#define FERROX_TOOLS_LIST_LISTING_H

#include "tools/list/collector.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

/// The text of line `line` (from 1) of file `fileId`, without its line
/// break; empty when there is none.
using SourceTextOf = std::function<std::string_view(std::uint32_t fileId, std::int32_t line)>;

/// The listing of `build`.
std::string RenderListing(const CBuildRecord &build, const SourceTextOf &sourceText);

/// Reads the files of a build by their paths and cuts them into lines as
/// the lexer does (CR LF, LF and CR each end a line).
class CSourceTexts {
public:
  explicit CSourceTexts(const CBuildRecord &build) : m_Build(build) {}
  std::string_view Line(std::uint32_t fileId, std::int32_t line);

private:
  struct CText {
    bool loaded = false;
    std::string content;
    std::vector<std::string_view> lines;
  };
  const CBuildRecord &m_Build;
  std::vector<CText> m_Texts;
};

/// The lines of `text`, cut at CR LF, LF and CR.
std::vector<std::string_view> SplitSourceLines(std::string_view text);

#endif // FERROX_TOOLS_LIST_LISTING_H
