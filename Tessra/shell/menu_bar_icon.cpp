#include "Tessra/shell/menu_bar_icon.h"

#include <QPainter>
#include <QSvgRenderer>

namespace tessra {

QPixmap menuBarIconPixmap(int size, const QColor& color, qreal devicePixelRatio) {
  QPixmap pixmap(QSize(size, size) * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QSvgRenderer renderer(QStringLiteral(":/icons/menu_bar_icon.svg"));
  renderer.render(&painter, QRectF(0, 0, size, size));
  // Keep the mark's shape, take the colour.
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(QRectF(0, 0, size, size), color);
  return pixmap;
}

QIcon menuBarIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(menuBarIconPixmap(size, Qt::white));
  return icon;
}

}  // namespace tessra
