// The program's dark palette: every colour the shared controls draw with, in one place.
//
// The hexadecimal colours are the shared colour constants of the windows; the system colours are
// the dark-appearance values of the desktop's accent, control, label, red, blue, green and gray.
#pragma once

#include <QColor>

#include "Tessra/ui_foundation/hex_color.h"

namespace tessra::palette {

using tessra::colorFromHex;

// Shared colour constants.
QColor background();           // "#313338": cards, popovers, hint background
QColor secondaryBackground();  // "#2b2d31": button rows, hovered rows
QColor tertiaryBackground();   // "#1e1f22": idle rows, key rims
QColor selectedRow();          // "#404249": selected rows (drawn at 0.25 opacity)
QColor keyCap();               // "#41434A"
QColor highlightedText();      // "#1ABC9C"
QColor destructive();          // "#df4f4a"
QColor white();                // "#ffffff"

// System colours in the dark appearance.
QColor accent();
QColor control();
QColor label();
QColor primary();
QColor systemRed();
QColor systemBlue();
QColor systemGreen();
QColor gray();

}  // namespace tessra::palette
