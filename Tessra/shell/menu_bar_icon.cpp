#include "Tessra/shell/menu_bar_icon.h"

#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <numbers>

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
  for (int size : {16, 22, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    // The rim: the mark in the dark, shifted a little every way around.
    const QPixmap rim = menuBarIconPixmap(size, QColor(0x1e, 0x1f, 0x22, 220));
    const qreal width = std::max(1.0, size / 20.0);
    for (int step = 0; step < 8; ++step) {
      const qreal angle = step * std::numbers::pi / 4;
      painter.drawPixmap(QPointF(width * std::cos(angle), width * std::sin(angle)), rim);
    }
    painter.drawPixmap(0, 0, menuBarIconPixmap(size, Qt::white));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace tessra
