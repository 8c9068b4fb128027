// Runs window tests inside a QApplication on the session's X display (a virtual one under
// ./dev test), so focus, grabs and synthetic input behave as they do for a user. Endless
// animations are off: under software rendering they would slow every query of a window or page.
#include <QApplication>

#include <gtest/gtest.h>

#include "platform/ui/animations.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The build lists the cases to register them with CTest, outside any display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  tessra::platform::setAnimationsEnabled(false);
  return RUN_ALL_TESTS();
}
