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
QColor raisedBackground();     // "#383a3f": hovered buttons, chips, popovers, secondary buttons
QColor border();               // "#515356": the rims of cards and popovers
QColor divider();              // "#242529": lines between a window's columns
QColor headingText();          // "#F2F3F5": the titles of cards and pages
QColor text();                 // "#dcdee1": body text on the dark backgrounds
QColor secondaryText();        // "#b6bac0": section labels, descriptions under a title
QColor mutedText();            // "#959ba3": notes, hints, the parts a reader may skip
QColor faintText();            // "#79818a": placeholders, symbols, fine print
QColor warning();              // "#e6b44e": what the user should know but need not fear

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
