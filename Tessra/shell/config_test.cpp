#include "Tessra/shell/config.h"

#include <QWidget>

#include <gtest/gtest.h>

#include "platform/layout/layout_constraint.h"

namespace tessra {
namespace {

Config::Environment screen1440(PopupPosition position, FloatingWindowSize size,
                               FloatingWindowPadding padding = FloatingWindowPadding::none,
                               bool sideBar = false, int menuBar = 24) {
  Config::Environment environment;
  environment.mainScreenFrame = QRect(0, 0, 1440, 900);
  // A menu bar at the top takes its height off the work area.
  environment.mainScreenWorkArea = QRect(0, menuBar, 1440, 900 - menuBar);
  environment.firstScreenFrame = environment.mainScreenFrame;
  environment.position = position;
  environment.size = size;
  environment.padding = padding;
  environment.sideBarVisible = sideBar;
  return environment;
}

QRect frameOf(const Config::Environment& environment) {
  return Config::floatingWindowFrame(static_cast<int>(rawValue(environment.size)), environment);
}

TEST(ConfigTest, PanelFramesOnA1440By900Screen) {
  using P = PopupPosition;
  using S = FloatingWindowSize;
  using D = FloatingWindowPadding;
  const struct {
    const char* name;
    Config::Environment environment;
    QRect frame;
  } cases[] = {
      {"right medium", screen1440(P::right, S::medium), {740, 24, 700, 876}},
      {"right medium, side list",
       screen1440(P::right, S::medium, D::none, true),
       {540, 24, 900, 876}},
      {"left large padding", screen1440(P::left, S::medium, D::large), {0, 72, 700, 780}},
      {"top extra small", screen1440(P::top, S::extraSmall), {0, 24, 1440, 312}},
      {"bottom small, padding ignored",
       screen1440(P::bottom, S::small, D::ultraWide),
       {0, 588, 600, 312}},
      {"right, no top panel",
       screen1440(P::right, S::medium, D::none, false, 0),
       {740, 0, 700, 900}},
      {"right extra small", screen1440(P::right, S::extraSmall), {940, 24, 500, 876}},
      {"right ultra wide small padding",
       screen1440(P::right, S::ultraWide, D::small),
       {440, 40, 1000, 844}},
      {"left extra large padding", screen1440(P::left, S::large, D::extraLarge), {0, 88, 800, 748}},
      {"top extra small with the side list stays on screen",
       screen1440(P::top, S::extraSmall, D::none, true),
       {0, 24, 1440, 312}},
      {"bottom extra large with the side list",
       screen1440(P::bottom, S::extraLarge, D::none, true),
       {0, 588, 1100, 312}},
  };
  for (const auto& c : cases) EXPECT_EQ(frameOf(c.environment), c.frame) << c.name;
}

TEST(ConfigTest, ScreenOffTheOrigin) {
  Config::Environment environment = screen1440(PopupPosition::right, FloatingWindowSize::medium);
  environment.mainScreenFrame = QRect(1920, 100, 1280, 800);
  environment.mainScreenWorkArea = QRect(1920, 124, 1280, 776);
  EXPECT_EQ(frameOf(environment), QRect(2500, 124, 700, 776));
  environment.position = PopupPosition::bottom;
  EXPECT_EQ(frameOf(environment), QRect(1920, 588, 700, 312));
  environment.position = PopupPosition::top;
  environment.size = FloatingWindowSize::extraSmall;
  EXPECT_EQ(frameOf(environment), QRect(1920, 124, 1280, 312));
}

TEST(ConfigTest, ThePanelStaysInsideTheWorkAreaLeftByATrayAtTheBottom) {
  using P = PopupPosition;
  const struct {
    PopupPosition position;
    FloatingWindowSize size;
    FloatingWindowPadding padding;
    QRect frame;
  } cases[] = {
      {P::right, FloatingWindowSize::medium, FloatingWindowPadding::none, {1220, 0, 700, 1052}},
      {P::left, FloatingWindowSize::medium, FloatingWindowPadding::large, {0, 48, 700, 956}},
      {P::bottom, FloatingWindowSize::small, FloatingWindowPadding::none, {0, 740, 600, 312}},
      {P::top, FloatingWindowSize::extraSmall, FloatingWindowPadding::none, {0, 0, 1920, 312}},
  };
  for (const auto& c : cases) {
    Config::Environment environment = screen1440(c.position, c.size, c.padding);
    environment.mainScreenFrame = QRect(0, 0, 1920, 1080);
    environment.mainScreenWorkArea = QRect(0, 0, 1920, 1052);
    EXPECT_EQ(frameOf(environment), c.frame) << static_cast<int>(c.position);
    EXPECT_EQ(Config::menuBarHeight(environment), 0);
  }
}

TEST(ConfigTest, SizesByStepAndWithoutScreens) {
  const Config::Environment environment =
      screen1440(PopupPosition::right, FloatingWindowSize::medium);
  const int widths[] = {500, 600, 700, 800, 900, 1000};
  for (int counter = 0; counter < 6; ++counter)
    EXPECT_EQ(Config::floatingWindowSize(counter, environment), QSize(widths[counter], 876));
  // A stored value outside the steps sizes the panel as medium.
  EXPECT_EQ(Config::floatingWindowSize(9, environment).width(), 700);

  Config::Environment none;
  none.position = PopupPosition::top;
  EXPECT_EQ(Config::defaultWidth(none), 0);
  EXPECT_EQ(Config::floatingWindowOrigin(100, 312, none), QPoint(0, 0));
  none.position = PopupPosition::left;
  EXPECT_EQ(Config::floatingWindowHeight(none), 0);
  none.firstScreenFrame = QRect(0, 0, 800, 600);
  EXPECT_EQ(Config::floatingWindowHeight(none), 600);
}

TEST(ConfigTest, CenteredOriginTakesFractionsAndMaximums) {
  const Config::Environment environment =
      screen1440(PopupPosition::right, FloatingWindowSize::medium);
  // Panel (740, 24, 700, 876).
  EXPECT_DOUBLE_EQ(Config::centeredOrigin(0.5, 400, {}, {}, environment).x(), 915);
  EXPECT_DOUBLE_EQ(Config::centeredOrigin(0.5, 400, {}, {}, environment).y(), 262);
  EXPECT_EQ(Config::centeredOrigin(1, 1, {}, {}, environment), QPointF(740, 24));
  EXPECT_EQ(Config::centeredOrigin(600, 0.5, 300, 200, environment), QPointF(940, 362));
}

TEST(ConfigTest, SlideConstraintStandsBeyondTheEdge) {
  using platform::LayoutAttribute;
  QWidget container;
  auto* view = new QWidget(&container);
  const struct {
    PopupPosition position;
    LayoutAttribute attribute;
    double constant;
  } cases[] = {
      {PopupPosition::right, LayoutAttribute::right, 500},
      {PopupPosition::left, LayoutAttribute::left, -500},
      {PopupPosition::top, LayoutAttribute::top, -500},
      {PopupPosition::bottom, LayoutAttribute::bottom, 500},
  };
  for (const auto& c : cases) {
    const auto constraint = Config::slideInConstraint(view, &container, c.position);
    EXPECT_FALSE(constraint->isActive());
    EXPECT_EQ(constraint->firstItem().view(), view);
    EXPECT_EQ(constraint->secondItem().view(), &container);
    EXPECT_EQ(constraint->firstAttribute(), c.attribute);
    EXPECT_EQ(constraint->secondAttribute(), c.attribute);
    EXPECT_EQ(constraint->constant(), c.constant);
  }
}

}  // namespace
}  // namespace tessra
