#include "Tessra/ui_foundation/palette.h"

#include <cctype>

namespace tessra::palette {

QColor colorFromHex(std::string_view hex) {
  while (!hex.empty() && std::isspace(static_cast<unsigned char>(hex.front())))
    hex.remove_prefix(1);
  while (!hex.empty() && std::isspace(static_cast<unsigned char>(hex.back()))) hex.remove_suffix(1);
  if (!hex.empty() && hex.front() == '#') hex.remove_prefix(1);
  if (hex.size() != 6) return {};
  unsigned value = 0;
  for (char c : hex) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
    const int lower = std::tolower(static_cast<unsigned char>(c));
    value =
        value * 16 + static_cast<unsigned>(std::isdigit(lower) ? lower - '0' : lower - 'a' + 10);
  }
  return QColor::fromRgb((value >> 16) & 0xff, (value >> 8) & 0xff, value & 0xff);
}

QColor background() { return colorFromHex("#313338"); }
QColor secondaryBackground() { return colorFromHex("#2b2d31"); }
QColor tertiaryBackground() { return colorFromHex("#1e1f22"); }
QColor selectedRow() { return colorFromHex("#404249"); }
QColor keyCap() { return colorFromHex("#41434A"); }
QColor highlightedText() { return colorFromHex("#1ABC9C"); }
QColor destructive() { return colorFromHex("#df4f4a"); }
QColor white() { return colorFromHex("#ffffff"); }

QColor accent() { return QColor::fromRgb(10, 132, 255); }
QColor control() { return QColor::fromRgb(255, 255, 255, 64); }
QColor label() { return QColor::fromRgb(255, 255, 255, 217); }
QColor primary() { return QColor::fromRgb(255, 255, 255); }
QColor systemRed() { return QColor::fromRgb(255, 69, 58); }
QColor systemBlue() { return QColor::fromRgb(10, 132, 255); }
QColor systemGreen() { return QColor::fromRgb(48, 209, 88); }
QColor gray() { return QColor::fromRgb(142, 142, 147); }

}  // namespace tessra::palette
