//===- tests/labels_test.cpp - Labels, namespaces and fix-ups -------------===//

#include "tests/harness.h"

namespace {

TEST_F(Ferrox, LabelsUsedBeforeTheirDefinitionArePatched) {
  std::string source = "data4i &fwd, &start\nstart: data1u 5\nfwd:\n";
  RunResult result = Assemble(source, {"-nodisk", "-nobootinfo"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Read("out.img"), Hex("09000000 08000000 05"));
  EXPECT_EQ(Normalized(result.lines),
            Report(0, 0, 0, 2, 2, 3, 2, static_cast<int>(source.size()), 9, 0));
}

TEST_F(Ferrox, PatchesLandAfterHeaderBootFieldAndReservedSpace) {
  RunResult result = Assemble("reserve 2\ndata4i &end\nend:\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Read("out.img"),
            "Tavrune Disk 10a" + Hex("ffffffff 0000 06000000"));
}

TEST_F(Ferrox, LookupGoesFromTheNamespaceOutward) {
  EXPECT_EQ(Bytes("x: data1u 1\n"
                  "namespace a\n y: data1u 2\n"
                  " namespace b\n  z: data1u 3\n"
                  "  data4i &x, &y, &z, &b.z, &a.b.z, &A.B.Z\n"
                  " end\n"
                  " data4i &b.z\n"
                  "end\n"
                  "data4i &a.y, &a.b.z\n"),
            Hex("01 02 03 00000000 01000000 02000000 02000000 02000000 "
                "02000000 02000000 01000000 02000000"));
}

TEST_F(Ferrox, InnerLabelsMayNotHideOuterOnesButOuterMayFollowInner) {
  RunResult hide = Assemble("x: data1u 1\nnamespace a\nx: data1u 2\nend\n");
  EXPECT_EQ(Messages(hide.lines),
            Lines{"prog.src (3): error 904: \"a.x\" label conflicts with \"x\""});
  EXPECT_EQ(Bytes("namespace a\nx: data1u 2\nend\nx: data1u 3\n"
                  "namespace a\ndata4i &x\nend\ndata4i &x"),
            Hex("02 03 00000000 01000000"));
}

TEST_F(Ferrox, RedefinitionReportsTheNameAsWrittenAndStillAssembles) {
  RunResult result = Assemble("start: data1u 1\nSTART: data1u 2\n", {"-nodisk"});
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (2): error 904: \"START\" label already defined"});
  EXPECT_EQ(Normalized(result.lines)[3], "Labels       : defined - 1, used - 0");
}

TEST_F(Ferrox, ParameterLabelsEndTheirCommandWhenTheyClash) {
  RunResult result = Assemble("a: data1u 1\ndata1u 2, a: 3, 4\ndata4i &a\n");
  EXPECT_EQ(Messages(result.lines),
            Lines{"prog.src (2): error 904: \"a\" label already defined"});
}

TEST_F(Ferrox, NamespaceCommands) {
  RunResult end = Assemble("end\n");
  EXPECT_EQ(Messages(end.lines),
            Lines{"prog.src (1): error 902: No namespace to end"});
  RunResult open = Assemble("namespace a\nnamespace b\ndata1u 1\n");
  EXPECT_EQ(Messages(open.lines),
            Lines{"Error 903: \"a.b\" unclosed namespace"});
  EXPECT_FALSE(Exists("out.img"));
  RunResult dotted = Assemble("namespace a.b\nx:\nend\ndata4i &a.x\n");
  EXPECT_EQ(Messages(dotted.lines),
            Lines{"prog.src (1): error 502: End of line expected"});
  RunResult extra = Assemble("namespace a\nend a\n");
  EXPECT_EQ(Messages(extra.lines),
            Lines{"prog.src (2): error 502: End of line expected"});
}

TEST_F(Ferrox, AnonymousNamespacesKeepTheirLabelsInside) {
  EXPECT_EQ(Bytes("namespace\nx: data1u 1\ndata4i &x\nend\n"
                  "namespace\nx: data1u 2\nend"),
            Hex("01 00000000 02"));
  RunResult outside = Assemble("namespace\nhidden:\nend\ndata4i &hidden\n");
  EXPECT_EQ(Messages(outside.lines),
            Lines{"prog.src (4): error 905: \"hidden\" label used without being "
                  "defined"});
}

TEST_F(Ferrox, FixupsResolveAgainstTheFinalTable) {
  EXPECT_EQ(Bytes("namespace a\ndata4i &y\nend\ndata1u 0\ny:\n"),
            Hex("05000000 00"));
}

TEST_F(Ferrox, EveryUnresolvedUseIsReportedAtItsOwnLine) {
  RunResult result = Assemble("data4i &gone\ndata1u 1\ndata4i &gone, &a.gone\n");
  EXPECT_EQ(Messages(result.lines),
            (Lines{"prog.src (1): error 905: \"gone\" label used without being "
                   "defined",
                   "prog.src (3): error 905: \"gone\" label used without being "
                   "defined",
                   "prog.src (3): error 905: \"a.gone\" label used without being "
                   "defined"}));
  EXPECT_EQ(Normalized(result.lines)[5], "Labels       : defined - 0, used - 3");
}

} // namespace
