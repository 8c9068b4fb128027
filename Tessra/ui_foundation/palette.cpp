#include "Tessra/ui_foundation/palette.h"

namespace tessra::palette {

QColor raisedBackground() { return colorFromHex("#383a3f"); }
QColor background() { return colorFromHex("#313338"); }
QColor secondaryBackground() { return colorFromHex("#2b2d31"); }
QColor tertiaryBackground() { return colorFromHex("#1e1f22"); }
QColor selectedRow() { return colorFromHex("#404249"); }
QColor headingText() { return colorFromHex("#F2F3F5"); }
QColor white() { return colorFromHex("#ffffff"); }
QColor text() { return colorFromHex("#dcdee1"); }
QColor secondaryText() { return colorFromHex("#b6bac0"); }
QColor mutedText() { return colorFromHex("#959ba3"); }
QColor faintText() { return colorFromHex("#79818a"); }
QColor highlightedText() { return colorFromHex("#1ABC9C"); }
QColor warning() { return colorFromHex("#e6b44e"); }
QColor destructive() { return colorFromHex("#df4f4a"); }
QColor border() { return colorFromHex("#515356"); }
QColor divider() { return colorFromHex("#242529"); }

QColor keyCap() { return colorFromHex("#41434A"); }
QColor separator() { return colorFromHex("#3f4147"); }

QColor accent() { return QColor::fromRgb(10, 132, 255); }
QColor control() { return QColor::fromRgb(255, 255, 255, 64); }
QColor label() { return QColor::fromRgb(255, 255, 255, 217); }
QColor primary() { return QColor::fromRgb(255, 255, 255); }
QColor systemRed() { return QColor::fromRgb(255, 69, 58); }
QColor systemBlue() { return QColor::fromRgb(10, 132, 255); }
QColor systemGreen() { return QColor::fromRgb(48, 209, 88); }
QColor gray() { return QColor::fromRgb(142, 142, 147); }

}  // namespace tessra::palette
