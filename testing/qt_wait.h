// Waits for a widget or event-loop condition inside a GoogleTest case.
//
// QTest's own QTRY_ and QVERIFY macros report to QTest's logger, which a GoogleTest case never
// reads: a wait that timed out would pass silently. These fail the case instead. The event loop
// runs while they wait, so queued signals, timers and paints happen.
#pragma once

#include <QTest>

#include <gtest/gtest.h>

// Fails the case when `condition` does not hold within `timeoutMs` milliseconds.
#define ASSERT_EVENTUALLY(condition, timeoutMs)                                           \
  ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, (timeoutMs))) \
      << "still false after " << (timeoutMs) << " ms: " #condition

// Waits until `actual == expected`, then checks it, so a failure shows both values.
#define ASSERT_EVENTUALLY_EQ(actual, expected, timeoutMs)                       \
  do {                                                                          \
    (void)QTest::qWaitFor([&] { return (actual) == (expected); }, (timeoutMs)); \
    ASSERT_EQ(actual, expected) << "after waiting " << (timeoutMs) << " ms";    \
  } while (false)
