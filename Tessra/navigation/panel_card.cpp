#include "Tessra/navigation/panel_card.h"

#include <QPainter>
#include <QPainterPath>

#include "Tessra/ui_foundation/palette.h"

namespace tessra {

void paintPanelCard(QWidget& widget, const QColor& fill) {
  constexpr qreal kCornerRadius = 16;
  QPainter painter(&widget);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  // Half a point in, so that the border's line lies wholly inside the widget.
  shape.addRoundedRect(QRectF(widget.rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                       kCornerRadius);
  painter.fillPath(shape, fill);
  painter.setPen(QPen(palette::border(), 1));
  painter.drawPath(shape);
}

}  // namespace tessra
