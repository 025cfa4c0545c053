//===- assembler/labels_test.cpp ------------------------------------------===//

#include "assembler/labels.h"

#include "assembler/values.h"
#include "driver/build.h"
#include "driver/diagnostics.h"
#include "image/image_writer.h"

#include <gtest/gtest.h>

#include <deque>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

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

TEST_F(LabelsTest, ALabelAddedOutsideAClosedNamespaceIsSeenFromIt) {
  Open("a");
  Open("b");
  Close();
  Define("x", 5); // the first label of "a", after "b" was closed
  Close();
  EXPECT_EQ(ValueFrom("a.b", "x"), 5);
  Open("a");
  Open("b"); // reopened: "x" of "a" now encloses it
  EXPECT_FALSE(DefineLabel("x"));
  EXPECT_EQ(m_Output, "Error 904: \"a.b.x\" label conflicts with \"a.x\"\n");
}

TEST_F(LabelsTest, DeepConflictsNameTheEnclosingLabelAsWritten) {
  Open("Top");
  Define("Name", 1);
  for (int i = 0; i < 20; ++i)
    Open(i % 2 == 0 ? "In" : "in");
  EXPECT_FALSE(DefineLabel("NAME"));
  std::string path = "Top";
  for (int i = 0; i < 20; ++i)
    path += i % 2 == 0 ? ".In" : ".in";
  EXPECT_EQ(m_Output,
            "Error 904: \"" + path + ".NAME\" label conflicts with \"Top.Name\"\n");
}

// Random trees of namespaces, deep enough for every lookup strategy, with
// few names defined in many places: each definition and lookup must agree
// with the plain rule (innermost enclosing namespace first).
TEST_F(LabelsTest, LookupsAtAnyDepthFollowTheOutwardRule) {
  std::mt19937 random(12345);
  auto pick = [&](int n) { return static_cast<int>(random() % n); };
  std::map<std::string, std::map<std::string, int>> model; // path -> labels
  std::vector<std::string> opened{""};
  std::string current;
  auto parentOf = [](const std::string &path) {
    std::size_t dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(0, dot);
  };
  auto lookup = [&](const std::string &from, const std::string &name) {
    std::size_t dot = name.rfind('.');
    std::string qualifier = dot == std::string::npos ? "" : name.substr(0, dot);
    std::string last = name.substr(dot == std::string::npos ? 0 : dot + 1);
    for (std::string level = from;; level = parentOf(level)) {
      std::string full = level;
      if (!qualifier.empty())
        full += (full.empty() ? "" : ".") + qualifier;
      auto labels = model.find(full);
      if (labels != model.end() && labels->second.count(last))
        return labels->second[last];
      if (level.empty())
        return -1;
    }
  };
  // Enough names that most are held by a few namespaces only.
  std::vector<std::string> names;
  for (char c = 'a'; c <= 'z'; ++c)
    names.push_back(std::string("n") + c);
  const char *spaces[] = {"a", "b", "c"};
  int depth = 0;
  for (int step = 0; step < 6000; ++step) {
    int action = pick(10);
    if (action < 4 && depth < 40) {
      std::string child = spaces[pick(3)];
      Open(child);
      current += (current.empty() ? "" : ".") + child;
      opened.push_back(current);
      ++depth;
    } else if (action < 6 && depth > 0) {
      Close();
      current = parentOf(current);
      --depth;
    } else if (action < 8) {
      std::string name = names[pick(26)];
      bool taken = false;
      for (std::string level = current;; level = parentOf(level)) {
        taken = taken || model[level].count(name) != 0;
        if (level.empty())
          break;
      }
      m_Output.clear();
      ASSERT_EQ(DefineLabel(name), !taken) << current << " " << name;
      if (!taken) {
        EXPECT_EQ(ValueFrom(current, name), GetOffset());
        model[current][name] = GetOffset();
      }
    } else if (action < 9) {
      const std::string &from = opened[pick(static_cast<int>(opened.size()))];
      std::string name = names[pick(26)];
      int kind = pick(4);
      if (kind == 0 || kind == 1) {
        name = std::string(spaces[pick(3)]) + "." + name;
      } else if (kind == 2) {
        // A qualifier of several components, as many as the namespaces are
        // deep: a whole path that was opened or its last components, often
        // with one of the path's own labels.
        const std::string &path = opened[pick(static_cast<int>(opened.size()))];
        std::size_t at = path.size();
        for (int parts = pick(40) + 1; parts > 0 && at != std::string::npos; --parts)
          at = at == 0 ? std::string::npos : path.rfind('.', at - 1);
        std::string qualifier = path.substr(at == std::string::npos ? 0 : at + 1);
        auto labels = model.find(path);
        if (labels != model.end() && !labels->second.empty() && pick(2) == 0) {
          auto label = labels->second.begin();
          std::advance(label, pick(static_cast<int>(labels->second.size())));
          name = label->first;
        }
        if (!qualifier.empty())
          name = qualifier + "." + name;
      }
      ASSERT_EQ(ValueFrom(from, name), lookup(from, name)) << from << " " << name;
    } else {
      // A use in the current namespace, as an instruction's parameter
      // makes it: remembered lookups must follow every new label.
      // Written in upper case now and then: the lookup ignores case.
      bool upper = pick(2) == 0;
      std::string qualifier = spaces[pick(3)];
      std::string name = names[pick(26)];
      CTokenWriter writer;
      writer.Append(TOKEN_IDENTIFIER, upper ? std::string(1, qualifier[0] - 32) : qualifier);
      writer.Append(TOKEN_SYMBOL, ".");
      writer.Append(TOKEN_IDENTIFIER, name);
      m_Lines.push_back(std::string(writer.Bytes()));
      CParameter use;
      use.value = m_Lines.back();
      std::string written = qualifier + "." + name;
      std::int32_t value = -1;
      bool found = ReferenceDefinedLabel(use, value);
      int expected = lookup(current, written);
      ASSERT_EQ(found, expected != -1) << current << " " << written;
      if (found) {
        ASSERT_EQ(value, expected) << current << " " << written;
      }
    }
    SetOffset(step + 1);
  }
}

TEST_F(LabelsTest, AUseFailedBeforeItsLabelExistedFindsItAfterwards) {
  auto use = [&](std::string_view qualifier, std::string_view name,
                 std::int32_t &value) {
    CTokenWriter writer;
    writer.Append(TOKEN_IDENTIFIER, qualifier);
    writer.Append(TOKEN_SYMBOL, ".");
    writer.Append(TOKEN_IDENTIFIER, name);
    m_Lines.push_back(std::string(writer.Bytes()));
    CParameter parameter;
    parameter.value = m_Lines.back();
    return ReferenceDefinedLabel(parameter, value);
  };
  Open("a");
  Open("b"); // a.b exists from now on; reopening it adds no namespace
  Close();
  std::int32_t value = -1;
  EXPECT_FALSE(use("b", "x", value));
  EXPECT_FALSE(use("B", "X", value));
  Open("b");
  Define("x", 42);
  Close();
  EXPECT_TRUE(use("b", "x", value));
  EXPECT_EQ(value, 42);
  value = -1;
  EXPECT_TRUE(use("B", "X", value));
  EXPECT_EQ(value, 42);
  Close();
}

} // namespace
