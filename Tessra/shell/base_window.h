// A panel that places itself at one of nine places of a screen's work area, optionally with an
// animated move, reports presses, releases and drags of the mouse as signals and knows whether it
// is closed; the base of on-screen displays.
//
//   auto* osd = new OSDWindow;
//   osd->resize(200, 200);
//   osd->moveToScreen(nullptr, ScreenCorner::bottom, 48);  // under the pointer, 48 above the
//                                                          // bottom of the work area
//   osd->show();
//
// Margins keep the window off the area's edges: `margin` vertically, `marginHorizontal` (or
// `margin` when it has none) horizontally. GUI thread only.
//
// No window of the program is an on-screen display yet; the base exists for the first that is.
#pragma once

#include <QEasingCurve>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>

#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>

#include "platform/ui/overlay_window.h"

class QPropertyAnimation;

namespace tessra {

enum class ScreenCorner : int {
  bottomLeft = 0,
  bottomRight = 1,
  topLeft = 2,
  topRight = 3,
  top = 4,
  bottom = 5,
  left = 6,
  right = 7,
  center = 8,
};
// 0 to 8 give their corner, anything else nothing.
std::optional<ScreenCorner> screenCornerFromRawValue(int raw);
// In JSON a corner is its raw value, the integer 0 to 8. Reading anything else (another number,
// 3.5, "3") throws platform::JsonDecodingError.
void to_json(nlohmann::json& j, ScreenCorner corner);
void from_json(const nlohmann::json& j, ScreenCorner& corner);

namespace timing_curves {
// The cubic Bézier from (0, 0) to (1, 1) with the two control points.
QEasingCurve cubicBezier(QPointF first, QPointF second);
// The desktop's ease-in-ease-out.
const QEasingCurve& easeInOut();
// A fast start that settles softly: control points (0.19, 1) and (0.22, 1).
const QEasingCurve& expoOut();
}  // namespace timing_curves

// Runs `job` now when called on the GUI thread, else queues it there.
void runOnMainThread(std::function<void()> job);

class BaseWindow : public platform::OverlayWindow {
  Q_OBJECT

 public:
  // The last placement asked for.
  struct PositionArguments {
    std::optional<ScreenCorner> corner;
    std::optional<double> margin;
    std::optional<double> marginHorizontal;
    QPointer<QScreen> screen;
    bool animate = false;
  };

  static constexpr int kMoveDurationMs = 300;

  explicit BaseWindow(QWidget* parent = nullptr);

  // Whether the window takes the keyboard when shown or pressed.
  void setAllowToBecomeKey(bool allow);
  bool allowToBecomeKey() const { return m_allowToBecomeKey; }
  bool isClosed() const { return m_closed; }
  // Whether a resize moves the window back to its corner with an animation.
  bool animateOnResize = false;

  QScreen* screenPlacement() const { return m_screenPlacement; }
  std::optional<ScreenCorner> screenCorner() const { return m_screenCorner; }
  double margin() const { return m_margin; }
  std::optional<double> marginHorizontal() const { return m_marginHorizontal; }
  const std::optional<PositionArguments>& positionArguments() const { return m_positionArguments; }
  // True while an animated move runs.
  bool inAnimation() const { return m_inAnimation; }

  // Places the window at `corner` of the work area of `screen` (else the screen under the
  // pointer, else the main screen), keeping its size. Given margins and corner replace the
  // stored ones.
  void moveToScreen(QScreen* screen = nullptr, std::optional<ScreenCorner> corner = std::nullopt,
                    std::optional<double> margin = std::nullopt,
                    std::optional<double> marginHorizontal = std::nullopt, bool animate = false);

  // Where a window of `size` stands at `corner` of `area` with the margins.
  static QPoint origin(const QRect& area, const QSize& size, std::optional<ScreenCorner> corner,
                       double margin, double marginHorizontal);

 signals:
  // A button went down or up in the window; the event is the window's own, valid during the call.
  void mousePressed(QMouseEvent* event);
  void mouseReleased(QMouseEvent* event);
  // The mouse moved with the left button down.
  void mouseDragged(QMouseEvent* event);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  bool m_allowToBecomeKey = false;
  bool m_closed = true;
  QPointer<QScreen> m_screenPlacement;
  double m_margin = 0;
  std::optional<double> m_marginHorizontal;
  std::optional<ScreenCorner> m_screenCorner;
  std::optional<PositionArguments> m_positionArguments;
  bool m_inAnimation = false;
  QPointer<QPropertyAnimation> m_move;
};

// An on-screen display: a base window that never takes the keyboard.
class OSDWindow final : public BaseWindow {
  Q_OBJECT

 public:
  explicit OSDWindow(QWidget* parent = nullptr);
};

}  // namespace tessra
