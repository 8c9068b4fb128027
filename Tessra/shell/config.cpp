#include "Tessra/shell/config.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <array>

#include "Tessra/shell/base_window.h"
#include "Tessra/storage/user_settings.h"
#include "platform/layout/layout_anchor.h"
#include "platform/ui/animations.h"
#include "platform/ui/screens.h"

namespace tessra {
namespace {

constexpr std::array<int, 5> kWidths = {600, 700, 800, 900, 1000};
constexpr int kHorizontalPanelHeight = 312;

bool isHorizontal(PopupPosition position) {
  return position == PopupPosition::top || position == PopupPosition::bottom;
}

// The main screen's work area, the zero rectangle without a main screen.
QRect visibleFrame(const Config::Environment& environment) {
  if (!environment.mainScreenFrame) return {};
  return environment.mainScreenWorkArea.value_or(*environment.mainScreenFrame);
}

}  // namespace

Config::Environment Config::Environment::current(QScreen* screen) {
  Environment environment;
  if (screen == nullptr) screen = platform::Screens::mainScreen();
  if (screen != nullptr) {
    environment.mainScreenFrame = screen->geometry();
    environment.mainScreenWorkArea = platform::Screens::workArea(screen);
  }
  const auto screens = QGuiApplication::screens();
  if (!screens.isEmpty()) environment.firstScreenFrame = screens.first()->geometry();
  const auto& settings = UserSettings::shared();
  environment.position = settings.value(setting::popupPosition);
  environment.size = settings.value(setting::floatingWindowSize);
  environment.padding = settings.value(setting::popupPadding);
  environment.sideBarVisible = settings.value(setting::sideBarVisible);
  return environment;
}

int Config::slideDuration() { return platform::animationDuration(kSlideDurationMs); }

QEasingCurve Config::slideInCurve() { return timing_curves::cubicBezier({0.42, 0}, {1, 1}); }

QEasingCurve Config::slideOutCurve() { return timing_curves::cubicBezier({0, 0}, {0.58, 1}); }

int Config::defaultWidth(const Environment& environment) {
  if (!isHorizontal(environment.position)) return 500;
  return visibleFrame(environment).width();
}

int Config::menuBarHeight(const Environment& environment) {
  if (!environment.mainScreenFrame) return 0;
  return std::max(0, visibleFrame(environment).top() - environment.mainScreenFrame->top());
}

int Config::floatingWindowHeight(const Environment& environment) {
  if (isHorizontal(environment.position)) return kHorizontalPanelHeight;
  const int padding = 2 * paddingPoints(environment.padding);
  if (environment.mainScreenFrame) return visibleFrame(environment).height() - padding;
  if (environment.firstScreenFrame) return environment.firstScreenFrame->height() - padding;
  return 0;
}

QSize Config::floatingWindowSize(int counter, const Environment& environment) {
  const FloatingWindowSize size = floatingWindowSizeFromStoredInt(counter);
  const int width = size == FloatingWindowSize::extraSmall
                        ? defaultWidth(environment)
                        : kWidths[static_cast<std::size_t>(rawValue(size)) - 1];
  return {width, floatingWindowHeight(environment)};
}

QPoint Config::floatingWindowOrigin(int width, int height, const Environment& environment) {
  const QRect visible = visibleFrame(environment);
  const int padding = paddingPoints(environment.padding);
  switch (environment.position) {
    case PopupPosition::top:
      return visible.topLeft();
    case PopupPosition::left:
      return {visible.x(), visible.y() + padding};
    case PopupPosition::bottom:
      return {visible.x(), visible.y() + visible.height() - height};
    case PopupPosition::right:
      break;
  }
  return {visible.x() + visible.width() - width, visible.y() + padding};
}

QRect Config::floatingWindowFrame(int counter, const Environment& environment) {
  QSize size = floatingWindowSize(counter, environment);
  if (environment.sideBarVisible) size.rwidth() += kSideBarWidth;
  if (isHorizontal(environment.position) && environment.mainScreenFrame)
    size.setWidth(std::min(size.width(), visibleFrame(environment).width()));
  return {floatingWindowOrigin(size.width(), size.height(), environment), size};
}

QPointF Config::centeredOrigin(double width, double height, std::optional<double> maxWidth,
                               std::optional<double> maxHeight, const Environment& environment) {
  const QRect panel =
      floatingWindowFrame(static_cast<int>(rawValue(environment.size)), environment);
  if (width > 0 && width <= 1) width *= panel.width();
  if (height > 0 && height <= 1) height *= panel.height();
  if (maxWidth && width > *maxWidth) width = *maxWidth;
  if (maxHeight && height > *maxHeight) height = *maxHeight;
  return {panel.x() + (panel.width() - width) / 2, panel.y() + (panel.height() - height) / 2};
}

platform::LayoutConstraintPtr Config::slideInConstraint(QWidget* view, QWidget* container,
                                                        PopupPosition position) {
  using namespace platform;
  switch (position) {
    case PopupPosition::left:
      return leftAnchor(view).constraintEqualTo(leftAnchor(container), -kSlideDistance);
    case PopupPosition::top:
      return topAnchor(view).constraintEqualTo(topAnchor(container), -kSlideDistance);
    case PopupPosition::bottom:
      return bottomAnchor(view).constraintEqualTo(bottomAnchor(container), kSlideDistance);
    case PopupPosition::right:
      break;
  }
  return rightAnchor(view).constraintEqualTo(rightAnchor(container), kSlideDistance);
}

}  // namespace tessra
