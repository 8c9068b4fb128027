// Where the floating panel stands and how large it is, from the position, width and padding
// settings and the main screen; the slide that brings it in and takes it out (the constraint it
// moves, how long it takes, its curves); boxes centred over the panel.
//
//   const QSize size = Config::floatingWindowSize(
//       rawValue(UserSettings::shared().value(setting::floatingWindowSize)));
//   const QPoint origin = Config::floatingWindowOrigin(size.width(), size.height());
//   const QPointF box = Config::centeredOrigin(0.5, 300);  // half the panel wide, 300 high
//
// Coordinates are Qt's global ones (origin top left, y downwards). The panel stands in the main
// screen's work area, the part of its frame the desktop's panels leave free (a tray at the
// bottom, a bar at the top): a side panel keeps the padding above and below inside it. The main
// screen is the monitor the user works on (platform/ui/screens.h), unless the environment names
// another (the side button's, when the panel opens from it). The height of a panel docked at the
// top plays the part of the menu bar. Every call reads the settings and the screens afresh,
// unless it is handed an `Environment` (tests describe a screen of their own that way). GUI
// thread only.
#pragma once

#include <QEasingCurve>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>

#include <optional>

#include "Tessra/storage/settings_enums.h"
#include "platform/layout/layout_constraint.h"

class QScreen;
class QWidget;

namespace tessra {

class Config {
 public:
  // What the panel's geometry depends on.
  struct Environment {
    std::optional<QRect> mainScreenFrame;
    // The main screen's work area; its whole frame when absent.
    std::optional<QRect> mainScreenWorkArea;
    // The first screen's frame, for a side panel's height when there is no main screen.
    std::optional<QRect> firstScreenFrame;
    PopupPosition position = PopupPosition::right;
    FloatingWindowSize size = FloatingWindowSize::extraSmall;
    FloatingWindowPadding padding = FloatingWindowPadding::none;
    bool sideBarVisible = true;

    // The screens and the settings as they are now, with `screen` as the main screen when given.
    static Environment current(QScreen* screen = nullptr);
  };

  Config() = delete;

  // The width the slide pushes the chat view beyond the panel's edge before it slides in.
  static constexpr int kSlideDistance = 500;
  // How long the panel takes to slide in or out.
  static constexpr int kSlideDurationMs = 200;
  // The slide's duration as it runs now: none while the program's animations are off
  // (platform/ui/animations.h), so the panel is in or out at once.
  static int slideDuration();
  // Ease-in on the way in, ease-out on the way out: the curves of the desktop's own slides.
  static QEasingCurve slideInCurve();
  static QEasingCurve slideOutCurve();
  // How much wider the panel is while the side list is shown.
  static constexpr int kSideBarWidth = 200;

  // 500, or for a top or bottom panel the width of the main screen's work area (0 without a
  // main screen).
  static int defaultWidth(const Environment& environment = Environment::current());
  // How far the work area starts below the main screen's top edge (0 without a screen).
  static int menuBarHeight(const Environment& environment = Environment::current());
  // 312 for a top or bottom panel; else the height of the main screen's work area (the first
  // screen's frame without a main screen) less twice the padding; 0 without any screen.
  static int floatingWindowHeight(const Environment& environment = Environment::current());
  // (width of the `FloatingWindowSize` raw value `counter`, floatingWindowHeight()). A raw value
  // outside 0 to 5 sizes the panel as `medium`.
  static QSize floatingWindowSize(int counter,
                                  const Environment& environment = Environment::current());
  // The panel's top-left corner for a panel of that size.
  static QPoint floatingWindowOrigin(int width, int height,
                                     const Environment& environment = Environment::current());
  // The panel's whole frame for the `FloatingWindowSize` raw value `counter`: 200 wider while the
  // side list is shown (a top or bottom panel never wider than the work area), at its origin.
  static QRect floatingWindowFrame(int counter,
                                   const Environment& environment = Environment::current());
  // The top-left corner of a box centred over the panel (sized by the environment's size
  // setting). A width or height in (0, 1] is a
  // fraction of the panel's; a given maximum caps it.
  static QPointF centeredOrigin(double width, double height,
                                std::optional<double> maxWidth = std::nullopt,
                                std::optional<double> maxHeight = std::nullopt,
                                const Environment& environment = Environment::current());
  // A new, inactive constraint that holds `view`'s edge at the panel's screen edge 500 points
  // beyond `container`'s same edge.
  static platform::LayoutConstraintPtr slideInConstraint(
      QWidget* view, QWidget* container, PopupPosition position = Environment::current().position);
};

}  // namespace tessra
