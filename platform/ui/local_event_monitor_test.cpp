#include "platform/ui/local_event_monitor.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

namespace tessra::platform {
namespace {

class LocalEventMonitorTest : public ::testing::Test {
 protected:
  LocalEventMonitorTest() {
    m_edit.resize(200, 30);
    m_edit.winId();  // a native window without showing it: events reach it through Qt
    m_edit.setFocus();
  }

  void type(Qt::Key key) { QTest::keyClick(m_edit.windowHandle(), key); }

  QLineEdit m_edit;
};

TEST_F(LocalEventMonitorTest, KeepsOrSwallowsEachEventAtItsWindow) {
  QList<int> seen;
  LocalEventMonitor monitor({QEvent::KeyPress}, [&](QWindow* window, QEvent* event) {
    EXPECT_EQ(window, m_edit.windowHandle());
    const int key = static_cast<QKeyEvent*>(event)->key();
    seen.append(key);
    return key == Qt::Key_A ? EventDisposition::swallow : EventDisposition::keep;
  });
  type(Qt::Key_B);
  EXPECT_TRUE(seen.isEmpty()) << "nothing is watched before start()";

  monitor.start();
  for (Qt::Key key : {Qt::Key_A, Qt::Key_B, Qt::Key_A, Qt::Key_C}) type(key);
  EXPECT_EQ(m_edit.text(), "bbc");
  // Each press is seen once, at its window, and no release (it is not watched).
  EXPECT_EQ(seen, (QList<int>{Qt::Key_A, Qt::Key_B, Qt::Key_A, Qt::Key_C}));

  monitor.stop();
  type(Qt::Key_A);
  EXPECT_EQ(m_edit.text(), "bbca");
  EXPECT_EQ(seen.size(), 4);
}

TEST_F(LocalEventMonitorTest, ReleasedInsideItsOwnCallback) {
  std::unique_ptr<LocalEventMonitor> monitor;
  int calls = 0;
  monitor = std::make_unique<LocalEventMonitor>(
      QList<QEvent::Type>{QEvent::KeyPress}, [&](QWindow*, QEvent*) {
        ++calls;
        monitor.reset();  // ends recording, as the shortcut recorder does
        return EventDisposition::swallow;
      });
  monitor->start();
  type(Qt::Key_X);
  EXPECT_EQ(monitor, nullptr);
  EXPECT_EQ(m_edit.text(), "") << "the event in hand keeps the callback's answer";
  type(Qt::Key_Y);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(m_edit.text(), "y");
}

TEST_F(LocalEventMonitorTest, TheMonitorStartedLastIsAskedFirst) {
  QStringList order;
  LocalEventMonitor first({QEvent::KeyPress}, [&](QWindow*, QEvent*) {
    order.append("first");
    return EventDisposition::keep;
  });
  LocalEventMonitor second({QEvent::KeyPress}, [&](QWindow*, QEvent*) {
    order.append("second");
    return EventDisposition::swallow;
  });
  first.start();
  second.start().start();  // starting twice installs it once
  type(Qt::Key_Q);
  EXPECT_EQ(order, QStringList{"second"});
  EXPECT_EQ(m_edit.text(), "");
  second.stop();
  type(Qt::Key_Q);
  EXPECT_EQ(order, (QStringList{"second", "first"}));
  EXPECT_EQ(m_edit.text(), "q");
}

}  // namespace
}  // namespace tessra::platform
