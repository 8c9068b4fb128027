#include "Tessra/shell/delay.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/event_loop_queue.h"
#include "testing/qt_wait.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(DelayTest, AJobRunsOnTheGuiThreadOnceItsPauseHasPassedUnlessCancelled) {
  platform::runMainQueueOnEventLoop();
  const Clock::time_point start = Clock::now();
  std::vector<std::string> ran;
  Clock::duration dropsPause{};
  DelayedJob cancelled = delay(50ms, [&] { ran.push_back("cancelled"); });
  // Its handle dropped at once: it runs all the same.
  delay(100ms, [&] {
    ran.push_back("dropped");
    dropsPause = Clock::now() - start;
    EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
  });
  const DelayedJob last = delay(150ms, [&] { ran.push_back("last"); });
  cancelled.cancel();
  EXPECT_TRUE(cancelled.isCancelled());
  EXPECT_FALSE(last.isCancelled());
  // Jobs run in the order they fall due, so the cancelled one would have run before the last.
  ASSERT_EVENTUALLY(!ran.empty() && ran.back() == "last", 5000);
  EXPECT_EQ(ran, (std::vector<std::string>{"dropped", "last"}));
  EXPECT_GE(dropsPause, 100ms);
}

}  // namespace
}  // namespace tessra
