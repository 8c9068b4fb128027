// The one reader of colours written as hexadecimal text, for the palette and every view that names
// a colour by its hex text.
#pragma once

#include <QColor>

#include <string_view>

namespace tessra {

// The opaque sRGB colour of a hex text: white space trimmed at both ends, one leading "#" dropped,
// then an optional "0x" or "0X" and hexadecimal digits read up to the first other character, as
// an unsigned 64-bit number (more digits than fit read as the largest one). Red comes from bits
// 16 to 23, green 8 to 15, blue 0 to 7: "#1ABC9C", "0x1ABC9C", "#1ABC9Cz" and "1ABC9C alpha"
// are all 1abc9c, "abc" is 000abc, and text with no digit to read is black. Never fails.
QColor colorFromHex(std::string_view hex);

}  // namespace tessra
