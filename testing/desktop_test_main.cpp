// Runs the tests of what a desktop changes (stacking, focus, the tray, whole-program runs) on a
// small real desktop of their own: a display and a bus with a window manager and a tray, of the
// kind TESSRA_TEST_DESKTOP names, with the monitors TESSRA_TEST_MONITORS asks for. The
// QApplication, and every program or tool a test starts, lives on it.
#include <QApplication>

#include <gtest/gtest.h>

#include "testing/test_desktop.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The build lists the cases to register them with CTest, outside any display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  tessra::testing::TestDesktop desktop(tessra::testing::TestDesktop::optionsFromEnvironment());
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
