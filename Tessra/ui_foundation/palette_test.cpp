#include "Tessra/ui_foundation/palette.h"

#include <gtest/gtest.h>

namespace tessra {
namespace {

// The colours are written out here rather than read from the palette: a colour changed there by
// mistake changes every window at once, and only a second, literal copy notices.
TEST(PaletteTest, EachColourIsTheOneTheWindowsAreDrawnWith) {
  const struct {
    const char* name;
    QColor (*colour)();
    QColor expected;
  } cases[] = {
      {"raisedBackground", palette::raisedBackground, QColor(0x38, 0x3a, 0x3f)},
      {"background", palette::background, QColor(0x31, 0x33, 0x38)},
      {"secondaryBackground", palette::secondaryBackground, QColor(0x2b, 0x2d, 0x31)},
      {"tertiaryBackground", palette::tertiaryBackground, QColor(0x1e, 0x1f, 0x22)},
      {"selectedRow", palette::selectedRow, QColor(0x40, 0x42, 0x49)},
      {"headingText", palette::headingText, QColor(0xf2, 0xf3, 0xf5)},
      {"white", palette::white, QColor(0xff, 0xff, 0xff)},
      {"text", palette::text, QColor(0xdc, 0xde, 0xe1)},
      {"secondaryText", palette::secondaryText, QColor(0xb6, 0xba, 0xc0)},
      {"mutedText", palette::mutedText, QColor(0x95, 0x9b, 0xa3)},
      {"faintText", palette::faintText, QColor(0x79, 0x81, 0x8a)},
      {"highlightedText", palette::highlightedText, QColor(0x1a, 0xbc, 0x9c)},
      {"warning", palette::warning, QColor(0xe6, 0xb4, 0x4e)},
      {"destructive", palette::destructive, QColor(0xdf, 0x4f, 0x4a)},
      {"border", palette::border, QColor(0x51, 0x53, 0x56)},
      {"divider", palette::divider, QColor(0x24, 0x25, 0x29)},
      {"keyCap", palette::keyCap, QColor(0x41, 0x43, 0x4a)},
      {"separator", palette::separator, QColor(0x3f, 0x41, 0x47)},
      {"accent", palette::accent, QColor(10, 132, 255)},
      {"control", palette::control, QColor(255, 255, 255, 64)},
      {"label", palette::label, QColor(255, 255, 255, 217)},
      {"primary", palette::primary, QColor(255, 255, 255)},
      {"systemRed", palette::systemRed, QColor(255, 69, 58)},
      {"systemBlue", palette::systemBlue, QColor(10, 132, 255)},
      {"systemGreen", palette::systemGreen, QColor(48, 209, 88)},
      {"gray", palette::gray, QColor(142, 142, 147)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.colour().rgba(), c.expected.rgba());
  }
}

}  // namespace
}  // namespace tessra
