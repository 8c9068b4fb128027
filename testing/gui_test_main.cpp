// Runs window tests inside a QApplication on the session's X display (a virtual one under
// ./dev test), so focus, grabs and synthetic input behave as they do for a user.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The build lists the cases to register them with CTest, outside any display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
