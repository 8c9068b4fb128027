// Helpers the widget tests share: the pointer entering and leaving a control, the colour a
// control paints at one point, the labels that would read data as markup, how much of a picture
// is in colour, and icons under a desktop's dark icon theme.
#pragma once

#include <QCoreApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QWidget>

#include <filesystem>
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

// Makes an icon theme in `folder` the desktop's, one whose icons are black like the program's
// surfaces: the icons Qt and a program take from a theme for attaching, clearing a field, going
// back, forward and up, a new folder, the list's two views, renaming, settings, deleting, mail
// and favourites.
inline void useBlackIconTheme(const std::filesystem::path& folder) {
  const QString theme = QString::fromStdString((folder / "black").string());
  std::filesystem::create_directories(folder / "black" / "16x16");
  QFile index(theme + QStringLiteral("/index.theme"));
  if (!index.open(QIODevice::WriteOnly)) return;
  index.write("[Icon Theme]\nName=Black\nDirectories=16x16\n\n[16x16]\nSize=16\nType=Fixed\n");
  index.close();
  QImage black(16, 16, QImage::Format_ARGB32);
  black.fill(Qt::black);
  for (const char* name :
       {"mail-attachment", "edit-clear", "edit-clear-locationbar-rtl", "edit-clear-locationbar-ltr",
        "go-previous", "go-next", "go-up", "folder-new", "view-list-details", "view-list-icons",
        "document-edit", "document-properties", "edit-delete", "mail-send", "emblem-favorite"})
    black.save(theme + QStringLiteral("/16x16/%1.png").arg(QLatin1String(name)));
  QIcon::setThemeSearchPaths({QString::fromStdString(folder.string())});
  QIcon::setThemeName(QStringLiteral("black"));
}

// Whether the icon draws something, and in a light colour, as is seen on a dark surface.
inline bool isLight(const QIcon& icon) {
  const QImage image = icon.pixmap(32, 32).toImage();
  long long sum = 0;
  long long count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (const QRgb pixel = image.pixel(x, y); qAlpha(pixel) > 128) {
        sum += qGray(pixel);
        ++count;
      }
  return count > 0 && sum / count > 100;
}

}  // namespace tessra::testing
