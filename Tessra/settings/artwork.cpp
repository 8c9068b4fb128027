#include "Tessra/settings/artwork.h"

#include <QFile>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <cmath>

namespace tessra::artwork {

namespace {

QString symbolPath(const QString& name) {
  return QStringLiteral(":/settings/symbols/%1.svg").arg(name);
}
QString imagePath(const QString& name) {
  return QStringLiteral(":/settings/images/%1.svg").arg(name);
}

QPixmap blank(QSize size, qreal devicePixelRatio) {
  QPixmap pixmap(size * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

}  // namespace

QPixmap symbol(const QString& name, const QColor& color, int size, qreal devicePixelRatio) {
  // Pages are built anew at every switch; each picture is drawn once per look.
  const QString key = QStringLiteral("settings-symbol:%1:%2:%3:%4")
                          .arg(name, color.name(QColor::HexArgb))
                          .arg(size)
                          .arg(devicePixelRatio);
  QPixmap cached;
  if (QPixmapCache::find(key, &cached)) return cached;
  QSvgRenderer renderer(symbolPath(name));
  if (!renderer.isValid()) return {};
  QPixmap pixmap = blank(QSize(size, size), devicePixelRatio);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(0, 0, size, size));
  // The symbols are drawn in black; their shape takes the colour asked for.
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(QRectF(0, 0, size, size), color);
  painter.end();
  QPixmapCache::insert(key, pixmap);
  return pixmap;
}

QIcon symbolIcon(const QString& name, const QColor& color, int size) {
  return QIcon(symbol(name, color, size, 2.0));
}

bool hasImage(const QString& name) { return QFile::exists(imagePath(name)); }

QPixmap image(const QString& name, QSize size, qreal devicePixelRatio) {
  const QString key = QStringLiteral("settings-image:%1:%2x%3:%4")
                          .arg(name)
                          .arg(size.width())
                          .arg(size.height())
                          .arg(devicePixelRatio);
  QPixmap cached;
  if (QPixmapCache::find(key, &cached)) return cached;
  QSvgRenderer renderer(imagePath(name));
  if (!renderer.isValid()) return {};
  QPixmap pixmap = blank(size, devicePixelRatio);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QSizeF natural = renderer.defaultSize();
  const qreal scale = std::max(size.width() / natural.width(), size.height() / natural.height());
  const QSizeF drawn = natural * scale;
  renderer.render(&painter, QRectF(QPointF((size.width() - drawn.width()) / 2,
                                           (size.height() - drawn.height()) / 2),
                                   drawn));
  painter.end();
  QPixmapCache::insert(key, pixmap);
  return pixmap;
}

}  // namespace tessra::artwork
