// Helpers the widget tests share: the pointer entering and leaving a control, the colour a
// control paints at one point, the labels that would read data as markup, and how much of a
// picture is in colour.
#pragma once

#include <QCoreApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QWidget>

#include <string>
#include <vector>

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

// The labels under `root` (itself included) that guess whether their text is markup, each as its
// object name and text: every label of the windows states its format
// (Tessra/ui_foundation/plain_text.h). The labels Qt builds inside a message box are its own;
// data goes only into a box's main text, made plain with `QMessageBox::setTextFormat`.
inline std::vector<std::string> labelsGuessingTheirFormat(QWidget& root) {
  QList<QLabel*> labels = root.findChildren<QLabel*>();
  if (auto* self = qobject_cast<QLabel*>(&root)) labels.prepend(self);
  std::vector<std::string> guessing;
  for (QLabel* label : labels) {
    if (label->textFormat() != Qt::AutoText) continue;
    bool inMessageBox = false;
    for (QWidget* up = label->parentWidget(); up && !inMessageBox; up = up->parentWidget())
      inMessageBox = qobject_cast<QMessageBox*>(up) != nullptr;
    if (inMessageBox) continue;
    guessing.push_back(
        (label->objectName() + QStringLiteral(": \"") + label->text() + u'"').toStdString());
  }
  return guessing;
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
