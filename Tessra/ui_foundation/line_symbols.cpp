#include "Tessra/ui_foundation/line_symbols.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

#include <memory>

namespace tessra {

namespace {

// Renders the symbol at whatever size the button asks for, so it stays sharp on any scale.
class SymbolEngine final : public QIconEngine {
 public:
  SymbolEngine(QByteArray svg, qreal rotation)
      : m_renderer(std::make_shared<QSvgRenderer>(svg)),
        m_svg(std::move(svg)),
        m_rotation(rotation) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (mode == QIcon::Disabled) painter->setOpacity(0.35);
    painter->translate(QRectF(rect).center());
    painter->rotate(m_rotation);
    const QRectF target(-rect.width() / 2.0, -rect.height() / 2.0, rect.width(), rect.height());
    m_renderer->render(painter, target);
    painter->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(&painter, QRect(QPoint(), size), mode, state);
    return pixmap;
  }

  QIconEngine* clone() const override { return new SymbolEngine(m_svg, m_rotation); }

 private:
  std::shared_ptr<QSvgRenderer> m_renderer;
  QByteArray m_svg;
  qreal m_rotation;
};

}  // namespace

QIcon lineSymbol(QStringView name, const QColor& color, qreal rotationDegrees) {
  QFile file(QStringLiteral(":/ui_foundation/icons/%1.svg").arg(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QByteArray svg = file.readAll();
  svg.replace("#000000", color.name(QColor::HexRgb).toLatin1());
  return QIcon(new SymbolEngine(std::move(svg), rotationDegrees));
}

}  // namespace tessra
