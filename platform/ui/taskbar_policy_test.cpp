#include "platform/ui/taskbar_policy.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace tessra::platform {
namespace {

using Policy = TaskbarPolicy::Policy;

TEST(TaskbarPolicyTest, CountsWindowsInAndOutNeverBelowZero) {
  TaskbarPolicy& policy = TaskbarPolicy::shared();
  ASSERT_EQ(policy.openWindowCount(), 0);
  QSignalSpy changes(&policy, &TaskbarPolicy::policyChanged);

  policy.countDown();  // the start: nothing counted, accessory
  EXPECT_EQ(policy.openWindowCount(), 0);
  EXPECT_EQ(policy.policy(), Policy::accessory);
  policy.countUp();
  policy.countUp();
  EXPECT_EQ(policy.openWindowCount(), 2);
  EXPECT_EQ(policy.policy(), Policy::regular);
  policy.countDown();
  EXPECT_EQ(policy.policy(), Policy::regular) << "one window still needs the entry";
  policy.countDown();
  policy.countDown();
  EXPECT_EQ(policy.openWindowCount(), 0);
  EXPECT_EQ(policy.policy(), Policy::accessory);
  EXPECT_EQ(changes.size(), 2);
}

std::string atomName(xcb_connection_t* c, xcb_atom_t atom) {
  std::unique_ptr<xcb_get_atom_name_reply_t, decltype(&std::free)> reply(
      xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr), &std::free);
  if (!reply) return {};
  return std::string(xcb_get_atom_name_name(reply.get()),
                     static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
}

TEST(TaskbarPolicyTest, KeptOffTheTaskbarAfterTheFirstShow) {
  QWidget window;
  window.setWindowFlag(Qt::WindowStaysOnTopHint);
  window.resize(100, 100);
  TaskbarPolicy::keepOffTaskbar(&window);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11->connection();
  const auto state = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, 13, "_NET_WM_STATE"), nullptr);
  ASSERT_NE(state, nullptr);
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
      xcb_get_property_reply(c,
                             xcb_get_property(c, 0, static_cast<xcb_window_t>(window.winId()),
                                              state->atom, XCB_ATOM_ATOM, 0, 32),
                             nullptr),
      &std::free);
  std::free(state);
  ASSERT_NE(reply, nullptr);
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  std::set<std::string> names;
  for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i)
    names.insert(atomName(c, atoms[i]));
  EXPECT_TRUE(names.contains("_NET_WM_STATE_SKIP_TASKBAR"));
  EXPECT_TRUE(names.contains("_NET_WM_STATE_SKIP_PAGER"));
  EXPECT_TRUE(names.contains("_NET_WM_STATE_ABOVE")) << "Qt's own states stay";
}

}  // namespace
}  // namespace tessra::platform
