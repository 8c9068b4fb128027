// The rules that keep a GoogleTest case's waits and checks able to fail, read off a source file.
//
// QTest's checking macros (QTRY_*, QVERIFY*, QCOMPARE*, QFAIL, QSKIP) report to QTest's own
// logger, which a GoogleTest case never reads, and return from the function: a wait that timed
// out or a comparison that failed leaves the case PASSED with the rest of it skipped. A GoogleTest
// source waits with ASSERT_EVENTUALLY (testing/qt_wait.h) instead. A plain `QTest::qWait(...)` is
// a sleep, and a sleep waits for nothing in particular; it stays only where it is a check that
// nothing happens meanwhile, and then a comment on its line or in the comment lines just above it
// says so and why: "a check that nothing happens: <why it would have happened by now>".
//
//   for (const WaitRuleBreak& found : waitRuleBreaks(text)) report(found.line, found.what);
//
// Comments, string and character literals (raw strings included) are read as such, so a rule's
// name in a comment or a text is no break.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessra::testing {

struct WaitRuleBreak {
  int line = 0;  // from 1
  std::string what;
};

// Whether `text`, the content of the file at `path`, is built into GoogleTest programs: it
// includes GoogleTest's or GoogleMock's header, or defines a case (TEST, TEST_F, TEST_P,
// TYPED_TEST, TYPED_TEST_P), or it is one of the files only tests build: a file under the
// folder `testing` or one whose name holds "_test" (foo_test.cpp, foo_test_support.h).
bool isGoogleTestSource(std::string_view path, std::string_view text);

// Where `text`, a GoogleTest source, breaks the rules above, in the order of its lines.
std::vector<WaitRuleBreak> waitRuleBreaks(std::string_view text);

}  // namespace tessra::testing
