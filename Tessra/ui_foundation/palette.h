// The program's dark palette: every colour the shared controls draw with, in one place.
//
// The hexadecimal colours are the shared colour constants of the windows; the system colours are
// the dark-appearance values of the desktop's accent, control, label, red, blue, green and gray.
#pragma once

#include <QColor>

#include <string_view>

namespace tessra::palette {

// A colour from "#" and six hexadecimal digits (white space around it and the "#" optional);
// opaque. Anything else gives an invalid colour.
QColor colorFromHex(std::string_view hex);

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
