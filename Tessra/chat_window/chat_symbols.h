// The line symbols of the chat window's buttons ("trash", "pin", "arrow.up", ...), drawn in the
// colour a button asks for, at any size, from the program's own SVG resources.
//
//   button->setIcon(chatSymbol(u"trash", palette::faintText()));
//
// An unknown name gives a null icon. GUI thread only.
#pragma once

#include <QColor>
#include <QIcon>
#include <QStringView>

namespace tessra {

QIcon chatSymbol(QStringView name, const QColor& color, qreal rotationDegrees = 0);

}  // namespace tessra
