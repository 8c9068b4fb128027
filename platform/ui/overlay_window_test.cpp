#include "platform/ui/overlay_window.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace tessra::platform {
namespace {

TEST(OverlayWindowTest, TheWindowManagerLeavesItAlone) {
  OverlayWindow window;
  window.setGeometry(100, 100, 200, 100);
  window.setTakesFocusOnShow(false);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11->connection();
  std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
      xcb_get_window_attributes_reply(
          c, xcb_get_window_attributes(c, static_cast<xcb_window_t>(window.winId())), nullptr),
      &std::free);
  ASSERT_NE(attributes, nullptr);
  EXPECT_TRUE(attributes->override_redirect);
  EXPECT_EQ(window.geometry(), QRect(100, 100, 200, 100)) << "placed where we put it";
}

TEST(OverlayWindowTest, RoundsOnlyTheCornersAskedFor) {
  OverlayWindow window;
  window.setTakesFocusOnShow(false);
  window.setGeometry(0, 0, 200, 100);
  window.show();
  window.setRoundedCorners(16, OverlayWindow::topLeft | OverlayWindow::bottomLeft);
  // The native window carries the shape; the widget's own paints stay unclipped.
  EXPECT_TRUE(window.mask().isEmpty());
  const QRegion shape = window.windowHandle()->mask();
  EXPECT_FALSE(shape.contains(QPoint(0, 0)));
  EXPECT_FALSE(shape.contains(QPoint(1, 98)));
  EXPECT_TRUE(shape.contains(QPoint(198, 1)));
  EXPECT_TRUE(shape.contains(QPoint(198, 98)));
  EXPECT_TRUE(shape.contains(QPoint(0, 50)));
  window.resize(300, 100);
  EXPECT_TRUE(window.windowHandle()->mask().contains(QPoint(298, 1)))
      << "the shape follows the size";
  window.setRoundedCorners(0);
  EXPECT_TRUE(window.windowHandle()->mask().isEmpty());
}

}  // namespace
}  // namespace tessra::platform
