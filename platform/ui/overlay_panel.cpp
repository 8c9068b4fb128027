#include "platform/ui/overlay_panel.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QShowEvent>
#include <QWindow>

#include "platform/ui/keyboard_focus.h"
#include "platform/ui/opened_windows.h"
#include "platform/ui/overlay_dialogs.h"

namespace tessra::platform {

OverlayPanel::OverlayPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint) {
  setFocusPolicy(Qt::StrongFocus);
  OverlayDialogs::install();
  connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &OverlayPanel::onFocusWindowChanged);
}

void OverlayPanel::present(const QRect& geometry) {
  setGeometry(geometry);
  show();
  raise();
}

void OverlayPanel::setCornerRadius(int radius) {
  m_cornerRadius = radius;
  updateMask();
}

void OverlayPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  m_hadFocus = false;
  // The window exists by its first show, which its keeper still sees.
  KeyboardKeeper::of(windowHandle());
}

void OverlayPanel::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  m_hadFocus = false;
}

void OverlayPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  updateMask();
}

void OverlayPanel::onFocusWindowChanged(QWindow* window) {
  if (!isVisible()) return;
  if (isOpenedOver(window, windowHandle())) {
    m_hadFocus = true;
    return;
  }
  // A focus change that happens before the panel first held the focus (the window that had it
  // giving it up) is not the user leaving the panel.
  if (m_hadFocus) emit focusLeft();
}

void OverlayPanel::updateMask() {
  if (m_cornerRadius <= 0) {
    clearMask();
    return;
  }
  QPainterPath path;
  path.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
  setMask(QRegion(path.toFillPolygon().toPolygon()));
}

}  // namespace tessra::platform
