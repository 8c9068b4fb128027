#include "Tessra/shell/config.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <array>

#include "Tessra/shell/app_delegate.h"
#include "Tessra/storage/settings_keys.h"
#include "platform/layout/layout_anchor.h"
#include "platform/ui/screens.h"

namespace tessra {
namespace {

constexpr std::array<int, 5> kWidths = {600, 700, 800, 900, 1000};
constexpr int kHorizontalPanelHeight = 312;

bool isHorizontal(PopupPosition position) {
  return position == PopupPosition::top || position == PopupPosition::bottom;
}

QRect frameOrZero(const std::optional<QRect>& frame) { return frame.value_or(QRect()); }

}  // namespace

Config::Environment Config::Environment::current() {
  Environment environment;
  environment.mainScreenFrame = platform::Screens::mainScreenFrame();
  const auto screens = QGuiApplication::screens();
  if (!screens.isEmpty()) environment.firstScreenFrame = screens.first()->geometry();
  environment.menuBarHeight = platform::Screens::mainScreenTopInset();
  environment.position = settings_keys::popupWindowPosition();
  environment.size = settings_keys::floatingWindowSize();
  environment.padding = settings_keys::popupPadding();
  environment.sideBarVisible = tessra::sideBarVisible();
  return environment;
}

int Config::defaultWidth(const Environment& environment) {
  if (!isHorizontal(environment.position)) return 500;
  return frameOrZero(environment.mainScreenFrame).width();
}

int Config::menuBarHeight(const Environment& environment) { return environment.menuBarHeight; }

int Config::floatingWindowHeight(const Environment& environment) {
  if (isHorizontal(environment.position)) return kHorizontalPanelHeight;
  const std::optional<QRect> screen =
      environment.mainScreenFrame ? environment.mainScreenFrame : environment.firstScreenFrame;
  if (!screen) return 0;
  return screen->height() - menuBarHeight(environment) - 2 * paddingPoints(environment.padding);
}

QSize Config::floatingWindowSize(int counter, const Environment& environment) {
  const FloatingWindowSize size = floatingWindowSizeFromStoredInt(counter);
  const int width = size == FloatingWindowSize::extraSmall
                        ? defaultWidth(environment)
                        : kWidths[static_cast<std::size_t>(rawValue(size)) - 1];
  return {width, floatingWindowHeight(environment)};
}

QPoint Config::floatingWindowOrigin(int width, int height, const Environment& environment) {
  const QRect screen = frameOrZero(environment.mainScreenFrame);
  const int padding = paddingPoints(environment.padding);
  const int belowMenuBar = screen.y() + menuBarHeight(environment);
  switch (environment.position) {
    case PopupPosition::top:
      return {screen.x(), belowMenuBar};
    case PopupPosition::left:
      return {screen.x(), belowMenuBar + padding};
    case PopupPosition::bottom:
      return {screen.x(), screen.y() + screen.height() - height};
    case PopupPosition::right:
      break;
  }
  return {screen.x() + screen.width() - width, belowMenuBar + padding};
}

QRect Config::floatingWindowFrame(int counter, const Environment& environment) {
  QSize size = floatingWindowSize(counter, environment);
  if (environment.sideBarVisible) size.rwidth() += kSideBarWidth;
  if (isHorizontal(environment.position) && environment.mainScreenFrame)
    size.setWidth(std::min(size.width(), environment.mainScreenFrame->width()));
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
