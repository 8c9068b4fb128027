// The program's dark palette: the colours the windows share, each written once, in palette.cpp.
//
// The shared colours come first; the two after them are drawn by a few controls of their own. The
// system colours are the dark-appearance values of the desktop's accent, control, label, red, blue,
// green and gray.
#pragma once

#include <QColor>

#include "Tessra/ui_foundation/hex_color.h"

namespace tessra::palette {

using tessra::colorFromHex;

// The shared colours.
QColor raisedBackground();     // hovered buttons, chips, popovers, secondary buttons
QColor background();           // cards, popovers, hint background
QColor secondaryBackground();  // button rows, hovered rows
QColor tertiaryBackground();   // idle rows, key rims, the body of a form
QColor selectedRow();          // selected rows (drawn at 0.25 opacity)
QColor headingText();          // the titles of cards and pages
QColor white();                // typed text in fields, text on a highlight
QColor text();                 // body text on the dark backgrounds
QColor secondaryText();        // section labels, descriptions under a title
QColor mutedText();            // notes, hints, the parts a reader may skip
QColor faintText();            // placeholders, symbols, fine print
QColor highlightedText();      // the current row's text, the picked emoji's ring
QColor warning();              // what the user should know but need not fear
QColor destructive();          // errors, and what cannot be undone
QColor border();               // the rims of cards and popovers
QColor divider();              // lines between a window's columns

// Colours of a few controls of their own.
QColor keyCap();     // key caps, and the dividers of the navigation panels
QColor separator();  // the line between a form and its buttons

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
