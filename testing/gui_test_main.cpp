// Runs window tests inside a QApplication on the session's X display (a virtual one under
// ./dev test), so focus, grabs and synthetic input behave as they do for a user. Endless
// animations are off: under software rendering they would slow every query of a window or page.
#include <QApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/foundation/logger.h"
#include "platform/ui/animations.h"
#include "platform/ui/x11_connection.h"

namespace {

// Qt ends the process when its first connection is refused. On a loaded machine the session's
// display has refused one now and then for a moment, so a case waits for it instead.
void waitForTheDisplay() {
  using namespace std::chrono_literals;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  int refusals = 0;
  while (!tessra::platform::X11Connection().isValid() &&
         std::chrono::steady_clock::now() < deadline) {
    ++refusals;
    std::this_thread::sleep_for(200ms);
  }
  if (refusals > 0)
    tessra::platform::logInfo("The display refused {} connections before this test", refusals);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The build lists the cases to register them with CTest, outside any display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  qputenv("QT_QPA_PLATFORM", "xcb");
  waitForTheDisplay();
  QApplication app(argc, argv);
  tessra::platform::setAnimationsEnabled(false);
  return RUN_ALL_TESTS();
}
