// The rules of testing/wait_rules.h: on sources planted here, and over the whole checkout, so that
// no GoogleTest case of the project can pass a wait that timed out.
#include "testing/wait_rules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessra::testing {
namespace {

std::vector<int> brokenLines(std::string_view text) {
  std::vector<int> lines;
  for (const WaitRuleBreak& found : waitRuleBreaks(text)) lines.push_back(found.line);
  return lines;
}

TEST(WaitRules, FindEveryWaitThatCannotFailAndNothingElse) {
  const struct {
    const char* name;
    const char* text;
    std::vector<int> lines;
  } cases[] = {
      {"QTest's checks",
       // The retrying checks' names are split so that no reader of this file takes them for
       // waits of its own.
       "QT"
       "RY_VERIFY(done);\nQT"
       "RY_COMPARE_WITH_TIMEOUT(a, 1, 10);\n"
       "  QVERIFY2(ok, \"why\"); QCOMPARE(a, b);\nQFAIL(\"no\");\n",
       {1, 2, 3, 3, 4}},
      {"a bare sleep", "  QTest::qWait(200);\nqWait (5);\n", {1, 2}},
      {"waits that can fail",
       "ASSERT_EVENTUALLY(done, 100);\nQTest::qWaitFor([] { return x; });\n"
       "QTest::qWaitForWindowExposed(&w);\nauto f = &QTest::qWait;\n",
       {}},
      {"names in comments and texts",
       "// QT"
       "RY_VERIFY(x) and qWait(1)\n/* QCOMPARE(a,\n b) */ int x;\n"
       "log(\"QVERIFY(\\\" qWait(2)\");\nchar q = '\"'; QString s = R\"x(QTRY_ \" )\" qWait(3)\n"
       ")x\";\n",
       {}},
      {"code after a raw string and a separator",
       "auto a = R\"(\")\"; QVERIFY(a);\n"
       "int n = 1'000; QCOMPARE(n, 1);\n",
       {1, 2}},
      {"a reason on its line",
       "QTest::qWait(50);  // a check that nothing happens: no click\n",
       {}},
      {"a reason just above, over two lines",
       "x();\n  // A check that nothing\n  // happens: the repeat would have come.\n"
       "  QTest::qWait(700);\n",
       {}},
      {"a reason that names nothing", "// a check that nothing happens:\nQTest::qWait(9);\n", {2}},
      {"a comment that is no reason", "// let it settle\nQTest::qWait(9);\n", {2}},
      {"a reason cut off by a blank line",
       "// a check that nothing happens: none\n\nQTest::qWait(9);\n",
       {3}},
      {"a reason for the line above only",
       "QTest::qWait(9);  // a check that nothing happens: none\nQTest::qWait(9);\n",
       {2}},
  };
  for (const auto& c : cases) EXPECT_EQ(brokenLines(c.text), c.lines) << c.name;
}

TEST(WaitRules, TellGoogleTestSources) {
  const struct {
    const char* path;
    const char* text;
    bool googleTest;
  } cases[] = {
      {"a/case.cpp", "#include <gtest/gtest.h>\n", true},
      {"a/case.cpp", "#  include \"gmock/gmock.h\"\n", true},
      {"a/case.cpp", "namespace {\nTEST_F(Fixture, Holds) {}\n}\n", true},
      {"a/case.cpp", "TYPED_TEST (Typed, Holds) {}\n", true},
      {"a/helper_test_support.h", "void help();\n", true},
      {"testing/wait.cpp", "void help();\n", true},
      {"a/window.cpp", "// A TEST(x, y) would read so; <gtest/gtest.h> is not ours.\n", false},
      {"a/window.cpp", "const char* t = \"#include <gtest/gtest.h>\";\nint TESTS(int);\n", false},
      {"bench/show_bench.cpp", "QTest::qWait(50);\n", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(isGoogleTestSource(c.path, c.text), c.googleTest) << c.path << ": " << c.text;
}

bool isBuildTree(const std::filesystem::path& folder) {
  return std::filesystem::exists(folder / "CMakeCache.txt");
}

// Every C++ source of the checkout that GoogleTest programs build, build folders left out.
TEST(TestSources, EveryWaitInAGoogleTestCaseCanFail) {
  const std::filesystem::path root(TESSRA_SOURCE_ROOT);
  ASSERT_TRUE(std::filesystem::is_directory(root / "testing")) << root;
  int sources = 0;
  std::filesystem::recursive_directory_iterator it(root), end;
  for (; it != end; ++it) {
    const std::filesystem::path& path = it->path();
    if (it->is_directory()) {
      if (path.filename().string().starts_with('.') || isBuildTree(path))
        it.disable_recursion_pending();
      continue;
    }
    const std::string extension = path.extension().string();
    if (extension != ".cpp" && extension != ".h" && extension != ".inc") continue;
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const std::string relative = std::filesystem::relative(path, root).generic_string();
    if (!isGoogleTestSource(relative, text.str())) continue;
    ++sources;
    for (const WaitRuleBreak& found : waitRuleBreaks(text.str()))
      ADD_FAILURE_AT(path.c_str(), found.line) << found.what;
  }
  EXPECT_GT(sources, 100) << "the test sources were not found under " << root;
}

}  // namespace
}  // namespace tessra::testing
