// The monospaced system font at a pixel size: the prompt, the attachment chip and its preview
// show text in it.
#pragma once

#include <QFont>
#include <QFontDatabase>

namespace tessra {

inline QFont monospacedFont(int pixelSize) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace tessra
