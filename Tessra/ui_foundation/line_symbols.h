// The line symbols of the program's buttons and menus ("trash", "pin", "arrow.up", ...), drawn in
// the colour a control asks for, at any size, from the program's own SVG resources: on its dark
// surfaces the program draws its own icons, never the desktop theme's, which may be dark too.
//
//   button->setIcon(lineSymbol(u"trash", palette::faintText()));
//
// An unknown name gives a null icon. GUI thread only.
#pragma once

#include <QColor>
#include <QIcon>
#include <QStringView>

namespace tessra {

QIcon lineSymbol(QStringView name, const QColor& color, qreal rotationDegrees = 0);

}  // namespace tessra
