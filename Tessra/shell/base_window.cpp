#include "Tessra/shell/base_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QThread>

#include "platform/foundation/json.h"
#include "platform/ui/animations.h"
#include "platform/ui/screens.h"

namespace tessra {

std::optional<ScreenCorner> screenCornerFromRawValue(int raw) {
  if (raw < 0 || raw > 8) return std::nullopt;
  return static_cast<ScreenCorner>(raw);
}

void to_json(nlohmann::json& j, ScreenCorner corner) { j = static_cast<int>(corner); }

void from_json(const nlohmann::json& j, ScreenCorner& corner) {
  const int raw = platform::decodeValue<int>(j);
  const auto found = screenCornerFromRawValue(raw);
  if (!found)
    throw platform::JsonDecodingError(
        platform::JsonDecodingError::Kind::dataCorrupted, "",
        "Cannot initialize ScreenCorner from invalid Int value " + std::to_string(raw));
  corner = *found;
}

namespace timing_curves {

QEasingCurve cubicBezier(QPointF first, QPointF second) {
  QEasingCurve curve(QEasingCurve::BezierSpline);
  curve.addCubicBezierSegment(first, second, QPointF(1, 1));
  return curve;
}

const QEasingCurve& easeInOut() {
  static const QEasingCurve curve = cubicBezier({0.42, 0}, {0.58, 1});
  return curve;
}

const QEasingCurve& expoOut() {
  static const QEasingCurve curve = cubicBezier({0.19, 1.0}, {0.22, 1.0});
  return curve;
}

}  // namespace timing_curves

void runOnMainThread(std::function<void()> job) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() == app->thread()) {
    job();
    return;
  }
  QMetaObject::invokeMethod(app, std::move(job), Qt::QueuedConnection);
}

BaseWindow::BaseWindow(QWidget* parent) : OverlayWindow(parent) { setAllowToBecomeKey(false); }

void BaseWindow::setAllowToBecomeKey(bool allow) {
  m_allowToBecomeKey = allow;
  setTakesFocusOnShow(allow);
  setTakesFocusOnPress(allow);
  setAttribute(Qt::WA_ShowWithoutActivating, !allow);
}

QPoint BaseWindow::origin(const QRect& area, const QSize& size, std::optional<ScreenCorner> corner,
                          double margin, double marginHorizontal) {
  const double x = area.x();
  const double y = area.y();
  const double freeX = area.width() - size.width();
  const double freeY = area.height() - size.height();
  const double h = marginHorizontal;
  const double v = margin;
  QPointF point(x, y + freeY);  // no corner: the area's bottom-left
  if (corner) {
    switch (*corner) {
      case ScreenCorner::bottomLeft:
        point = {x + h, y + freeY - v};
        break;
      case ScreenCorner::bottomRight:
        point = {x + freeX - h, y + freeY - v};
        break;
      case ScreenCorner::topLeft:
        point = {x + h, y + v};
        break;
      case ScreenCorner::topRight:
        point = {x + freeX - h, y + v};
        break;
      case ScreenCorner::top:
        point = {x + freeX * 0.5, y + v};
        break;
      case ScreenCorner::bottom:
        point = {x + freeX * 0.5, y + freeY - v};
        break;
      case ScreenCorner::left:
        point = {x + h, y + freeY * 0.5};
        break;
      case ScreenCorner::right:
        point = {x + freeX - h, y + freeY * 0.5};
        break;
      case ScreenCorner::center:
        point = {x + freeX * 0.5, y + freeY * 0.5};
        break;
    }
  }
  return point.toPoint();
}

void BaseWindow::moveToScreen(QScreen* screen, std::optional<ScreenCorner> corner,
                              std::optional<double> margin, std::optional<double> marginHorizontal,
                              bool animate) {
  QScreen* target = screen != nullptr ? screen : platform::Screens::screenWithMouseOrMain();
  if (margin) m_margin = *margin;
  if (marginHorizontal) m_marginHorizontal = *marginHorizontal;
  if (corner) m_screenCorner = corner;
  if (screen != nullptr) m_screenPlacement = screen;
  m_positionArguments = PositionArguments{corner, margin, marginHorizontal, screen, animate};
  if (target == nullptr) return;

  const QPoint to = origin(platform::Screens::workArea(target), size(), m_screenCorner, m_margin,
                           m_marginHorizontal.value_or(m_margin));
  if (m_move) m_move->stop();
  if (!animate) {
    move(to);
    return;
  }
  auto* animation = new QPropertyAnimation(this, "pos", this);
  animation->setEndValue(to);
  animation->setDuration(platform::animationDuration(kMoveDurationMs));
  animation->setEasingCurve(timing_curves::expoOut());
  m_inAnimation = true;
  connect(animation, &QAbstractAnimation::finished, this, [this] { m_inAnimation = false; });
  connect(animation, &QObject::destroyed, this, [this] { m_inAnimation = false; });
  m_move = animation;
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void BaseWindow::showEvent(QShowEvent* event) {
  OverlayWindow::showEvent(event);
  m_closed = false;
}

void BaseWindow::closeEvent(QCloseEvent* event) {
  OverlayWindow::closeEvent(event);
  if (event->isAccepted()) m_closed = true;
}

void BaseWindow::resizeEvent(QResizeEvent* event) {
  OverlayWindow::resizeEvent(event);
  if (m_screenCorner && m_screenPlacement && isVisible())
    moveToScreen(m_screenPlacement, m_screenCorner, std::nullopt, std::nullopt, animateOnResize);
}

void BaseWindow::mousePressEvent(QMouseEvent* event) {
  OverlayWindow::mousePressEvent(event);
  emit mousePressed(event);
}

void BaseWindow::mouseReleaseEvent(QMouseEvent* event) {
  OverlayWindow::mouseReleaseEvent(event);
  emit mouseReleased(event);
}

void BaseWindow::mouseMoveEvent(QMouseEvent* event) {
  OverlayWindow::mouseMoveEvent(event);
  if ((event->buttons() & Qt::LeftButton) != 0) emit mouseDragged(event);
}

OSDWindow::OSDWindow(QWidget* parent) : BaseWindow(parent) { setRoundedCorners(16); }

}  // namespace tessra
