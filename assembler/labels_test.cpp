//===- assembler/labels_test.cpp ------------------------------------------===//

#include "assembler/labels.h"

#include "driver/build.h"
#include "driver/diagnostics.h"
#include "image/image_writer.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

class LabelsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetAllState();
    CaptureOutputForTesting(&m_Output);
  }
  void TearDown() override {
    CaptureOutputForTesting(nullptr);
    ResetAllState();
  }

  /// Runs "namespace <name>" (or an anonymous one for an empty name).
  void Open(std::string_view name) {
    CTokenWriter writer;
    if (!name.empty())
      writer.Append(TOKEN_IDENTIFIER, name);
    m_Lines.push_back(std::string(writer.Bytes()));
    CSourceLine line;
    line.SetTokens(m_Lines.back());
    BeginNamespace(line);
  }
  void Close() {
    CSourceLine line;
    EndNamespace(line);
  }
  void Define(std::string_view name, std::int32_t at) {
    SetOffset(at);
    EXPECT_TRUE(DefineLabel(name)) << name;
  }
  std::int32_t ValueFrom(std::string_view nameSpace, std::string_view name) {
    const CLabel *label = FindLabel(nameSpace, name);
    return label != nullptr ? label->value : -1;
  }

  std::string m_Output;
  std::deque<std::string> m_Lines;
};

TEST_F(LabelsTest, LookupWalksOutwardAndTheInnermostMatchWins) {
  Define("x", 1);
  Open("a");
  Define("y", 2);
  Open("b");
  Define("z", 3);
  Close();
  Close();
  Define("y", 4); // an outer label after an inner one of the same name
  EXPECT_EQ(ValueFrom("a.b", "x"), 1);
  EXPECT_EQ(ValueFrom("a.b", "y"), 2);
  EXPECT_EQ(ValueFrom("", "y"), 4);
  EXPECT_EQ(ValueFrom("a", "b.z"), 3);
  EXPECT_EQ(ValueFrom("A.B", "A.B.Z"), 3);
  EXPECT_EQ(ValueFrom("", "a.b.z"), 3);
  EXPECT_EQ(ValueFrom("", "b.z"), -1);
  EXPECT_EQ(ValueFrom("a.never.opened", "y"), 2);
  EXPECT_EQ(m_Output, "");
}

TEST_F(LabelsTest, ReopenedNamespacesShareTheirLabels) {
  Open("Io");
  Define("port", 7);
  Close();
  Open("io");
  EXPECT_FALSE(DefineLabel("PORT"));
  Close();
  EXPECT_EQ(m_Output, "Error 904: \"io.PORT\" label already defined\n");
  EXPECT_EQ(ValueFrom("", "IO.port"), 7);
}

TEST_F(LabelsTest, InnerLabelsMayNotHideOuterOnes) {
  Define("x", 1);
  Open("a");
  Open("b");
  EXPECT_FALSE(DefineLabel("X"));
  EXPECT_EQ(m_Output, "Error 904: \"a.b.X\" label conflicts with \"x\"\n");
}

TEST_F(LabelsTest, AnonymousNamespacesNeverShareLabels) {
  for (int i = 0; i < 3000; ++i) {
    Open("");
    Define("local", i);
    Close();
  }
  EXPECT_EQ(m_Output, "");
  EXPECT_EQ(g_LabelsDefined, 3000);
}

} // namespace
