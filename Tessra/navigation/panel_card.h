// The card the floating panels of the navigation draw themselves on: a rounded rectangle of
// radius 16 filled with the panel's colour, with a 1-point border of `palette::border()`. GUI
// thread only.
#pragma once

#include <QColor>
#include <QWidget>

namespace tessra {

// Paints the card over the whole of `widget`; call from its paint event.
void paintPanelCard(QWidget& widget, const QColor& fill);

}  // namespace tessra
