#include "Tessra/ui_foundation/animated_value.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/ui/animations.h"

namespace tessra {
namespace {

// No time: a duration of 0, or any duration while the program's animations are off.
TEST(AnimatedValueTest, NoTimeJumpsToTheTargetWithOneChange) {
  for (const auto& [milliseconds, animations] : {std::pair{0, true}, std::pair{300, false}}) {
    platform::setAnimationsEnabled(animations);
    std::vector<double> changes;
    AnimatedValue value(0, AnimatedValue::Timing::eased(milliseconds, QEasingCurve::InOutQuad),
                        [&](double v) { changes.push_back(v); });
    QSignalSpy finished(&value, &AnimatedValue::finished);
    value.animateTo(0.3);
    EXPECT_EQ(changes, std::vector<double>{0.3}) << milliseconds;
    EXPECT_EQ(finished.size(), 1) << milliseconds;
    EXPECT_FALSE(value.isAnimating()) << milliseconds;
  }
  platform::setAnimationsEnabled(true);
}

TEST(AnimatedValueTest, MovesOverTimeAndTurnsBackFromWhereItIs) {
  std::vector<double> changes;
  AnimatedValue value(0, AnimatedValue::Timing::eased(300, QEasingCurve::Linear),
                      [&](double v) { changes.push_back(v); });
  value.animateTo(1);
  EXPECT_EQ(value.value(), 0) << "nothing moves before the first frame";
  ASSERT_TRUE(QTest::qWaitFor([&] { return value.value() > 0.3; }, 2000));
  const double turned = value.value();
  value.animateTo(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !value.isAnimating(); }, 2000));
  EXPECT_EQ(value.value(), 0);
  // From the turn on, every change is on the way down from where it was.
  const auto turn = std::find(changes.begin(), changes.end(), turned);
  ASSERT_NE(turn, changes.end());
  EXPECT_TRUE(std::is_sorted(turn, changes.end(), std::greater<>()));
}

TEST(AnimatedValueTest, ASpringSettlesOnItsTargetAndOvershootsOnlyWhenUnderdamped) {
  const struct {
    double response;
    double damping;
    bool overshoots;
  } cases[] = {{0.5, 1.0, false}, {0.5, 0.5, true}, {0.2, 0.8, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.response << " " << c.damping);
    const AnimatedValue::Timing spring = AnimatedValue::Timing::spring(c.response, c.damping);
    EXPECT_EQ(spring.curve(0), 0);
    EXPECT_EQ(spring.curve(1), 1);
    double highest = 0;
    for (int step = 0; step <= 1000; ++step)
      highest = std::max(highest, spring.curve(step / 1000.0));
    EXPECT_EQ(highest > 1.001, c.overshoots) << highest;
    // It lasts a few of its swings, no more.
    EXPECT_GT(spring.milliseconds, c.response * 1000);
    EXPECT_LT(spring.milliseconds, c.response * 4000);
  }
}

}  // namespace
}  // namespace tessra
