#include "platform/ui/overlay_window.h"

#include <QApplication>
#include <QPainterPath>
#include <QRegion>
#include <QWindow>

#include "platform/ui/keyboard_focus.h"
#include "platform/ui/overlay_dialogs.h"

namespace tessra::platform {

OverlayWindow::OverlayWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint) {
  OverlayDialogs::install();
}

void OverlayWindow::setRoundedCorners(int radius, unsigned corners) {
  m_radius = std::max(0, radius);
  m_corners = corners;
  updateShape();
}

void OverlayWindow::showAndFocus() {
  // A window coming on screen raises itself as it shows.
  if (isVisible())
    raise();
  else
    show();
  takeInputFocus();
}

void OverlayWindow::takeInputFocus() {
  if (isVisible()) giveKeyboard(windowHandle());
}

void OverlayWindow::setTakesFocusOnPress(bool takes) {
  m_takesFocusOnPress = takes;
  updateKeeper();
}

void OverlayWindow::setTakesFocusOnShow(bool takes) {
  m_takesFocusOnShow = takes;
  updateKeeper();
}

void OverlayWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The native window exists by its first show, which the shape then reaches before the map.
  applyShape();
  raise();
  // The window exists by its first show, which its keeper still sees.
  updateKeeper();
  // Hidden and shown again before the program has read the server's news of the focus going, the
  // window never stopped being Qt's focus window, so its widgets, made inactive by the hide, are
  // never told they are active again (no focus widget, no shortcut): they are told here.
  if (QGuiApplication::focusWindow() == windowHandle() && QApplication::activeWindow() != this)
    QApplication::setActiveWindow(this);
}

void OverlayWindow::updateKeeper() {
  QWindow* window = windowHandle();
  if (window == nullptr) return;
  KeyboardKeeper& keeper = KeyboardKeeper::of(window);
  keeper.setTakesOnShow(m_takesFocusOnShow);
  keeper.setTakesOnPress(m_takesFocusOnPress);
}

void OverlayWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  updateShape();
}

void OverlayWindow::updateShape() {
  if (m_radius == 0 || m_corners == 0) {
    m_shape = QRegion();
    applyShape();
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
  m_shape = QRegion(path.simplified().toFillPolygon().toPolygon());
  applyShape();
}

void OverlayWindow::applyShape() {
  // The shape goes to the native window, not to the widget: a widget mask would also clip every
  // paint of the window to the shape's many rectangles, which the first frame of each show paid
  // for. The server cuts the corners off all the same.
  if (QWindow* window = windowHandle()) window->setMask(m_shape);
}

}  // namespace tessra::platform
