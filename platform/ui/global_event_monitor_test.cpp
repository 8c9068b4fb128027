#include "platform/ui/global_event_monitor.h"

#include <xcb/xtest.h>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/x11_connection.h"
#include "testing/fake_keyboard.h"

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

// The shortcut that shows a window holds the keys typed right after it with a grab of the whole
// keyboard, until the window has the focus: the keys the user presses meanwhile still say where
// the keyboard goes. Only what sends it somewhere ends the keep: a key a desktop opens its menu on
// when pressed alone (Super), not Shift or Alt alone, nor Super in a chord with a key held before
// it (the shortcut's own Alt too), nor a pointer nudged inside its window.
TEST(GlobalEventMonitorTest, KeepsTheKeyboardUntilTheUserSendsItElsewhereThoughAGrabHoldsTheKeys) {
  QWindow window;
  window.setGeometry(0, 0, 200, 100);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const auto kept = static_cast<xcb_window_t>(window.winId());
  // Another client, with a window of its own, that grabs the keyboard and moves the focus.
  X11Connection other;
  xcb_connection_t* c = other.get();
  const xcb_window_t elsewhere = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, elsewhere, other.rootWindow(), 300, 0, 100, 100, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_map_window(c, elsewhere);
  const auto focused = [c] {
    xcb_get_input_focus_reply_t* reply =
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const xcb_window_t focus = reply != nullptr ? reply->focus : XCB_NONE;
    std::free(reply);
    return focus;
  };
  const auto handOn = [&] {
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, elsewhere, XCB_CURRENT_TIME);
    xcb_flush(c);
  };
  testing::FakeKeyboard keyboard;
  FakePointer pointer;
  // The pointer rests on the other window as the shortcut is pressed.
  pointer.moveTo(350, 50);

  // Grabbed as the shortcut is pressed, before the window is shown and takes the keyboard.
  xcb_grab_keyboard_reply_t* grab =
      xcb_grab_keyboard_reply(c,
                              xcb_grab_keyboard(c, 0, other.rootWindow(), XCB_CURRENT_TIME,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                              nullptr);
  ASSERT_TRUE(grab != nullptr && grab->status == XCB_GRAB_STATUS_SUCCESS);
  std::free(grab);
  GlobalEventMonitor monitor(GlobalEventMonitor::leftMouseDown, [](const GlobalMouseEvent&) {});
  ASSERT_TRUE(monitor.start());
  // The shortcut's Alt is still held as the window shows.
  keyboard.press({"LALT"});
  monitor.keepKeyboardIn(&window, std::chrono::minutes(1));
  xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, kept, XCB_CURRENT_TIME);
  ASSERT_EQ(focused(), kept);

  // Handed on a moment after what the user did, which sent the keyboard nowhere: taken back.
  const struct {
    const char* what;
    std::function<void()> does;
  } stays[] = {
      {"Super tapped while the shortcut's Alt is held",
       [&] {
         keyboard.tap({"LWIN"});
         keyboard.release({"LALT"});
       }},
      {"nothing", [] {}},
      {"Shift alone", [&] { keyboard.tap({"LFSH"}); }},
      {"Alt alone", [&] { keyboard.tap({"LALT"}); }},
      {"the pointer nudged inside the window it was over", [&] { pointer.moveTo(352, 51); }},
      {"Super tapped while Shift is held",
       [&] {
         keyboard.press({"LFSH"});
         keyboard.tap({"LWIN"});
         keyboard.release({"LFSH"});
       }},
      {"Super tapped while Ctrl is held",
       [&] {
         keyboard.press({"LCTL"});
         keyboard.tap({"LWIN"});
         keyboard.release({"LCTL"});
       }},
  };
  for (const auto& [what, does] : stays) {
    SCOPED_TRACE(what);
    does();
    handOn();
    ASSERT_TRUE(QTest::qWaitFor([&] { return focused() == kept; }, 5000));
  }
  // Super alone, on which a desktop opens its menu: the focus goes there and stays.
  keyboard.tap({"LWIN"});
  handOn();
  // A check that nothing happens: the hand-overs above were taken back within milliseconds.
  QTest::qWait(300);
  EXPECT_EQ(focused(), elsewhere);
}

}  // namespace
}  // namespace tessra::platform
