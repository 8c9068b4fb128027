// Helpers the widget tests share: the pointer entering and leaving a control, the colour a
// control paints at one point, and how much of a picture is in colour.
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

// The pixels of `image` in a clear colour, not a shade of grey (a colour emoji has many, a
// monochrome outline none).
inline int colorfulPixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor color = image.pixelColor(x, y);
      if (color.alpha() > 128 && color.hsvSaturation() > 100 && color.value() > 80) ++count;
    }
  return count;
}

}  // namespace tessra::testing
