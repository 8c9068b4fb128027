#include "platform/ui/global_event_monitor.h"

#include <xcb/xtest.h>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/ui/x11_connection.h"

namespace tessra::platform {
namespace {

// Presses buttons as the X server's test extension does: as if the user had, in no window of
// ours (the test shows none).
class FakePointer {
 public:
  void moveTo(int x, int y) {
    xcb_test_fake_input(m_x.get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_x.rootWindow(), x, y,
                        0);
    xcb_flush(m_x.get());
  }
  void click(std::uint8_t button) {
    xcb_test_fake_input(m_x.get(), XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(m_x.get(), XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(m_x.get());
  }

 private:
  X11Connection m_x;
};

TEST(GlobalEventMonitorTest, ReportsPressesOfTheMaskAnywhere) {
  std::vector<GlobalMouseEvent> seen;
  GlobalEventMonitor monitor(GlobalEventMonitor::leftMouseDown,
                             [&](const GlobalMouseEvent& event) { seen.push_back(event); });
  FakePointer pointer;
  pointer.click(1);
  QTest::qWait(50);  // a check that nothing happens: no monitor reports before start()
  EXPECT_TRUE(seen.empty()) << "nothing is watched before start()";

  ASSERT_TRUE(monitor.start());
  ASSERT_TRUE(monitor.start()) << "a running monitor stays as it is";
  pointer.moveTo(321, 123);
  pointer.click(3);  // right: not in the mask
  pointer.click(4);  // the wheel is never a press
  pointer.click(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !seen.empty(); }, 5000));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].button, Qt::LeftButton);
  EXPECT_EQ(seen[0].globalPosition, QPoint(321, 123));

  monitor.stop();
  monitor.stop();
  pointer.click(1);
  QTest::qWait(100);  // a check that nothing happens: a stopped monitor reports nothing
  EXPECT_EQ(seen.size(), 1u);
}

TEST(GlobalEventMonitorTest, MayBeDestroyedByItsOwnHandler) {
  std::unique_ptr<GlobalEventMonitor> monitor;
  int calls = 0;
  monitor = std::make_unique<GlobalEventMonitor>(
      GlobalEventMonitor::leftMouseDown | GlobalEventMonitor::rightMouseDown,
      [&](const GlobalMouseEvent&) {
        ++calls;
        monitor.reset();
      });
  ASSERT_TRUE(monitor->start());
  FakePointer pointer;
  pointer.click(1);
  pointer.click(3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return monitor == nullptr; }, 5000));
  QTest::qWait(100);  // a check that nothing happens: the second press reaches no handler
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace tessra::platform
