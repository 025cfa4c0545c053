//===- tests/dis_test.cpp - ferrox-dis with and without a debug map -------===//

#include "tests/round_trip.h"

namespace {

Lines SourceLines(const std::string &text) {
  Lines lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

TEST_F(RoundTrip, DisWithoutAMapDecodesInstructionsAndLabelsTheirTargets) {
  Write("prog.tvs", "start:  push &-5\n"
                    "        jmp ^later\n"
                    "        data1u 0x10, 0xc8, 2, 7, 8\n"
                    "        put \"a\\\"b\\\\\", 1.5, -1\n"
                    "        mov 7, -0.0\n"
                    "        data1u 0xff\n"
                    "later:  add *start, &3\n"
                    "        bootend\n");
  ASSERT_EQ(Run({"prog.tvs", "prog.img"}).status, 0);
  EXPECT_EQ(SourceLines(ExpectSameImage("prog.img")),
            (Lines{"; ferrox-dis 1.0.1: prog.img",
                   "; Assemble with: ferrox SOURCE DESTINATION",
                   "; Comments: each line's address, then @ and its position in the image.",
                   "L_00000000:                             ; 00000000 @ 00000014",
                   "        push &-5                        ; 00000000 @ 00000014",
                   "        jmp ^L_00000031                 ; 00000006 @ 0000001a",
                   "        skip1u 7, 8                     ; 0000000c @ 00000020",
                   "        put &\"a\\\"b\\\\\", &1.5, &-1        ; 00000011 @ 00000025",
                   "        mov &7, &-0.0                   ; 00000024 @ 00000038",
                   "        data1u 0xff                     ; 00000030 @ 00000044",
                   "L_00000031:                             ; 00000031 @ 00000045",
                   "        add *L_00000000, &3             ; 00000031 @ 00000045",
                   "        bootend                         ; 0000003b @ 0000004f"}));
  // Bytes no definition fits, "ns" strings, floats no text gives (NaN).
  Install("Instructions.okl", "text 0 1 [ns];\nreal 0 2 [4f];\n");
  Write("odd.tvs", "text \"abc\"\nreal ^7\ndata1u 0x10, 2, 0, 0, 0xc0, 0x7f\nbootnone\n");
  ASSERT_EQ(Run({"odd.tvs", "odd.img", "-nodisk"}).status, 0);
  EXPECT_EQ(SourceLines(ExpectSameImage("odd.img", {}, {"-nodisk"})),
            (Lines{"; ferrox-dis 1.0.1: odd.img",
                   "; Assemble with: ferrox SOURCE DESTINATION -nodisk",
                   "; Comments: each line's address, then @ and its position in the image.",
                   "        bootnone                        ; 00000000 @ 00000004",
                   "        data1u 0x10, 0x01, 0x61, 0x62, 0x63 ; 00000000 @ 00000004",
                   "        real L_00000007: ^L_00000007    ; 00000005 @ 00000009",
                   "        data1u 0x10, 0x02, 0x00, 0x00, 0xc0, 0x7f ; 0000000b @ 0000000f"}));
}

const char *const kMap =
    R"({"version": 1,
 "image": {"file": "prog.img", "size": 79, "header": true, "bootInfo": true, "boot": 59,
           "bootCommand": "bootend", "start": 20},
 "files": [{"path": "/src/prog.tvs", "name": "prog.tvs"}],
 "labels": [
  {"name": "table", "value": 6, "file": 0, "line": 2},
  {"name": "io.port", "value": 32, "file": 0, "line": 9},
  {"name": "main", "value": 4096, "file": 0, "line": 13},
  {"name": "after", "value": 4113, "file": 0, "line": 17}],
 "spans": [
  {"address": 0, "position": 20, "size": 6, "kind": "instruction", "instruction": "jmp", "file": 0, "line": 1},
  {"address": 6, "position": 26, "size": 4, "kind": "data", "valueKind": "2i", "file": 0, "line": 2},
  {"address": 10, "position": 30, "size": 8, "kind": "data", "valueKind": "8f", "file": 0, "line": 3},
  {"address": 18, "position": 38, "size": 4, "kind": "string", "valueKind": "0s", "file": 0, "line": 4},
  {"address": 22, "position": 42, "size": 4, "kind": "string", "valueKind": "1s", "file": 0, "line": 5},
  {"address": 26, "position": 46, "size": 3, "kind": "string", "valueKind": "ns", "file": 0, "line": 6},
  {"address": 29, "position": 49, "size": 3, "kind": "reserve", "file": 0, "line": 7},
  {"address": 32, "position": 52, "size": 8, "kind": "data", "valueKind": "4i", "file": 0, "line": 9},
  {"address": 40, "position": 60, "size": 7, "kind": "skip", "valueKind": "2u", "file": 0, "line": 11},
  {"address": 4096, "position": 67, "size": 10, "kind": "instruction", "instruction": "add", "file": 0, "line": 13},
  {"address": 4106, "position": 77, "size": 2, "kind": "includebin", "file": 0, "line": 14},
  {"address": 4108, "position": 79, "size": 5, "kind": "reserve", "file": 0, "line": 16}]})";

TEST_F(RoundTrip, DisWithAMapRestoresDataLabelsNamespacesAndOffsets) {
  Write("bin.dat", "AB");
  Write("prog.tvs", "        jmp ^main\n"
                    "table:  data2i -2, 300\n"
                    "        data8f 2.5\n"
                    "        data0s \"ab\", \"\"\n"
                    "        data1s \"xyz\"\n"
                    "        datans \"raw\"\n"
                    "        reserve 3\n"
                    "namespace io\n"
                    "port:   data4i &table, &io.port\n"
                    "end\n"
                    "        skip2u 1, 2\n"
                    "        offset 0x1000\n"
                    "main:   add ^io.port, &7\n"
                    "        includebin \"bin.dat\"\n"
                    "        bootend\n"
                    "        reserve 5\n"
                    "after:\n");
  ASSERT_EQ(Run({"prog.tvs", "prog.img"}).status, 0);
  Write("prog.map", kMap);
  Lines source = SourceLines(ExpectSameImage("prog.img", {"--map", "prog.map"}));
  EXPECT_EQ(Lines(source.begin() + 3, source.end()),
            (Lines{"        jmp ^main                       ; 00000000 @ 00000014",
                   "table:                                  ; 00000006 @ 0000001a",
                   "        data2i -2, 300                  ; 00000006 @ 0000001a",
                   "        data8f 2.5                      ; 0000000a @ 0000001e",
                   "        data0s \"ab\"                     ; 00000012 @ 00000026",
                   "        data0s \"\"                       ; 00000015 @ 00000029",
                   "        data1s \"xyz\"                    ; 00000016 @ 0000002a",
                   "        datans \"raw\"                    ; 0000001a @ 0000002e",
                   "        reserve 3                       ; 0000001d @ 00000031",
                   "namespace io                            ; 00000020 @ 00000034",
                   "port:                                   ; 00000020 @ 00000034",
                   "end                                     ; 00000020 @ 00000034",
                   "        data4i &table, &io.port         ; 00000020 @ 00000034",
                   "        skip2u 1, 2                     ; 00000028 @ 0000003c",
                   "        offset 0x1000                   ; 00001000 @ 00000043",
                   "main:                                   ; 00001000 @ 00000043",
                   "        add ^io.port, &7                ; 00001000 @ 00000043",
                   "        data1u 0x41, 0x42               ; 0000100a @ 0000004d",
                   "        bootend                         ; 0000100c @ 0000004f",
                   "        reserve 5                       ; 0000100c @ 0000004f",
                   "after:                                  ; 00001011 @ 00000054"}));
}

// A data line and a skip block of every kind, with the map of their spans.
TEST_F(RoundTrip, DisWithAMapKeepsDataAndSkipBlocksOfEveryKind) {
  struct Kind {
    const char *name;
    const char *values;
    int size;
  } kinds[] = {{"1u", "1, 255", 2},        {"2u", "2, 65535", 4},       {"4u", "3, 7", 8},
               {"8u", "4, 9", 16},         {"1i", "-1, 5", 2},          {"2i", "-2, 6", 4},
               {"4i", "-3, 7", 8},         {"8i", "-4, 8", 16},         {"4f", "1.5, -0.0", 8},
               {"8f", "2.25, 1e999", 16},  {"0s", "\"ab\", \"\"", 4}, {"1s", "\"ab\", \"\"", 4},
               {"2s", "\"ab\", \"\"", 6}, {"4s", "\"ab\", \"\"", 10}, {"ns", "\"ab\", \"c\"", 3}};
  std::string source;
  std::string spans;
  int position = 0;
  int line = 0;
  auto span = [&](const char *kind, const char *valueKind, int size) {
    spans += std::string(spans.empty() ? "" : ",\n") + "{\"address\": " + std::to_string(position) +
             ", \"position\": " + std::to_string(position) + ", \"size\": " + std::to_string(size) +
             ", \"kind\": \"" + kind + "\", \"valueKind\": \"" + valueKind +
             "\", \"file\": 0, \"line\": " + std::to_string(++line) + "}";
    position += size;
  };
  for (const Kind &kind : kinds) {
    source += std::string("data") + kind.name + " " + kind.values + "\n";
    span(kind.name[1] == 's' ? "string" : "data", kind.name, kind.size);
    source += std::string("skip") + kind.name + " " + kind.values + "\n";
    span("skip", kind.name, 3 + kind.size);
  }
  Write("prog.tvs", source);
  ASSERT_EQ(Run({"prog.tvs", "prog.img", "-nodisk", "-nobootinfo"}).status, 0);
  ASSERT_EQ(Read("prog.img").size(), static_cast<std::size_t>(position));
  Write("prog.map", "{\"version\": 1, \"image\": {\"file\": \"prog.img\", \"size\": " +
                        std::to_string(position) +
                        ", \"header\": false, \"bootInfo\": false, \"boot\": 0, \"start\": 0},"
                        " \"files\": [{\"path\": \"prog.tvs\", \"name\": \"prog.tvs\"}],"
                        " \"labels\": [], \"spans\": [" + spans + "]}");
  Lines lines = SourceLines(ExpectSameImage("prog.img", {"--map", "prog.map"}, {"-nodisk", "-nobootinfo"}));
  for (const Kind &kind : kinds) {
    for (const char *family : {"        data", "        skip"}) {
      std::string statement = family + std::string(kind.name) + " ";
      bool found = false;
      for (const std::string &text : lines)
        found = found || text.rfind(statement, 0) == 0;
      EXPECT_TRUE(found) << statement;
    }
  }
}

TEST_F(RoundTrip, DisPlacesLabelsNoStatementStartsAt) {
  Write("odd.tvs", "push &1\ndatans \"abcd\"\noffset 100\nnop\n");
  ASSERT_EQ(Run({"odd.tvs", "odd.img", "-nodisk", "-nobootinfo"}).status, 0);
  // A label inside a string, two at a parameter (one dotted), one at the
  // end of the part before an address jump, one where no byte is, names
  // no source can use, and a span whose bytes are not what it says.
  Write("odd.map", R"({"version": 1,
 "image": {"file": null, "size": 12, "header": false, "bootInfo": false, "boot": 0, "start": 0},
 "files": [{"path": "odd.tvs", "name": "odd.tvs"}],
 "labels": [
  {"name": "mid", "value": 8, "file": 0, "line": 2},
  {"name": "p", "value": 2, "file": 0, "line": 1},
  {"name": "a.b.c", "value": 2, "file": 0, "line": 1},
  {"name": "gap", "value": 10, "file": 0, "line": 3},
  {"name": "far", "value": 5000, "file": 0, "line": 3},
  {"name": "else", "value": 0, "file": 0, "line": 1},
  {"name": "x..y", "value": 0, "file": 0, "line": 1}],
 "spans": [
  {"address": 0, "position": 0, "size": 6, "kind": "instruction", "instruction": "PUSH", "file": 0, "line": 1},
  {"address": 6, "position": 6, "size": 4, "kind": "instruction", "instruction": "nop", "file": 0, "line": 2},
  {"address": 100, "position": 10, "size": 2, "kind": "instruction", "instruction": "nop", "file": 0, "line": 4}]})");
  RunResult dis = RunProgram("ferrox-dis", {"odd.img", "--map=odd.map", "-o", "-"});
  EXPECT_EQ(dis.errorLines,
            Lines{"ferrox-dis: warning: spans[1] at position 0x6 does not hold what it "
                  "names; written as bytes"});
  EXPECT_EQ(Lines(dis.lines.begin() + 3, dis.lines.end()),
            (Lines{"        offset 0x2                      ; 00000000 @ 00000000",
                   "namespace a                             ; 00000002 @ 00000000",
                   "namespace b                             ; 00000002 @ 00000000",
                   "c:                                      ; 00000002 @ 00000000",
                   "end                                     ; 00000002 @ 00000000",
                   "end                                     ; 00000002 @ 00000000",
                   "        offset 0x0                      ; 00000002 @ 00000000",
                   "        push p: &1                      ; 00000000 @ 00000000",
                   "        data1u 0x61, 0x62               ; 00000006 @ 00000006",
                   "mid:                                    ; 00000008 @ 00000008",
                   "        data1u 0x63, 0x64               ; 00000008 @ 00000008",
                   "gap:                                    ; 0000000a @ 0000000a",
                   "        offset 0x1388                   ; 0000000a @ 0000000a",
                   "far:                                    ; 00001388 @ 0000000a",
                   "        offset 0xa                      ; 00001388 @ 0000000a",
                   "        offset 0x64                     ; 00000064 @ 0000000a",
                   "        nop                             ; 00000064 @ 0000000a"}));
  ExpectSameImage("odd.img", {"--map", "odd.map"}, {"-nodisk", "-nobootinfo"});
}

TEST_F(RoundTrip, DisLeavesWhatStdTvhPlacesToIt) {
  Install("std.tvh", "shared: data1u 7\n");
  Write("prog.tvs", "jmp ^shared\n");
  ASSERT_EQ(Run({"prog.tvs", "prog.img", "-nodisk", "-nobootinfo"}).status, 0);
  Write("prog.map", R"({"version": 1,
 "image": {"file": "prog.img", "size": 7, "header": false, "bootInfo": false, "boot": 0, "start": 0},
 "files": [{"path": "/opt/ferrox/std.tvh", "name": "std.tvh"}, {"path": "prog.tvs", "name": "prog.tvs"}],
 "labels": [{"name": "shared", "value": 0, "file": 0, "line": 1}],
 "spans": [
  {"address": 0, "position": 0, "size": 1, "kind": "data", "valueKind": "1u", "file": 0, "line": 1},
  {"address": 1, "position": 1, "size": 6, "kind": "instruction", "instruction": "jmp", "file": 1, "line": 1}]})");
  Lines source = SourceLines(ExpectSameImage("prog.img", {"--map", "prog.map"}, {"-nodisk", "-nobootinfo"}));
  EXPECT_EQ(Lines(source.begin() + 3, source.end()),
            Lines{"        jmp ^shared                     ; 00000001 @ 00000001"});
}

// ferrox writes reserved bytes only when written bytes follow: a map that
// puts them last in the file has them written as data.
TEST_F(RoundTrip, DisWritesReservedBytesThatEndTheFileAsData) {
  Write("z.img", std::string("\x01\0\0", 3));
  Write("z.map", R"({"version": 1,
 "image": {"file": "z.img", "size": 3, "header": false, "bootInfo": false, "boot": 0, "start": 0},
 "files": [], "labels": [],
 "spans": [{"address": 0, "position": 0, "size": 1, "kind": "data", "valueKind": "1u", "file": 0, "line": 1},
           {"address": 1, "position": 1, "size": 2, "kind": "reserve", "file": 0, "line": 2}]})");
  RunResult dis = RunProgram("ferrox-dis", {"z.img", "--map", "z.map", "-nodisk", "-nobootinfo"});
  EXPECT_EQ(dis.errorLines, Lines{"ferrox-dis: warning: the reserved bytes at position 0x1 end "
                                  "the file; written as data"});
  ExpectSameImage("z.img", {"--map", "z.map"}, {"-nodisk", "-nobootinfo"});
}

TEST_F(Ferrox, DisRefusesMapsOutsideTheSchemaOrOfAnotherImage) {
  Write("prog.tvs", "nop\nnop\n");
  ASSERT_EQ(Run({"prog.tvs", "prog.img"}).status, 0);
  const std::string image =
      R"("image": {"file": "prog.img", "size": 24, "header": true, "bootInfo": true,
                   "boot": 4294967295, "start": 20})";
  const std::string empty = R"("files": [], "labels": [], "spans": [])";
  const std::string span = R"({"address": 0, "position": 20, "size": 2, "kind": "instruction", "file": 0, "line": 1})";
  for (const auto &[map, message] : std::vector<std::pair<std::string, std::string>>{
           {"{\"version\": 1, " + image + "}", "files is missing"},
           {"{\"version\": 2, " + image + ", " + empty + "}", "version is out of range"},
           {"{\"version\": 1, \"extra\": 0, " + image + ", " + empty + "}",
            "extra is not a property of the map"},
           {"{\"version\": 1, " + image + ", \"files\": [], \"labels\": [], \"spans\": [" +
                span.substr(0, span.size() - 1) + ", \"kind\": \"code\"}]}",
            "spans[0].kind appears twice"},
           {"{\"version\": 1, " + image + ", \"files\": [], \"labels\": [{\"name\": 5}], "
            "\"spans\": []}",
            "labels[0].value is missing"},
           {"{\"version\": 1, " + image + ", " + empty + "", "line 2: \",\" or \"}\" expected"},
           {"{\"version\": 1, " + image + ", \"files\": [], \"labels\": [], \"spans\": [" + span +
                ", " + span + "]}",
            "prog.map is not the map of prog.img: it does not fit the image: spans[1] begins "
            "before the end of the span before it"},
           {"{\"version\": 1, " + image.substr(0, image.find("24")) + "25" +
                image.substr(image.find("24") + 2) + ", " + empty + "}",
            "prog.map is not the map of prog.img: it gives the image 25 bytes, not 24"}}) {
    Write("prog.map", map);
    RunResult result = RunProgram("ferrox-dis", {"prog.img", "--map", "prog.map"});
    EXPECT_EQ(result.status, 1) << map;
    ASSERT_EQ(result.errorLines.size(), 1u) << map;
    std::string expected = message.rfind("prog.map is", 0) == 0 ? "ferrox-dis: " + message
                                                                  : "ferrox-dis: prog.map: " + message;
    EXPECT_EQ(result.errorLines[0], expected);
    EXPECT_EQ(result.output, "");
  }
  Write("prog.map", "{\"version\": 1, " + image + ", " + empty + "}");
  EXPECT_EQ(RunProgram("ferrox-dis", {"prog.img", "--map", "prog.map", "-nodisk"}).errorLines,
            Lines{"ferrox-dis: prog.map: the map gives the image a disk header, but -nodisk "
                  "was given"});
}

TEST_F(Ferrox, DisFollowsTheUsualCommandLineConventions) {
  Write("prog.tvs", "nop\n");
  ASSERT_EQ(Run({"prog.tvs", "prog.img", "-nodisk"}).status, 0);
  RunResult help = RunProgram("ferrox-dis", {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.lines[0], "Usage: ferrox-dis IMAGE [--map FILE] [--instructions FILE] [-nodisk]");
  EXPECT_EQ(RunProgram("ferrox-dis", {"--version"}).lines, Lines{"ferrox-dis (ferrox) 1.0.1"});
  for (const auto &[args, message] :
       std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{}, "missing image operand"},
           {{"a.img", "b.img"}, "extra operand 'b.img'"},
           {{"a.img", "--mapfile"}, "unrecognized option '--mapfile'"},
           {{"a.img", "--map"}, "option '--map' requires an argument"},
           {{"a.img", "-o"}, "option '-o' requires an argument"}}) {
    RunResult result = RunProgram("ferrox-dis", args);
    EXPECT_EQ(result.status, 2) << message;
    EXPECT_EQ(result.errorLines,
              (Lines{"ferrox-dis: " + message, "Try 'ferrox-dis --help' for more information."}));
  }
  for (const auto &[args, message] :
       std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"none.img"}, "cannot read none.img"},
           {{"prog.img"}, "prog.img has no disk header (an image without one needs -nodisk)"},
           {{"prog.img", "-nodisk", "--instructions", "none.okl"}, "none.okl: cannot be read"},
           {{"prog.img", "-nodisk", "-o", "no/such/dir/x.tvs"}, "cannot write no/such/dir/x.tvs"}}) {
    RunResult result = RunProgram("ferrox-dis", args);
    EXPECT_EQ(result.status, 1) << message;
    EXPECT_EQ(result.errorLines, Lines{"ferrox-dis: " + message});
  }
  Write("set.okl", "nop 0 0;\n");
  RunResult given = RunProgram("ferrox-dis", {"-NODISK", "prog.img", "--instructions=set.okl"});
  EXPECT_EQ(given.status, 0) << given.errors;
  EXPECT_EQ(given.lines.back(), "        nop                             ; 00000000 @ 00000004");
}

} // namespace
