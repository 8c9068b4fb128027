// The program's own mark, drawn from its SVG resource in one colour at any size: the tray icon,
// the side button's icon.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace tessra {

// The mark at `size` × `size` logical pixels, in `color`, sharp at `devicePixelRatio`.
QPixmap menuBarIconPixmap(int size, const QColor& color, qreal devicePixelRatio = 1.0);
// The mark as an icon for the tray: white with a dark rim, so it reads on a light tray as on a
// dark one.
QIcon menuBarIcon();

}  // namespace tessra
