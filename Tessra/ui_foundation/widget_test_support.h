// Helpers the widget tests share: the pointer entering and leaving a control, and the colour a
// control paints at one point.
#pragma once

#include <QCoreApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace tessra::testing {

inline void enter(QWidget* widget) {
  QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QCoreApplication::sendEvent(widget, &event);
}

inline void leave(QWidget* widget) {
  QEvent event(QEvent::Leave);
  QCoreApplication::sendEvent(widget, &event);
}

inline QColor pixel(QWidget* widget, QPoint point) {
  return widget->grab().toImage().pixelColor(point);
}

}  // namespace tessra::testing
