#include "platform/ui/overlay_window.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>

namespace tessra::platform {

OverlayWindow::OverlayWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint) {}

void OverlayWindow::setRoundedCorners(int radius, unsigned corners) {
  m_radius = std::max(0, radius);
  m_corners = corners;
  updateShape();
}

void OverlayWindow::showAndFocus() {
  show();
  raise();
  takeInputFocus();
}

void OverlayWindow::takeInputFocus() {
  if (!isVisible()) return;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) {
    activateWindow();
    return;
  }
  // The window was mapped by the request before this one on the same connection, so the server
  // finds it viewable.
  xcb_set_input_focus(x11->connection(), XCB_INPUT_FOCUS_PARENT, static_cast<xcb_window_t>(winId()),
                      XCB_CURRENT_TIME);
  xcb_flush(x11->connection());
}

void OverlayWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  raise();
  // The show event comes before the window is mapped: take the focus once it is.
  if (m_takesFocusOnShow)
    QMetaObject::invokeMethod(this, &OverlayWindow::takeInputFocus, Qt::QueuedConnection);
}

void OverlayWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  updateShape();
}

void OverlayWindow::mousePressEvent(QMouseEvent* event) {
  if (m_takesFocusOnPress && !isActiveWindow()) takeInputFocus();
  QWidget::mousePressEvent(event);
}

void OverlayWindow::updateShape() {
  if (m_radius == 0 || m_corners == 0) {
    clearMask();
    return;
  }
  const QRectF bounds(rect());
  const double r = std::min<double>(m_radius, std::min(bounds.width(), bounds.height()) / 2);
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  path.addRoundedRect(bounds, r, r);
  // Square off the corners that are not rounded.
  if ((m_corners & topLeft) == 0) path.addRect(bounds.left(), bounds.top(), r, r);
  if ((m_corners & topRight) == 0) path.addRect(bounds.right() - r, bounds.top(), r, r);
  if ((m_corners & bottomLeft) == 0) path.addRect(bounds.left(), bounds.bottom() - r, r, r);
  if ((m_corners & bottomRight) == 0) path.addRect(bounds.right() - r, bounds.bottom() - r, r, r);
  setMask(QRegion(path.simplified().toFillPolygon().toPolygon()));
}

}  // namespace tessra::platform
