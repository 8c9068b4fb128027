#include "Tessra/ui_foundation/hex_color.h"

#include <gtest/gtest.h>

namespace tessra {
namespace {

TEST(HexColorTest, ReadsDigitsUpToTheFirstOtherCharacter) {
  const struct {
    std::string_view text;
    QColor expected;
  } cases[] = {
      {"#313338", QColor(0x31, 0x33, 0x38)},
      {"  #1ABC9C \n", QColor(0x1a, 0xbc, 0x9c)},
      {"41434a", QColor(0x41, 0x43, 0x4a)},
      {"0x1ABC9C", QColor(0x1a, 0xbc, 0x9c)},
      {"#0X1abc9c", QColor(0x1a, 0xbc, 0x9c)},
      {"#1ABC9Cz", QColor(0x1a, 0xbc, 0x9c)},
      {"1ABC9C alpha", QColor(0x1a, 0xbc, 0x9c)},
      // Three digits are a small number, eight keep their last six.
      {"#abc", QColor(0x00, 0x0a, 0xbc)},
      {"#80FF8800", QColor(0xff, 0x88, 0x00)},
      {"#12345", QColor(0x01, 0x23, 0x45)},
      // More digits than 64 bits hold read as the largest number.
      {"123456789abcdef0123", QColor(0xff, 0xff, 0xff)},
      {"0x", QColor(0, 0, 0)},
      {"##1ABC9C", QColor(0, 0, 0)},
      {"not hex", QColor(0, 0, 0)},
      {"", QColor(0, 0, 0)},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.text);
    const QColor color = colorFromHex(test.text);
    EXPECT_TRUE(color.isValid());
    EXPECT_EQ(color, test.expected);
    EXPECT_EQ(color.alpha(), 255);
  }
}

}  // namespace
}  // namespace tessra
